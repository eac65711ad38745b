// SPDX-License-Identifier: MIT
#include "sheet/number.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tavrino {
namespace {

constexpr int kOutOfRange = 99999;

TEST(LeadingNumber, ConvertsRoundsAndReportsTheRange) {
  const std::u16string nines(5000, u'9');
  const std::u16string tiny = u"0." + std::u16string(5000, u'0') + u"6";
  const std::u16string scaled = u"1" + std::u16string(5000, u'0') + u"e-5000";
  const struct {
    std::u16string text;
    int value;  // kOutOfRange when reported out of range
    std::u16string written;
  } cases[] = {
      {u"12abc", 12, u"12"},
      {u"abc", 0, u""},
      {u"-", 0, u""},
      {u"12 seconds", 12, u"12"},
      {u"5\r\n", 5, u"5"},
      {u"\r5", 0, u""},
      {u"1 2", 12, u"12"},
      {u" -\t3", -3, u"-3"},
      {u"+7", 7, u"+7"},
      {u"--3", 0, u""},
      {u"1.2.3", 1, u"1.2"},
      {u"5.", 5, u"5."},
      {u"0x10", 0, u"0"},
      // Half to even, decided on the decimal digits.
      {u"2.5", 2, u"2.5"},
      {u"3.5", 4, u"3.5"},
      {u"-2.5", -2, u"-2.5"},
      {u".5", 0, u".5"},
      {u".51", 1, u".51"},
      {u"2.4999", 2, u"2.4999"},
      {u"2.50000", 2, u"2.50000"},
      {u"2.5000000000000000001", 3, u"2.5000000000000000001"},
      // Exponents; a mark without digits ends the number before it.
      {u"1e3", 1000, u"1e3"},
      {u"1D+3", 1000, u"1D+3"},
      {u"15e-1", 2, u"15e-1"},
      {u"25E-1", 2, u"25E-1"},
      {u"2 e 2", 200, u"2e2"},
      {u"2E", 2, u"2"},
      {u"2eggs", 2, u"2"},
      {u"1e-99999999999999999999", 0, u"1e-99999999999999999999"},
      {u"0e99999999999999999999", 0, u"0e99999999999999999999"},
      // The 16-bit range, never wrapped.
      {u"32767.4", 32767, u"32767.4"},
      {u"32767.5", kOutOfRange, u"32767.5"},
      {u"-32768", -32768, u"-32768"},
      {u"-32768.5", -32768, u"-32768.5"},
      {u"-32768.51", kOutOfRange, u"-32768.51"},
      {u"1e9", kOutOfRange, u"1e9"},
      {u"1e99999999999999999999", kOutOfRange, u"1e99999999999999999999"},
      {u"000000000000000000000042", 42, u"000000000000000000000042"},
      {nines, kOutOfRange, nines},
      {tiny, 0, tiny},
      {scaled, 1, scaled},
  };
  for (const auto& c : cases) {
    const LeadingNumber n = leading_number(c.text);
    const std::string text = utf16_to_utf8(c.text).substr(0, 40);
    EXPECT_EQ(n.in_range ? n.value : kOutOfRange, c.value) << text;
    EXPECT_TRUE(n.in_range || n.value == 0) << text;  // no value when out of range
    EXPECT_EQ(utf16_to_utf8(n.written), utf16_to_utf8(c.written)) << text;
  }
}

}  // namespace
}  // namespace tavrino
