// SPDX-License-Identifier: MIT
// Text in tavrino is 16-bit characters (UTF-16 code units); every length and
// every cut counts those units. These helpers convert at the edges: UTF-8 for
// terminals, bytes for Linux paths, decimal numbers and visible text for
// messages.
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

// A path as Linux gives it (bytes, mostly UTF-8) and back, losing nothing: a
// name written in another encoding, such as Latin-1 on an old USB stick, must
// still open. Valid UTF-8 becomes its characters; every byte that is not part
// of valid UTF-8 becomes a lone low surrogate, U+DC80 to U+DCFF for the bytes
// 0x80 to 0xFF, which no valid UTF-8 ever decodes to. path_to_bytes turns
// those back into their bytes; any other lone surrogate has no byte form and
// becomes U+FFFD. So path_to_bytes(path_from_bytes(b)) == b for all bytes b.
std::u16string path_from_bytes(std::string_view bytes);
std::string path_to_bytes(std::u16string_view path);

// The text with every character that shows nothing or disguises the text
// around it (is_hidden_character in unicode.h) written as "<U+XXXX>", with at
// least four hexadecimal digits, upper case: "a<U+001B>[2Jb". A "<" that
// starts "<U+" in the text is written "<U+003C>" too, so that every "<U+" in
// the result begins an escape and text cannot pass itself off as one.
std::u16string escape_hidden(std::u16string_view text);

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
