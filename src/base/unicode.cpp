// SPDX-License-Identifier: MIT
#include "base/unicode.h"

namespace tavrino {

void append_code_point(std::u16string& out, char32_t c) {
  if (c > kMaxCodePoint) c = 0xFFFD;
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
    return;
  }
  c -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

std::u16string code_point_text(char32_t c) {
  std::u16string out;
  append_code_point(out, c);
  return out;
}

std::u32string to_code_points(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const CodePoint point = code_point_at(text, at);
    out.push_back(point.value);
    at += point.length;
  }
  return out;
}

std::u16string from_code_points(std::u32string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char32_t c : text) append_code_point(out, c);
  return out;
}

std::u16string code_point_name(char32_t c) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), kDigits[c & 0xF]);
    c >>= 4;
  } while (c != 0);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), u'0');
  return u"U+" + digits;
}

}  // namespace tavrino
