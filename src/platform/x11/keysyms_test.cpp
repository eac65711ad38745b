// SPDX-License-Identifier: MIT
#include "platform/x11/keysyms.h"

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
      {U'\n', 0xff0d},     {U'\r', 0xff0d},     {U'\t', 0xff09},       {U'\b', 0xff08},
      {U'\x1b', 0xff1b},   {U'\x7f', 0xffff},   {U'\x07', kNoSymbol},  {U'\x85', kNoSymbol},
      {0xd800, kNoSymbol}, {0xdfff, kNoSymbol}, {0x110000, kNoSymbol},
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
    const char32_t c = character_of_keysym(keysym);
    EXPECT_FALSE(c >= 0x20 && c != 0x7f) << k;
  }
  EXPECT_EQ(keysym_for_key(Key::enter), keysym_for_character(U'\r'));
  EXPECT_EQ(keysym_for_key(Key::f16) - keysym_for_key(Key::f1), 15u);
}

TEST(KeysymsTest, SpareBatches) {
  const KeySymbol a = keysym_for_character(U'a');
  const KeySymbol big_a = keysym_for_character(U'A');
  const KeySymbol b = keysym_for_character(U'b');
  const KeySymbol big_b = keysym_for_character(U'B');
  const KeySymbol zhong = keysym_for_character(U'\u4e2d');
  const KeySymbol wen = keysym_for_character(U'\u6587');
  const KeySymbol title = keysym_for_character(U'\u01c5');  // Dz as in a title
  const KeySymbol small_o = keysym_for_character(U'\u00f6');
  const KeySymbol big_o = keysym_for_character(U'\u00d6');

  struct Case {
    const char* name;
    std::vector<KeySymbol> uses;
    std::size_t from;
    std::size_t keys;
    std::vector<SpareKey> expected;
    std::size_t end;
  };
  const Case cases[] = {
      {"both cases share a key", {big_a, a, big_a}, 0, 3, {{a, big_a}}, 3},
      {"upper case first", {big_o}, 0, 1, {{small_o, big_o}}, 1},
      {"no case: same on both levels", {zhong, wen}, 0, 5, {{zhong, zhong}, {wen, wen}}, 2},
      {"title case gets a key alone", {title}, 0, 5, {{title, title}}, 1},
      {"stops when the keys are used up", {zhong, wen, b}, 0, 2, {{zhong, zhong}, {wen, wen}}, 2},
      {"repeats still fit", {zhong, b, zhong, wen}, 0, 2, {{zhong, zhong}, {b, big_b}}, 3},
      {"starts at from", {zhong, wen, b}, 2, 2, {{b, big_b}}, 3},
      {"no keys, nothing covered", {zhong}, 0, 0, {}, 0},
      {"from at the end", {zhong}, 1, 4, {}, 1},
  };
  for (const Case& c : cases) {
    const SpareBatch batch = plan_spare_batch(c.uses, c.from, c.keys);
    EXPECT_EQ(batch.keys, c.expected) << c.name;
    EXPECT_EQ(batch.end, c.end) << c.name;
  }
}

}  // namespace
}  // namespace tavrino
