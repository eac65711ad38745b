// SPDX-License-Identifier: MIT
#include "base/unicode.h"

#include <gtest/gtest.h>

namespace tavrino {
namespace {

TEST(Unicode, SplitsTextIntoCodePoints) {
  const struct {
    std::u16string text;
    std::u32string points;
  } cases[] = {
      {u"", U""},
      {u"A\u00e9\u20ac", U"A\u00e9\u20ac"},
      {u"\U0001F600!", U"\U0001F600!"},
      {u"\U0010FFFF", U"\U0010FFFF"},
      // A surrogate without its partner stays the one unit it is: at the end,
      // before another character, reversed.
      {std::u16string{0xD83D}, std::u32string{0xD83D}},
      {std::u16string{0xD83D, u'x'}, std::u32string{0xD83D, U'x'}},
      {std::u16string{0xDE00, 0xD83D}, std::u32string{0xDE00, 0xD83D}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_code_points(c.text), c.points);
    EXPECT_EQ(from_code_points(c.points), c.text);
  }
}

TEST(Unicode, AppendsOnlyWhatUtf16CanHold) {
  EXPECT_EQ(code_point_text(U'\U0001F600'), u"\U0001F600");
  EXPECT_EQ(code_point_text(0x110000), u"\uFFFD");
}

TEST(Unicode, NamesCodePointsWithAtLeastFourDigits) {
  const struct {
    char32_t c;
    std::u16string_view name;
  } cases[] = {
      {0x0, u"U+0000"},    {0x1, u"U+0001"},      {0x7F, u"U+007F"},
      {0xFFFE, u"U+FFFE"}, {0x1F600, u"U+1F600"}, {0x10FFFF, u"U+10FFFF"},
  };
  for (const auto& c : cases) EXPECT_EQ(code_point_name(c.c), c.name);
}

TEST(Unicode, TellsNoncharacters) {
  for (char32_t plane = 0; plane <= 0x10; ++plane) {
    EXPECT_TRUE(is_noncharacter((plane << 16) | 0xFFFE));
    EXPECT_TRUE(is_noncharacter((plane << 16) | 0xFFFF));
    EXPECT_FALSE(is_noncharacter((plane << 16) | 0xFFFD));
    EXPECT_FALSE(is_noncharacter((plane << 16) | 0x0000));
  }
  int count = 0;
  for (char32_t c = 0; c <= kMaxCodePoint + 2; ++c) count += is_noncharacter(c) ? 1 : 0;
  EXPECT_EQ(count, 66);
  EXPECT_TRUE(is_noncharacter(0xFDD0));
  EXPECT_TRUE(is_noncharacter(0xFDEF));
  EXPECT_FALSE(is_noncharacter(0xFDCF));
  EXPECT_FALSE(is_noncharacter(0xFDF0));
}

}  // namespace
}  // namespace tavrino
