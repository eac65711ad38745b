// SPDX-License-Identifier: MIT
#include "base/text.h"

#include "base/unicode.h"
#include "base/utf8_sequence.h"

namespace tavrino {

namespace {

// Decodes UTF-8, handing each byte that is not part of a valid sequence to
// `bad_byte`. Only the first byte of a broken sequence is given up, so the
// bytes after it are read again and a good character right after it survives.
template <typename BadByte>
std::u16string decode_utf8(std::string_view utf8, BadByte bad_byte) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const detail::Utf8Sequence s = detail::decode_utf8_sequence(p + i, utf8.size() - i);
    if (s.result == detail::Utf8Result::ok) {
      append_code_point(out, s.code_point);
      i += static_cast<std::size_t>(s.length);
    } else {
      out.push_back(bad_byte(p[i]));
      ++i;
    }
  }
  return out;
}

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The low surrogates that stand for the bytes 0x80 to 0xFF of a path.
constexpr char16_t kEscapedByteBase = 0xDC00;

}  // namespace

std::u16string utf8_to_utf16(std::string_view utf8) {
  return decode_utf8(utf8, [](unsigned char) { return u'\uFFFD'; });
}

std::string utf16_to_utf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size();) {
    const CodePoint point = code_point_at(utf16, i);
    i += point.length;
    append_utf8(out, is_surrogate(point.value) ? 0xFFFD : point.value);
  }
  return out;
}

std::u16string path_from_bytes(std::string_view bytes) {
  // Only bytes from 0x80 up can be out of place in UTF-8.
  return decode_utf8(bytes,
                     [](unsigned char b) { return static_cast<char16_t>(kEscapedByteBase + b); });
}

std::string path_to_bytes(std::u16string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size();) {
    const CodePoint point = code_point_at(path, i);
    i += point.length;
    if (point.value >= kEscapedByteBase + 0x80 && point.value <= kEscapedByteBase + 0xFF) {
      out.push_back(static_cast<char>(point.value - kEscapedByteBase));
    } else {
      append_utf8(out, is_surrogate(point.value) ? 0xFFFD : point.value);
    }
  }
  return out;
}

std::u16string escape_hidden(std::u16string_view text) {
  static constexpr std::u16string_view kOpening = u"<U+";
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const CodePoint point = code_point_at(text, i);
    if (is_hidden_character(point.value) || text.substr(i).starts_with(kOpening)) {
      out += u'<';
      out += code_point_name(point.value);
      out += u'>';
    } else {
      out.append(text.substr(i, point.length));
    }
    i += point.length;
  }
  return out;
}

std::u16string to_text(std::int64_t n) {
  // Work on the magnitude as unsigned so that the lowest int64 value, which
  // has no positive counterpart, comes out right too.
  std::uint64_t magnitude =
      n < 0 ? ~static_cast<std::uint64_t>(n) + 1 : static_cast<std::uint64_t>(n);
  char16_t digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::u16string out;
  if (n < 0) out.push_back(u'-');
  while (count > 0) out.push_back(digits[--count]);
  return out;
}

std::u16string quoted(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + 2);
  out.push_back(u'"');
  out.append(text);
  out.push_back(u'"');
  return out;
}

std::u16string listed(std::span<const std::u16string> items) {
  std::u16string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? u" and " : u", ";
    out += items[i];
  }
  return out;
}

std::u16string crlf_line_ends(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace tavrino
