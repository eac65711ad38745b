// SPDX-License-Identifier: MIT
// Text in tavrino is 16-bit characters (UTF-16 code units); every length and
// every cut counts those units. These helpers convert at the edges: UTF-8 for
// terminals and Linux paths, decimal numbers for messages.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavrino {

// UTF-8 to UTF-16. Invalid sequences become U+FFFD, one per bad byte.
std::u16string utf8_to_utf16(std::string_view utf8);

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view utf16);

// Decimal digits of n with a leading '-' when negative ("-12", "0", "51").
std::u16string to_text(std::int64_t n);

// The text with every line end (CR LF, CR or LF alone) written as CR LF, the
// only form a Windows multi-line edit control shows as a line break.
std::u16string crlf_line_ends(std::u16string_view text);

// Quotes a user's text for a message: "Bob", with the quotes.
std::u16string quoted(std::u16string_view text);

// Items as a sentence lists them: "Shift", "Shift and Ctrl",
// "Shift, Ctrl and Alt".
std::u16string listed(std::span<const std::u16string> items);

}  // namespace tavrino
