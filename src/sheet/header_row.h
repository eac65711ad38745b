// SPDX-License-Identifier: MIT
// Whether the first row of a list is a header rather than an entry, by the
// rules of row_reader.h: a heading word in its name or mark cell, or a mark
// cell that is not a number over marks that are.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "sheet/cells.h"

namespace tavrino {

enum class Header {
  none,     // the first row is an entry
  word,     // a heading word says it is a header
  guessed,  // its mark is not a number and those below are: the user is told
};

// What the first row of `rows` is, looking at the first `used` rows; the
// mark is in the second cell with `two_columns`, else in the first.
Header find_header(const std::vector<Row>& rows, std::size_t used, bool two_columns);

// Digits with an optional sign, one decimal point or comma and a percent
// sign, blanks around them: "7", "-2", "7,5", "92.5 %".
bool is_number(std::u16string_view text);

// Lower case for the letters of the heading words: ASCII, Latin-1 and the
// Latin Extended-A pairs they use (Ę ę, Ł ł, Ń ń).
char16_t folded(char16_t c);

}  // namespace tavrino
