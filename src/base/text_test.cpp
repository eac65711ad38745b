// SPDX-License-Identifier: MIT
#include "base/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

namespace tavrino {
namespace {

TEST(Text, ConvertsBetweenUtf8AndUtf16) {
  const struct {
    std::string utf8;
    std::u16string utf16;
    bool round_trip;
  } cases[] = {
      {"Ann", u"Ann", true},
      {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC", true},
      {"\xF0\x9F\x98\x80", u"\U0001F600", true},
      // Each bad byte of UTF-8 becomes one U+FFFD.
      {"\xE2\x82"
       "A",
       u"\uFFFD\uFFFDA", false},
      {"\xC0\xAF", u"\uFFFD\uFFFD", false},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16) << c.utf8;
    if (c.round_trip) {
      EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8);
    }
  }
  EXPECT_EQ(utf16_to_utf8(std::u16string{char16_t{0xDE00}, u'a', char16_t{0xD83D}}),
            "\xEF\xBF\xBD"
            "a\xEF\xBF\xBD");
}

TEST(Text, NumbersAndQuotes) {
  EXPECT_EQ(to_text(0), u"0");
  EXPECT_EQ(to_text(-12), u"-12");
  EXPECT_EQ(to_text(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(quoted(u"Bob"), u"\"Bob\"");
}

TEST(Text, LineEndsForWindowsEditControls) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"a\r\nb", u"a\r\nb"},
      {u"a\nb\rc", u"a\r\nb\r\nc"},
      {u"\r\r\n\n", u"\r\n\r\n\r\n"},
      {u"", u""},
      {u"ab", u"ab"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(crlf_line_ends(in), out);
}

}  // namespace
}  // namespace tavrino
