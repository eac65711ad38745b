// SPDX-License-Identifier: MIT
// Text split into rows of cells, as row_reader.h describes: cells quoted as
// RFC 4180 has them, and the delimiter found from the text. Only what a load
// needs is kept: the first two cells of each row, and as many rows as a
// header, a full sheet and one more.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sheet/result_sheet.h"

namespace tavrino {

// The rows kept for a decision: a header and every entry the sheet holds,
// and one more, which only a list that is too long has.
inline constexpr std::size_t kKeptRows = kSlotCount + 2;

// The name and the mark; further cells are counted, not kept.
inline constexpr std::size_t kKeptCells = 2;

struct Row {
  std::array<std::u16string, kKeptCells> cells;
  std::size_t count = 0;  // cells in the row, those not kept included
  bool empty = true;      // every cell is empty
};

struct Parsed {
  std::vector<Row> rows;  // at most kKeptRows
  // A row past those, not empty: the text holds more rows than the sheet.
  bool more = false;
  // The text ends with a line break, so nothing of a further row has begun.
  bool ended_in_line_break = true;
  // The first fault, with the row it is in (from 1). Reading goes on past
  // it as best it can, so that the rows still show how the text splits.
  std::optional<std::pair<std::size_t, std::u16string>> error;
};

// Splits `text` into rows of cells at `delimiter` (0: none, one cell a row).
// The message parts of errors follow "Row N of SOURCE".
Parsed parse_cells(std::u16string_view text, char16_t delimiter);

// The rows of a text split at the delimiter found in it, or why no delimiter
// can be trusted.
struct Split {
  Parsed parsed;
  char16_t delimiter = 0;  // u'\t', u';' or u','; 0 for one column
  std::u16string refusal;  // a whole sentence; empty when split
};

// Splits `text` by the rules of row_reader.h; `in` names the text in
// messages ("\"/home/ann/7A.csv\"", "the pasted cells").
Split split_rows(std::u16string_view text, const std::u16string& in);

// How a message names row `row` (from 1): "Row 3".
std::u16string row_text(std::size_t row);

bool is_line_break(char16_t c);

}  // namespace tavrino
