// SPDX-License-Identifier: MIT
// Decoding of data file bytes into 16-bit text.
//
// A byte-order mark decides: EF BB BF is UTF-8, FF FE is UTF-16 little endian,
// FE FF is UTF-16 big endian; the mark itself is not part of the text.
// Without a mark, bytes that are valid UTF-8 as a whole are read as UTF-8, and
// anything else as Windows-1252, which is what older files were written in.
// (The five bytes that Windows-1252 leaves undefined, 81 8D 8F 90 9D, become
// U+0081 and so on, as Windows itself maps them.)
//
// Refused, with the byte offset in the message: a UTF-16 file of an odd number
// of bytes, a lone or reversed UTF-16 surrogate, and a NUL character in any
// encoding (a NUL means the file is not text, for example a spreadsheet saved
// in its own format).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/status.h"

namespace tavrino {

enum class Encoding { utf8_bom, utf16le, utf16be, utf8, windows1252 };

// The encoding of a whole file by the rules above.
Encoding detect_encoding(std::span<const std::byte> whole_file);

// The length of the byte-order mark that the encoding was detected by: 3 for
// utf8_bom, 2 for UTF-16, 0 otherwise.
std::size_t mark_length(Encoding encoding);

// Whether `bytes` are UTF-8 as a whole: well-formed sequences only, none
// cut off at the end.
bool is_utf8(std::span<const std::byte> bytes);

// Incremental decoder: feed bytes in pieces of any size; decoded text is
// handed to `sink` in pieces. Stops at the first error and reports it.
class Decoder {
 public:
  using Sink = std::function<void(std::u16string_view)>;
  Decoder(Encoding encoding, Sink sink);
  // `bytes` must not include the byte-order mark.
  Status feed(std::span<const std::byte> bytes);
  // End of input: reports an unfinished sequence.
  Status finish();

 private:
  Encoding encoding_;
  Sink sink_;
  std::uint64_t offset_ = 0;  // bytes consumed so far, for messages
  std::byte carry_[4]{};
  int carried_ = 0;
  std::u16string out_;
  bool pending_high_ = false;  // UTF-16: a high surrogate awaits its low half
  char16_t high_ = 0;          // that high surrogate
  std::u16string error_;       // the first error; every later call repeats it

  Status fail(std::u16string message);
  void flush();
  Status feed_utf8(const unsigned char* p, std::size_t n);
  Status feed_utf16(const unsigned char* p, std::size_t n);
  Status feed_windows1252(const unsigned char* p, std::size_t n);
  Status put_utf16_unit(char16_t unit, std::uint64_t at);
};

// Whole-buffer convenience for tests and small inputs.
Status decode_text(std::span<const std::byte> bytes, std::u16string& text);

}  // namespace tavrino
