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

// The 66 code points Unicode keeps out of text for good: U+FDD0 to U+FDEF
// and the last two of every plane (U+FFFE, U+FFFF, U+1FFFE, ... U+10FFFF).
// No keyboard types them.
constexpr bool is_noncharacter(char32_t c) {
  return (c >= 0xFDD0 && c <= 0xFDEF) || ((c & 0xFFFE) == 0xFFFE && c <= kMaxCodePoint);
}

// A character that shows nothing of itself, or changes how the text around it
// shows, so that a reader cannot tell it is there: C0 and C1 control
// characters and DEL; the format characters (Unicode's Cf: the soft hyphen,
// the bidirectional controls, zero-width characters, the Arabic number
// signs, the invisible operators, the tags and the rest); the variation
// selectors (U+FE00 to U+FE0F, U+E0100 to U+E01EF) and their Mongolian
// kin (U+180B to U+180F), the combining grapheme joiner (U+034F) and the
// invisible Khmer vowels (U+17B4, U+17B5), which change how the character
// before them looks without being one; the line and paragraph separators
// U+2028 and U+2029, which break a line where none shows; the Hangul
// fillers, which are blank letters (U+115F, U+1160, U+3164, U+FFA0);
// noncharacters; and surrogates, which are a character of their own only
// when they stand alone.
constexpr bool is_hidden_character(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c < 0xAD) return false;
  return c == 0xAD || c == 0x034F || (c >= 0x0600 && c <= 0x0605) || c == 0x061C || c == 0x06DD ||
         c == 0x070F || c == 0x0890 || c == 0x0891 || c == 0x08E2 || c == 0x115F || c == 0x1160 ||
         c == 0x17B4 || c == 0x17B5 || (c >= 0x180B && c <= 0x180F) ||
         (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || is_surrogate(c) ||
         (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 ||
         (c >= 0xFFF9 && c <= 0xFFFB) || c == 0x110BD || c == 0x110CD ||
         (c >= 0x13430 && c <= 0x1343F) || (c >= 0x1BCA0 && c <= 0x1BCA3) ||
         (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE007F) ||
         (c >= 0xE0100 && c <= 0xE01EF) || is_noncharacter(c);
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
