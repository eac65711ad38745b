// SPDX-License-Identifier: MIT
// One UTF-8 sequence checked against the well-formed byte ranges, so that
// overlong forms, surrogates and code points past U+10FFFF are all refused.
// Shared by the text helpers and the data file decoder.
#pragma once

#include <cstddef>
#include <string>

namespace tavrino::detail {

enum class Utf8Result { ok, incomplete, invalid };

struct Utf8Sequence {
  Utf8Result result;
  char32_t code_point;  // valid when result is ok
  int length;           // bytes of the sequence when ok
};

// Decodes the sequence at the start of `p`, of which `available` (at least 1)
// bytes are present. `incomplete` means every byte present is right so far but
// the sequence needs more.
inline Utf8Sequence decode_utf8_sequence(const unsigned char* p, std::size_t available) {
  const unsigned lead = p[0];
  if (lead < 0x80) return {Utf8Result::ok, lead, 1};
  int length = 0;
  char32_t code = 0;
  // The range of the first continuation byte narrows for a few lead bytes;
  // that is what rules out overlong forms, surrogates and values past U+10FFFF.
  unsigned low = 0x80;
  unsigned high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {Utf8Result::invalid, 0, 1};
  }
  for (int k = 1; k < length; ++k) {
    if (static_cast<std::size_t>(k) >= available) return {Utf8Result::incomplete, 0, k};
    const unsigned b = p[k];
    if (b < low || b > high) return {Utf8Result::invalid, 0, k};
    low = 0x80;
    high = 0xBF;
    code = (code << 6) | (b & 0x3F);
  }
  return {Utf8Result::ok, code, length};
}

}  // namespace tavrino::detail
