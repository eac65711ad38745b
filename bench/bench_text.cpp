// SPDX-License-Identifier: MIT
#include "bench_text.h"

#include <algorithm>
#include <numeric>

#include "base/text.h"
#include "base/unicode.h"

namespace tavrino {

std::vector<std::u32string> make_values(const TextShape& shape, std::uint64_t seed) {
  SplitMix64 random(seed);
  std::vector<std::u32string> values;
  const std::size_t missing = std::min(shape.missing_per_value, shape.length);
  std::vector<std::size_t> positions(shape.length);
  for (std::size_t v = 0; v < shape.count; ++v) {
    // Fisher-Yates: the first `missing` positions get pool characters.
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    for (std::size_t i = positions.size(); i > 1; --i) {
      std::swap(positions[i - 1], positions[random.below(i)]);
    }
    std::u32string value(shape.length, U' ');
    for (std::size_t i = 0; i < shape.length; ++i) {
      const bool from_pool = i < missing && !shape.missing_pool.empty();
      const std::u32string_view pool = from_pool ? shape.missing_pool : kOnLayout;
      value[positions[i]] = pool[random.below(pool.size())];
    }
    values.push_back(std::move(value));
  }
  return values;
}

std::u32string with_tabs(const std::vector<std::u32string>& values) {
  std::u32string text;
  for (const std::u32string& value : values) {
    text += value;
    text += U'\t';
  }
  return text;
}

Differences compare_texts(std::u32string_view expected, std::u32string_view received) {
  // Levenshtein distance, row by row over `expected`, carrying along each
  // cell the kinds of edit on its cheapest path. Ties go to a substitution,
  // then to a missing character: a character that arrived in the place of
  // another is reported as wrong, not as one missing and one extra.
  struct Cell {
    std::size_t cost = 0;
    Differences edits;
  };
  std::vector<Cell> row(received.size() + 1), next(received.size() + 1);
  for (std::size_t j = 1; j <= received.size(); ++j) {
    row[j].cost = j;
    row[j].edits.extra = j;
  }
  for (std::size_t i = 1; i <= expected.size(); ++i) {
    next[0].cost = i;
    next[0].edits = Differences{0, i, 0};
    for (std::size_t j = 1; j <= received.size(); ++j) {
      const bool same = expected[i - 1] == received[j - 1];
      Cell best = row[j - 1];
      best.cost += same ? 0 : 1;
      if (!same) ++best.edits.wrong;
      if (row[j].cost + 1 < best.cost) {
        best = row[j];
        ++best.cost;
        ++best.edits.missing;
      }
      if (next[j - 1].cost + 1 < best.cost) {
        best = next[j - 1];
        ++best.cost;
        ++best.edits.extra;
      }
      next[j] = best;
    }
    std::swap(row, next);
  }
  return row[received.size()].edits;
}

std::u32string decode_utf8(std::string_view bytes) {
  return to_code_points(utf8_to_utf16(bytes));
}

std::string encode_utf8(std::u32string_view text) {
  return utf16_to_utf8(from_code_points(text));
}

std::u32string fields_as_text(std::string_view fields_file) {
  std::vector<std::u32string> fields;
  std::size_t start = 0;
  while (start < fields_file.size()) {
    std::size_t end = fields_file.find('\n', start);
    if (end == std::string_view::npos) end = fields_file.size();
    const std::u32string line = decode_utf8(fields_file.substr(start, end - start));
    std::u32string field;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != U'\\' || i + 1 == line.size()) {
        field += line[i];
        continue;
      }
      switch (line[++i]) {
        case U't':
          field += U'\t';
          break;
        case U'r':
          field += U'\r';
          break;
        case U'n':
          field += U'\n';
          break;
        default:
          field += line[i];
      }
    }
    fields.push_back(std::move(field));
    start = end + 1;
  }
  while (!fields.empty() && fields.back().empty()) fields.pop_back();
  return with_tabs(fields);
}

}  // namespace tavrino
