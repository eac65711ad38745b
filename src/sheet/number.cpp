// SPDX-License-Identifier: MIT
#include "sheet/number.h"

#include <cstddef>
#include <string>

namespace tavrino {
namespace {

bool is_ignored(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n';
}
bool is_digit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool is_exponent_mark(char16_t c) {
  return c == u'E' || c == u'e' || c == u'D' || c == u'd';
}

// Exponents beyond this are all the same to a 16-bit result, and capping them
// keeps the decimal point arithmetic far away from overflow.
constexpr std::int64_t kExponentCap = 1'000'000'000'000;

// Walks a text while skipping the characters the conversion ignores.
class Cursor {
 public:
  explicit Cursor(std::u16string_view text) : text_(text) {}

  // The next character that counts, or 0 at the end (a NUL cannot continue a
  // number either, so the two need not be told apart).
  char16_t peek() {
    while (pos_ < text_.size() && is_ignored(text_[pos_])) ++pos_;
    return pos_ < text_.size() ? text_[pos_] : u'\0';
  }
  void advance() { ++pos_; }
  std::size_t position() const { return pos_; }
  void rewind(std::size_t pos) { pos_ = pos; }

 private:
  std::u16string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

LeadingNumber leading_number(std::u16string_view text) {
  Cursor cursor(text);
  std::u16string written;
  bool negative = false;
  if (const char16_t c = cursor.peek(); c == u'+' || c == u'-') {
    negative = c == u'-';
    written.push_back(c);
    cursor.advance();
  }

  // Every digit of the mantissa, integer part first; the decimal point stands
  // after `integer_digits` of them.
  std::string digits;
  std::int64_t integer_digits = 0;
  while (is_digit(cursor.peek())) {
    digits.push_back(static_cast<char>(cursor.peek()));
    written.push_back(cursor.peek());
    ++integer_digits;
    cursor.advance();
  }
  if (cursor.peek() == u'.') {
    written.push_back(u'.');
    cursor.advance();
    while (is_digit(cursor.peek())) {
      digits.push_back(static_cast<char>(cursor.peek()));
      written.push_back(cursor.peek());
      cursor.advance();
    }
  }
  if (digits.empty()) return {};  // "", "abc", "-", "." have no number

  std::int64_t exponent = 0;
  if (is_exponent_mark(cursor.peek())) {
    // The mark belongs to the number only when digits follow it; otherwise
    // the number ends before the mark ("2E" is 2).
    const std::size_t mark = cursor.position();
    std::u16string exponent_text(1, cursor.peek());
    cursor.advance();
    bool exponent_negative = false;
    if (const char16_t c = cursor.peek(); c == u'+' || c == u'-') {
      exponent_negative = c == u'-';
      exponent_text.push_back(c);
      cursor.advance();
    }
    if (is_digit(cursor.peek())) {
      while (is_digit(cursor.peek())) {
        if (exponent < kExponentCap) exponent = exponent * 10 + (cursor.peek() - u'0');
        exponent_text.push_back(cursor.peek());
        cursor.advance();
      }
      if (exponent_negative) exponent = -exponent;
      written += exponent_text;
    } else {
      cursor.rewind(mark);
    }
  }

  LeadingNumber result;
  result.written = std::move(written);

  // Rounding works on the decimal digits themselves, so no binary fraction
  // ever blurs an exact half. The value is 0.<significant> * 10^point.
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return result;  // zero, whatever its sign
  std::size_t last = digits.find_last_not_of('0');
  const std::string_view significant(digits.data() + first, last - first + 1);
  const std::int64_t point = integer_digits - static_cast<std::int64_t>(first) + exponent;

  // Six or more whole digits are at least 100000, beyond any 16-bit value.
  if (point > 5) {
    result.in_range = false;
    return result;
  }
  std::int32_t whole = 0;
  for (std::int64_t k = 0; k < point; ++k) {
    const auto index = static_cast<std::size_t>(k);
    whole = whole * 10 + (index < significant.size() ? significant[index] - '0' : 0);
  }
  bool round_up = false;
  if (point >= 0 && static_cast<std::size_t>(point) < significant.size()) {
    const std::string_view fraction = significant.substr(static_cast<std::size_t>(point));
    // Trailing zeros are gone, so any digit after a leading 5 makes the
    // fraction more than a half.
    if (fraction[0] > '5' || (fraction[0] == '5' && fraction.size() > 1)) {
      round_up = true;
    } else if (fraction[0] == '5') {
      round_up = whole % 2 != 0;
    }
  }
  // A negative point means below 0.1, which rounds to 0.
  const std::int32_t magnitude = whole + (round_up ? 1 : 0);
  if (negative ? magnitude > 32768 : magnitude > 32767) {
    result.in_range = false;
    return result;
  }
  result.value = static_cast<std::int16_t>(negative ? -magnitude : magnitude);
  return result;
}

}  // namespace tavrino
