// SPDX-License-Identifier: MIT
// tavrino_bench_text make DIR
//   Writes the typing benchmark's texts into DIR, for each text NAME
//   ("common": 30 % of the characters from a few that the us layout lacks;
//   "many": 30 % from sixty CJK characters):
//     NAME.values    the 51 values, one UTF-8 line each
//     NAME.expected  what a target should receive: each value, then a tab
//     NAME.ipt       a data file whose 51 entries hold the values
// tavrino_bench_text compare EXPECTED RECEIVED [--fields]
//   Prints how RECEIVED differs from EXPECTED, in characters, as
//   "expected=N received=N wrong=N missing=N extra=N". RECEIVED is what a
//   terminal got, or with --fields the file the target form writes.
// Exit status: 0 done, 1 a file could not be read or written, 64 usage.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "bench_data.h"
#include "bench_text.h"

namespace {

using tavrino::decode_utf8;
using tavrino::encode_utf8;

// Fixed, so that every run and every machine types the same text.
constexpr std::uint64_t kSeed = 20240601;

std::optional<std::string> read_all(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_all(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

int make(const std::string& dir) {
  const struct {
    const char* name;
    std::u32string_view pool;
  } texts[] = {{"common", tavrino::kCommonMissing}, {"many", tavrino::kManyMissing}};
  for (const auto& text : texts) {
    tavrino::TextShape shape;
    shape.missing_pool = text.pool;
    const std::vector<std::u32string> values = tavrino::make_values(shape, kSeed);
    std::string lines;
    for (const std::u32string& value : values) lines += encode_utf8(value) + "\n";
    const std::string base = dir + "/" + text.name;
    if (!write_all(base + ".values", lines) ||
        !write_all(base + ".expected", encode_utf8(tavrino::with_tabs(values))) ||
        !write_all(base + ".ipt", tavrino::data_file_for(values))) {
      std::fprintf(stderr, "cannot write into %s\n", dir.c_str());
      return 1;
    }
  }
  return 0;
}

int compare(const char* expected_path, const char* received_path, bool fields) {
  const std::optional<std::string> expected = read_all(expected_path);
  const std::optional<std::string> received = read_all(received_path);
  if (!expected || !received) {
    std::fprintf(stderr, "cannot read %s\n", expected ? received_path : expected_path);
    return 1;
  }
  const std::u32string want = decode_utf8(*expected);
  const std::u32string got = fields ? tavrino::fields_as_text(*received) : decode_utf8(*received);
  const tavrino::Differences differences = tavrino::compare_texts(want, got);
  std::printf("expected=%zu received=%zu wrong=%zu missing=%zu extra=%zu\n", want.size(),
              got.size(), differences.wrong, differences.missing, differences.extra);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "make") == 0) return make(argv[2]);
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "compare") == 0) {
    const bool fields = argc == 5 && std::strcmp(argv[4], "--fields") == 0;
    if (argc == 4 || fields) return compare(argv[2], argv[3], fields);
  }
  std::fputs(
      "usage: tavrino_bench_text make DIR\n"
      "       tavrino_bench_text compare EXPECTED RECEIVED [--fields]\n",
      stderr);
  return 64;
}
