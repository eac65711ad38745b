// SPDX-License-Identifier: MIT
// The core's text is UTF-16 in char16_t; the wide-character Windows API takes
// the same units as wchar_t, which is 16 bits on Windows. These copy between
// the two and add the terminating NUL that the API needs.
#pragma once

#include <string>
#include <string_view>

namespace tavrino {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows has 16-bit wchar_t");

inline std::wstring to_wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

inline std::u16string from_wide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace tavrino
