// SPDX-License-Identifier: MIT
#include "sheet/text_decoding.h"

#include <cstring>
#include <utility>

#include "base/text.h"
#include "base/unicode.h"
#include "base/utf8_sequence.h"

namespace tavrino {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five bytes it
// leaves undefined keep their C1 code points, as Windows itself maps them.
constexpr char16_t kWindows1252C1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

std::u16string at_offset(std::uint64_t at) {
  return u"byte offset " + to_text(static_cast<std::int64_t>(at));
}

std::u16string nul_message(std::uint64_t at) {
  return u"There is a NUL character at " + at_offset(at) + u", so this is not a text file.";
}

}  // namespace

// The mark is always there for these encodings (detection finds them only by
// it), so its length follows from the encoding alone.
std::size_t mark_length(Encoding encoding) {
  switch (encoding) {
    case Encoding::utf8_bom:
      return 3;
    case Encoding::utf16le:
    case Encoding::utf16be:
      return 2;
    case Encoding::utf8:
    case Encoding::windows1252:
      break;
  }
  return 0;
}

Encoding detect_encoding(std::span<const std::byte> whole_file) {
  const auto byte_is = [&](std::size_t i, unsigned value) {
    return i < whole_file.size() && static_cast<unsigned>(whole_file[i]) == value;
  };
  if (byte_is(0, 0xEF) && byte_is(1, 0xBB) && byte_is(2, 0xBF)) return Encoding::utf8_bom;
  if (byte_is(0, 0xFF) && byte_is(1, 0xFE)) return Encoding::utf16le;
  if (byte_is(0, 0xFE) && byte_is(1, 0xFF)) return Encoding::utf16be;
  return is_utf8(whole_file) ? Encoding::utf8 : Encoding::windows1252;
}

bool is_utf8(std::span<const std::byte> bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    // Data files are mostly ASCII; skipping eight such bytes at a time keeps
    // this first pass far cheaper than the decoding that follows it.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & 0x8080808080808080ULL) != 0) break;
      i += 8;
    }
    if (i == n) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const auto s = detail::decode_utf8_sequence(p + i, n - i);
    if (s.result != detail::Utf8Result::ok) return false;
    i += static_cast<std::size_t>(s.length);
  }
  return true;
}

// Offsets in messages count from the start of the file, mark included, so
// they match what a hex viewer shows.
Decoder::Decoder(Encoding encoding, Sink sink)
    : encoding_(encoding), sink_(std::move(sink)), offset_(mark_length(encoding)) {}

void Decoder::flush() {
  if (out_.empty()) return;
  sink_(out_);
  out_.clear();
}

Status Decoder::fail(std::u16string message) {
  // The text before the error still goes out, so that a reader can report a
  // fault of its own that comes earlier in the file.
  flush();
  error_ = std::move(message);
  return Status::failure(error_);
}

Status Decoder::feed(std::span<const std::byte> bytes) {
  if (!error_.empty()) return Status::failure(error_);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  Status status = Status::success();
  switch (encoding_) {
    case Encoding::utf8:
    case Encoding::utf8_bom:
      status = feed_utf8(p, n);
      break;
    case Encoding::utf16le:
    case Encoding::utf16be:
      status = feed_utf16(p, n);
      break;
    case Encoding::windows1252:
      status = feed_windows1252(p, n);
      break;
  }
  if (!status) return status;
  offset_ += n;
  flush();
  return status;
}

Status Decoder::feed_utf8(const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  if (carried_ > 0) {
    // Finish the sequence that the last piece cut off.
    const std::uint64_t start = offset_ - static_cast<std::uint64_t>(carried_);
    unsigned char sequence[4];
    std::memcpy(sequence, carry_, sizeof sequence);
    while (true) {
      const auto s = detail::decode_utf8_sequence(sequence, static_cast<std::size_t>(carried_));
      if (s.result == detail::Utf8Result::ok) {
        append_code_point(out_, s.code_point);
        carried_ = 0;
        break;
      }
      if (s.result == detail::Utf8Result::invalid) {
        return fail(u"The UTF-8 text is invalid at " + at_offset(start) + u".");
      }
      if (i == n) {
        std::memcpy(carry_, sequence, sizeof sequence);
        return Status::success();
      }
      sequence[carried_++] = p[i++];
    }
  }
  out_.reserve(out_.size() + (n - i));
  while (i < n) {
    const unsigned b = p[i];
    if (b < 0x80) {
      if (b == 0) return fail(nul_message(offset_ + i));
      out_.push_back(static_cast<char16_t>(b));
      ++i;
      continue;
    }
    const auto s = detail::decode_utf8_sequence(p + i, n - i);
    if (s.result == detail::Utf8Result::ok) {
      append_code_point(out_, s.code_point);
      i += static_cast<std::size_t>(s.length);
    } else if (s.result == detail::Utf8Result::incomplete) {
      carried_ = static_cast<int>(n - i);
      std::memcpy(carry_, p + i, n - i);
      break;
    } else {
      return fail(u"The UTF-8 text is invalid at " + at_offset(offset_ + i) + u".");
    }
  }
  return Status::success();
}

