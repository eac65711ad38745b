// SPDX-License-Identifier: MIT
#include "sheet/text_decoding.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tavrino {
namespace {

std::span<const std::byte> bytes_of(std::string_view s) {
  return std::as_bytes(std::span(s.data(), s.size()));
}

// Decodes `input` as the reader does, but in pieces of `piece_size` bytes;
// returns the text as UTF-8, or "error: <message>".
std::string decode_in_pieces(std::string_view input, std::size_t piece_size) {
  const auto bytes = bytes_of(input);
  const auto each_piece = [piece_size](std::span<const std::byte> all, auto&& use) {
    for (std::size_t at = 0; at < all.size(); at += piece_size) {
      if (!use(all.subspan(at, std::min(piece_size, all.size() - at)))) return false;
    }
    return true;
  };
  const Encoding encoding = detect_encoding(bytes);
  std::u16string text;
  Status status = Status::success();
  Decoder decoder(encoding, [&text](std::u16string_view piece) { text.append(piece); });
  if (each_piece(bytes.subspan(mark_length(encoding)),
                 [&](auto piece) { return (status = decoder.feed(piece)).ok(); })) {
    status = decoder.finish();
  }
  return status ? utf16_to_utf8(text) : "error: " + utf16_to_utf8(status.message());
}

TEST(TextDecoding, DecodesWholeAndInPiecesOfAnySize) {
  const struct {
    std::string bytes;
    std::string result;  // UTF-8, or the error
  } cases[] = {
      {"", ""},
      {"Ann,45 and enough ASCII to pass eight bytes",
       "Ann,45 and enough ASCII to pass eight bytes"},
      {"caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
       "caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
      {"\xEF\xBB\xBF"
       "caf\xC3\xA9",
       "caf\xC3\xA9"},
      {"\xEF\xBB\xBF", ""},
      // Anything that is not UTF-8 as a whole is Windows-1252.
      {"caf\xE9", "caf\xC3\xA9"},
      {"\xC3\xA9\xFF", "\xC3\x83\xC2\xA9\xC3\xBF"},
      {"\xC3", "\xC3\x83"},              // unfinished at the end
      {"\xEF\xBB", "\xC3\xAF\xC2\xBB"},  // half a mark is no mark
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},  // overlong
      {"\x80\x9F\x8A", "\xE2\x82\xAC\xC5\xB8\xC5\xA0"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // undefined five
      // UTF-16, with a surrogate pair.
      {std::string("\xFF\xFE"
                   "A\0\xE9\0=\xD8\0\xDE",
                   10),
       "A\xC3\xA9\xF0\x9F\x98\x80"},
      {std::string("\xFE\xFF\0A\0\xE9\xD8=\xDE\0", 10), "A\xC3\xA9\xF0\x9F\x98\x80"},
      // Refusals, with offsets counted from the start of the file.
      {std::string("ab\0", 3),
       "error: There is a NUL character at byte offset 2, so this is not a text file."},
      {std::string("\xFF\xFE"
                   "A\0\0\0",
                   6),
       "error: There is a NUL character at byte offset 4, so this is not a text file."},
      {std::string("\xFF\xFE"
                   "A\0B",
                   5),
       "error: The UTF-16 text has an odd number of bytes: the last one, at byte offset 4, is "
       "half a character."},
      {std::string("\xFF\xFE"
                   "A\0=\xD8",
                   6),
       "error: The UTF-16 text has a lone surrogate, U+D83D, at byte offset 4."},
      {std::string("\xFF\xFE\0\xDE=\xD8", 6),  // the pair reversed
       "error: The UTF-16 text has a lone surrogate, U+DE00, at byte offset 2."},
      {"\xEF\xBB\xBF"
       "Ab\xFF",
       "error: The UTF-8 text is invalid at byte offset 5."},
      {"\xEF\xBB\xBF"
       "A\xE2\x82",
       "error: The UTF-8 text ends in the middle of a character that starts at byte offset 4."},
  };
  for (const auto& c : cases) {
    std::u16string text;
    const Status status = decode_text(bytes_of(c.bytes), text);
    EXPECT_EQ(status ? utf16_to_utf8(text) : "error: " + utf16_to_utf8(status.message()), c.result);
    for (std::size_t piece = 1; piece <= 4; ++piece) {
      EXPECT_EQ(decode_in_pieces(c.bytes, piece), c.result) << "pieces of " << piece;
    }
  }
}

TEST(TextDecoding, HandsOnTheTextBeforeAnErrorAndStops) {
  std::u16string text;
  Decoder decoder(Encoding::windows1252,
                  [&text](std::u16string_view piece) { text.append(piece); });
  EXPECT_FALSE(decoder.feed(bytes_of(std::string_view("Ann\0Bob", 7))).ok());
  EXPECT_FALSE(decoder.feed(bytes_of("more")).ok());
  EXPECT_FALSE(decoder.finish().ok());
  EXPECT_EQ(text, u"Ann");
}

}  // namespace
}  // namespace tavrino
