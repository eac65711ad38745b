// SPDX-License-Identifier: MIT
// Code points and UTF-16. tavrino's text is UTF-16; a character outside the
// Basic Multilingual Plane is two units (a surrogate pair). A surrogate that
// has no partner is kept as the one unit it is, so that text read from a file
// comes back out exactly as it went in.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrino {

inline constexpr char32_t kMaxCodePoint = 0x10FFFF;

constexpr bool is_high_surrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool is_low_surrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr bool is_surrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// The code point of a high and a low surrogate taken together.
constexpr char32_t combine_surrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) +
         (static_cast<char32_t>(low) - 0xDC00);
}

// One character of a UTF-16 text: its code point and how many units it takes.
struct CodePoint {
  char32_t value = 0;
  std::size_t length = 0;  // 1, or 2 for a surrogate pair
};

// The character that starts at unit `at` (< text.size()). A lone surrogate is
// a character of one unit whose value is that surrogate.
constexpr CodePoint code_point_at(std::u16string_view text, std::size_t at) {
  const char16_t unit = text[at];
  if (is_high_surrogate(unit) && at + 1 < text.size() && is_low_surrogate(text[at + 1])) {
    return {combine_surrogates(unit, text[at + 1]), 2};
  }
  return {unit, 1};
}

// Appends `c` as one unit, or as a surrogate pair above U+FFFF. A value above
// U+10FFFF has no UTF-16 form and is appended as U+FFFD.
void append_code_point(std::u16string& out, char32_t c);

// `c` as a UTF-16 string of one or two units.
std::u16string code_point_text(char32_t c);

// The characters of a text one code point each (a lone surrogate as itself),
// and back.
std::u32string to_code_points(std::u16string_view text);
std::u16string from_code_points(std::u32string_view text);

// How a message names a character that has no glyph of its own: "U+0001",
// "U+FFFE", "U+1F600" (at least four hexadecimal digits, upper case).
std::u16string code_point_name(char32_t c);

}  // namespace tavrino