Status Decoder::put_utf16_unit(char16_t unit, std::uint64_t at) {
  if (pending_high_) {
    if (!is_low_surrogate(unit)) {
      return fail(u"The UTF-16 text has a lone surrogate, " + code_point_name(high_) + u", at " +
                  at_offset(at - 2) + u".");
    }
    out_.push_back(high_);
    out_.push_back(unit);
    pending_high_ = false;
    return Status::success();
  }
  if (unit == 0) return fail(nul_message(at));
  if (is_high_surrogate(unit)) {
    // Held back until its low half arrives, so the text handed on never ends
    // in half a pair.
    pending_high_ = true;
    high_ = unit;
    return Status::success();
  }
  if (is_low_surrogate(unit)) {
    return fail(u"The UTF-16 text has a lone surrogate, " + code_point_name(unit) + u", at " +
                at_offset(at) + u".");
  }
  out_.push_back(unit);
  return Status::success();
}

Status Decoder::feed_utf16(const unsigned char* p, std::size_t n) {
  const bool little = encoding_ == Encoding::utf16le;
  const auto unit_of = [little](unsigned char first, unsigned char second) {
    return static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second);
  };
  std::size_t i = 0;
  if (carried_ == 1 && n > 0) {
    carried_ = 0;
    i = 1;
    const Status status =
        put_utf16_unit(unit_of(static_cast<unsigned char>(carry_[0]), p[0]), offset_ - 1);
    if (!status) return status;
  }
  out_.reserve(out_.size() + (n - i) / 2);
  for (; i + 1 < n; i += 2) {
    const char16_t unit = unit_of(p[i], p[i + 1]);
    if (unit != 0 && !is_surrogate(unit) && !pending_high_) {
      out_.push_back(unit);
      continue;
    }
    const Status status = put_utf16_unit(unit, offset_ + i);
    if (!status) return status;
  }
  if (i < n) {
    carry_[0] = static_cast<std::byte>(p[i]);
    carried_ = 1;
  }
  return Status::success();
}

Status Decoder::feed_windows1252(const unsigned char* p, std::size_t n) {
  out_.reserve(out_.size() + n);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned b = p[i];
    if (b == 0) return fail(nul_message(offset_ + i));
    out_.push_back(b >= 0x80 && b <= 0x9F ? kWindows1252C1[b - 0x80] : static_cast<char16_t>(b));
  }
  return Status::success();
}

Status Decoder::finish() {
  if (!error_.empty()) return Status::failure(error_);
  const auto carried = static_cast<std::uint64_t>(carried_);
  if (pending_high_) {
    return fail(u"The UTF-16 text has a lone surrogate, " + code_point_name(high_) + u", at " +
                at_offset(offset_ - carried - 2) + u".");
  }
  if (carried_ > 0 && (encoding_ == Encoding::utf16le || encoding_ == Encoding::utf16be)) {
    return fail(u"The UTF-16 text has an odd number of bytes: the last one, at " +
                at_offset(offset_ - 1) + u", is half a character.");
  }
  if (carried_ > 0) {
    return fail(u"The UTF-8 text ends in the middle of a character that starts at " +
                at_offset(offset_ - carried) + u".");
  }
  flush();
  return Status::success();
}

Status decode_text(std::span<const std::byte> bytes, std::u16string& text) {
  const Encoding encoding = detect_encoding(bytes);
  std::u16string decoded;
  Decoder decoder(encoding, [&decoded](std::u16string_view piece) { decoded.append(piece); });
  Status status = decoder.feed(bytes.subspan(mark_length(encoding)));
  if (status) status = decoder.finish();
  if (status) text = std::move(decoded);
  return status;
}

}  // namespace tavrino
