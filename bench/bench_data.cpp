// SPDX-License-Identifier: MIT
#include "bench_data.h"

#include <iterator>

#include "bench_text.h"

namespace tavrino {

namespace {

constexpr std::uint64_t kReadingSeed = 1234567;

// Text for an item after 11: letters, digits, blanks and, three characters
// in a hundred, a two- or three-byte UTF-8 character; in a quoted item also
// commas and line ends.
void filler(SplitMix64& random, std::size_t length, bool quoted, std::string& out) {
  static constexpr const char* kWide[] = {"ë", "Ł", "€", "中", "ß", "Ω", "é", "文"};
  static constexpr char kPlain[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ 0123456789 .-'";
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t pick = random.below(100);
    if (pick < 3) {
      out += kWide[random.below(std::size(kWide))];
    } else if (quoted && pick < 5) {
      out += ',';
    } else if (quoted && pick == 5) {
      out += "\r\n";
    } else {
      out += kPlain[random.below(sizeof kPlain - 1)];
    }
  }
}

// One line of items after 11: a long quoted item, a long plain one, a run
// of short ones, or a blank line.
void filler_line(SplitMix64& random, std::string& out) {
  const std::size_t kind = random.below(10);
  if (kind < 3) {
    out += '"';
    filler(random, 1000 + random.below(15000), true, out);
    out += '"';
  } else if (kind < 5) {
    filler(random, 1000 + random.below(7000), false, out);
  } else if (kind < 9) {
    const std::size_t items = 1 + random.below(20);
    for (std::size_t i = 0; i < items; ++i) {
      if (i != 0) out += ',';
      filler(random, 1 + random.below(30), false, out);
    }
  }
  out += "\r\n";
}

}  // namespace

std::string data_file_for(const std::vector<std::u32string>& values) {
  std::string names, joined;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) {
      names += "_%_";
      joined += "_%_";
    }
    names += "Student " + std::to_string(i + 1);
    joined += encode_utf8(values[i]);
  }
  // Items 0 to 11, one to a line; a blank line is an empty item.
  const std::string items[] = {std::to_string(values.size()),
                               "x",
                               names,
                               '"' + joined + '"',
                               "",
                               "",
                               kBenchClass,
                               "",
                               "Benchmark",
                               "",
                               "Mid-term",
                               kBenchExamNote};
  std::string file;
  for (const std::string& item : items) file += item + "\r\n";
  return file;
}

std::uint64_t write_reading_file(std::ostream& out, std::uint64_t bytes) {
  TextShape shape;
  shape.missing_pool = kCommonMissing;
  std::string chunk = data_file_for(make_values(shape, kReadingSeed));
  std::uint64_t written = 0;
  SplitMix64 random(kReadingSeed);
  while (written + chunk.size() < bytes) {
    filler_line(random, chunk);
    // Written a megabyte at a time: a 100 MB file never sits in memory.
    if (chunk.size() >= (1u << 20)) {
      written += chunk.size();
      out << chunk;
      chunk.clear();
    }
  }
  out << chunk;
  return written + chunk.size();
}

}  // namespace tavrino
