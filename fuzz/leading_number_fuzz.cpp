// SPDX-License-Identifier: MIT
// Any 16-bit text through the leading-number conversion, checked against
// properties that hold whatever the text: a result out of range or not zero
// has a number written, the number as written converts to the same result,
// a character that cannot continue a number changes nothing when appended,
// and wherever a double can hold the number exactly enough, rounding it half
// to even gives the same value.
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sheet/number.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool same(const tavrino::LeadingNumber& a, const tavrino::LeadingNumber& b) {
  return a.in_range == b.in_range && a.value == b.value && a.written == b.written;
}

// Cross-checks `number` against strtod when the mantissa has at most 15
// digits: then a double is close enough that no value near a half is
// mistaken for one.
void check_against_double(const tavrino::LeadingNumber& number) {
  std::string ascii;
  int mantissa_digits = 0;
  bool in_exponent = false;
  for (char16_t c : number.written) {
    if (c == u'E' || c == u'e' || c == u'D' || c == u'd') {
      in_exponent = true;
      ascii.push_back('e');
      continue;
    }
    if (c >= u'0' && c <= u'9' && !in_exponent) ++mantissa_digits;
    ascii.push_back(static_cast<char>(c));
  }
  if (mantissa_digits > 15) return;
  const double parsed = std::strtod(ascii.c_str(), nullptr);
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(parsed);
  const bool fits = rounded >= -32768.0 && rounded <= 32767.0;
  check(number.in_range == fits);
  if (fits) check(number.value == static_cast<std::int16_t>(rounded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Bytes below 0x80 stand for themselves so that digits, signs and blanks
  // turn up often; the others reach the rest of the 16-bit range.
  std::u16string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] < 0x80 || i + 1 == size) {
      text.push_back(data[i]);
    } else {
      text.push_back(static_cast<char16_t>((data[i] << 8) | data[i + 1]));
      ++i;
    }
  }

  const tavrino::LeadingNumber number = tavrino::leading_number(text);
  if (!number.in_range) check(number.value == 0);
  if (!number.in_range || number.value != 0) check(!number.written.empty());
  check(number.written.find_first_of(u" \t\n") == std::u16string::npos);

  check(same(tavrino::leading_number(number.written), number));
  check(same(tavrino::leading_number(text + u"x"), number));

  if (!number.written.empty()) check_against_double(number);
  return 0;
}
