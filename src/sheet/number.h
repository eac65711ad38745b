// SPDX-License-Identifier: MIT
// Leading-number conversion: the number at the start of a text, rounded to a
// 16-bit signed integer. Used for the entry count of a data file and for the
// countdown box.
//
// Rules:
// - Blanks, tabs and line feeds are ignored wherever they stand, also between
//   digits ("1 2" is 12, " -\t3" is -3). Carriage returns are not ignored: they
//   end the number like any other character ("5\r\n" is 5).
// - The number is an optional sign ('+' or '-'), digits, and an optional
//   fraction ('.' and digits). It ends at the first character that cannot
//   continue it ("12 seconds" is 12, "12abc" is 12, "1.2.3" is 1.2).
// - An exponent is accepted after the digits: 'E' or 'e' (or 'D'/'d', the
//   same), an optional sign and digits ("1e3" is 1000, "1e9" is out of range).
//   An 'E' not followed by a digit ends the number before it ("2E" is 2).
// - Radix prefixes such as "&H10" are not recognised: a text starting with '&'
//   has no leading number. Nobody writes an entry count or a countdown in hex,
//   and reading "&HFFFF" as -1 would only surprise.
// - A text with no number gives 0 ("", "abc", "-", ".").
// - The value is rounded to the nearest whole number, an exact half going to
//   the even neighbour (2.5 is 2, 3.5 is 4, -2.5 is -2). Rounding is done on
//   the decimal digits, so "2.5000000000000000001" is 3.
// - A result outside -32768..32767 is reported as out of range, never wrapped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrino {

struct LeadingNumber {
  bool in_range = true;
  // The rounded value when in_range; 0 otherwise.
  std::int16_t value = 0;
  // The number as it was found, without the ignored blanks ("40000", "1e9",
  // "-2.5"); empty when the text has no number. For messages.
  std::u16string written;
};

LeadingNumber leading_number(std::u16string_view text);

}  // namespace tavrino
