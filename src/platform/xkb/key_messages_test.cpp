// SPDX-License-Identifier: MIT
#include "platform/xkb/key_messages.h"

#include <gtest/gtest.h>

namespace tavrino {
namespace {

TEST(MessagesTest, ShownCharacters) {
  struct Case {
    char32_t c;
    std::u16string shown;
  };
  const Case cases[] = {
      {U'a', u"\"a\""},
      {U'!', u"\"!\""},
      {U'\u00e9', u"\"\u00e9\""},
      {U'\U0001F600', u"\"\U0001F600\""},  // a surrogate pair
      {U'\U0010FFFF', u"\"\U0010FFFF\""},
      {U' ', u"U+0020"},
      {U'\t', u"U+0009"},
      {U'\x7f', u"U+007F"},
      {U'\x85', u"U+0085"},
      {0xd800, u"U+D800"},
      {0x110000, u"U+110000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shown(c.c), c.shown) << static_cast<unsigned>(c.c);
  }
  EXPECT_EQ(shown(KeyEvent::of_key(Key::f13)), u"{F13}");
  EXPECT_EQ(untypeable(KeyEvent::of_character(U'\x07')).message(),
            u"The character U+0007 cannot be typed: no key produces it.");
}

}  // namespace
}  // namespace tavrino
