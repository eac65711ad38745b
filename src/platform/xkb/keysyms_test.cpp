// SPDX-License-Identifier: MIT
#include "platform/xkb/keysyms.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tavrino {
namespace {

// What the layout lookup relies on: the keysym put on a spare key types the
// very character it was made for.
TEST(KeysymsTest, CharacterKeysymsTypeTheirCharacter) {
  for (const char32_t c : {U'a', U'Z', U'~', U' ', U'\u00e9', U'\u00df', U'\u20ac', U'\u0141',
                           U'\u03a9', U'\u4e2d', U'\u01c5', U'\U0001F600', U'\uFFFD'}) {
    const KeySymbol keysym = keysym_for_character(c);
    ASSERT_NE(keysym, kNoSymbol) << static_cast<unsigned>(c);
    EXPECT_EQ(character_of_keysym(keysym), c) << static_cast<unsigned>(c);
  }
}

TEST(KeysymsTest, ControlCharacters) {
  struct Case {
    char32_t character;
    KeySymbol keysym;
  };
  const Case cases[] = {
      {U'\n', 0xff0d},     {U'\r', 0xff0d},       {U'\t', 0xff09},      {U'\b', 0xff08},
      {U'\x1b', 0xff1b},   {U'\x7f', 0xffff},     {U'\x07', kNoSymbol}, {U'\x85', kNoSymbol},
      {0xd800, kNoSymbol}, {0x110000, kNoSymbol},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keysym_for_character(c.character), c.keysym) << static_cast<unsigned>(c.character);
  }
}

TEST(KeysymsTest, EveryNamedKeyHasItsOwnKeysym) {
  std::set<KeySymbol> seen;
  for (int k = static_cast<int>(Key::backspace); k <= static_cast<int>(Key::divide); ++k) {
    const KeySymbol keysym = keysym_for_key(static_cast<Key>(k));
    EXPECT_NE(keysym, kNoSymbol) << k;
    EXPECT_TRUE(seen.insert(keysym).second) << "keysym used twice, key " << k;
    // None of them may come out as a character, or typing it would insert text.
    EXPECT_FALSE(types_text(keysym)) << k;
  }
  EXPECT_EQ(keysym_for_key(Key::enter), keysym_for_character(U'\r'));
}

}  // namespace
}  // namespace tavrino
