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

  const KeySymbol euro = keysym_for_character(U'\u20ac');
  const KeySymbol f13 = keysym_for_key(Key::f13);
  const auto plain = [](KeySymbol k) { return SpareUse{k, false}; };
  const auto shifted = [](KeySymbol k) { return SpareUse{k, true}; };

  struct Case {
    const char* name;
    std::vector<SpareUse> uses;
    std::size_t from;
    std::size_t keys;
    std::vector<SpareKey> expected;
    std::size_t end;
  };
  const Case cases[] = {
      {"both cases share a key", {plain(big_a), plain(a), plain(big_a)}, 0, 3, {{a, big_a}}, 3},
      {"upper case first", {plain(big_o)}, 0, 1, {{small_o, big_o}}, 1},
      {"no case: two share a key", {plain(zhong), plain(wen)}, 0, 5, {{zhong, wen}}, 2},
      {"an odd one out is on both levels",
       {plain(zhong), plain(wen), plain(euro)},
       0,
       5,
       {{zhong, wen}, {euro, euro}},
       3},
      {"typed under Shift: a key alone",
       {shifted(zhong), plain(wen)},
       0,
       5,
       {{zhong, zhong}, {wen, wen}},
       2},
      {"a named key never needs Shift",
       {plain(f13), plain(zhong)},
       0,
       5,
       {{f13, f13}, {zhong, zhong}},
       2},
      // U+01C5 has a lower and an upper case but is neither: no letter key.
      {"title case shares like a symbol", {plain(title), plain(zhong)}, 0, 5, {{title, zhong}}, 2},
      {"letters first, then the pairs",
       {plain(zhong), plain(b), plain(wen)},
       0,
       5,
       {{b, big_b}, {zhong, wen}},
       3},
      {"stops when the keys are used up",
       {plain(zhong), plain(wen), plain(euro), plain(b)},
       0,
       2,
       {{zhong, wen}, {euro, euro}},
       3},
      // One keycode left after the letter: a second letter does not fit.
      {"a letter needs a whole key",
       {plain(zhong), plain(a), plain(b)},
       0,
       2,
       {{a, big_a}, {zhong, zhong}},
       2},
      {"repeats still fit",
       {plain(zhong), plain(b), plain(zhong), plain(wen), plain(euro)},
       0,
       2,
       {{b, big_b}, {zhong, wen}},
       4},
      {"starts at from", {plain(zhong), plain(wen), plain(b)}, 2, 2, {{b, big_b}}, 3},
      {"no keys, nothing covered", {plain(zhong)}, 0, 0, {}, 0},
      {"from at the end", {plain(zhong)}, 1, 4, {}, 1},
  };
  for (const Case& c : cases) {
    const SpareBatch batch = plan_spare_batch(c.uses, c.from, c.keys);
    EXPECT_EQ(batch.keys, c.expected) << c.name;
    EXPECT_EQ(batch.end, c.end) << c.name;
  }
}

}  // namespace
}  // namespace tavrino
