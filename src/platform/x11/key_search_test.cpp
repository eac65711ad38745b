// SPDX-License-Identifier: MIT
#include "platform/x11/key_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrino {
namespace {

// Real modifier masks besides Shift and Lock, as the server numbers them.
constexpr unsigned kMod1 = 1u << 3;  // Alt
constexpr unsigned kMod2 = 1u << 4;  // Num Lock
constexpr unsigned kMod4 = 1u << 6;
constexpr unsigned kMod5 = 1u << 7;  // level 3 (AltGr)

// XKB's standard key types, as a server hands them out.
const KeyType kOneLevel{0, {}};
const KeyType kTwoLevel{kShiftMask, {{kShiftMask, 1, 0}}};
const KeyType kAlphabetic{kShiftMask | kLockMask, {{kShiftMask, 1, 0}, {kLockMask, 1, 0}}};
const KeyType kKeypad{kShiftMask | kMod2, {{kShiftMask, 1, 0}, {kMod2, 1, 0}}};
// Caps Lock capitalises every level, so on level 3 and 4 it is left for the
// client to apply (preserved).
const KeyType kFourLevelSemialphabetic{kShiftMask | kLockMask | kMod5,
                                       {{kShiftMask, 1, 0},
                                        {kLockMask, 1, 0},
                                        {kMod5, 2, 0},
                                        {kShiftMask | kMod5, 3, 0},
                                        {kLockMask | kMod5, 2, kLockMask},
                                        {kLockMask | kShiftMask | kMod5, 3, kLockMask}}};

constexpr KeySymbol kShiftL = 0xffe1, kShiftR = 0xffe2, kControlL = 0xffe3, kMetaL = 0xffe7,
                    kAltL = 0xffe9, kAltR = 0xffea, kCapsLock = 0xffe5, kNumLock = 0xff7f,
                    kLevel3 = 0xfe03, kTab = 0xff09, kLeftTab = 0xfe20, kReturn = 0xff0d,
                    kEscape = 0xff1b, kKpAdd = 0xffab, kKpNext = 0xff9b, kKp3 = 0xffb3;

KeySymbol sym(char32_t c) {
  return keysym_for_character(c);
}

LayoutKey key(unsigned keycode, const KeyType& type, std::vector<KeySymbol> levels,
              unsigned bound = 0) {
  LayoutKey made;
  made.keycode = keycode;
  made.groups = 1;
  made.bound = bound;
  made.symbol = levels.empty() ? kNoSymbol : levels[0];
  made.type = type;
  made.levels = std::move(levels);
  return made;
}

LayoutKey no_symbols(unsigned keycode, unsigned bound = 0) {
  LayoutKey made;
  made.keycode = keycode;
  made.bound = bound;
  return made;
}

// A small keymap with what a real one puts in the way of the search:
// letters whose case Caps Lock turns, a key whose type ignores Caps Lock,
// letters on level 3, a character on two keys, a keypad, a Unicode keysym,
// and keycodes with no symbols.
std::vector<LayoutKey> layout() {
  return {
      key(9, kOneLevel, {kEscape}),
      key(10, kTwoLevel, {sym(U'1'), sym(U'!')}),
      key(11, kTwoLevel, {sym(U'2'), sym(U'@')}),
      key(13, kTwoLevel, {sym(U'4'), sym(U'$')}),
      key(23, kTwoLevel, {kTab, kLeftTab}),
      key(26, kFourLevelSemialphabetic, {sym(U'e'), sym(U'E'), sym(U'\u20ac'), sym(U'\u00a2')}),
      key(27, kFourLevelSemialphabetic, {sym(U'o'), sym(U'O'), sym(U'\u00f8'), sym(U'\u00d8')}),
      key(36, kOneLevel, {kReturn}),
      key(38, kAlphabetic, {sym(U'a'), sym(U'A')}),
      // é on a key whose type leaves Caps Lock to the client, as French
      // layouts have it: under Caps Lock it gives É.
      key(47, kTwoLevel, {sym(U'\u00e9'), sym(U'2')}),
      key(60, kOneLevel, {sym(U'$')}),
      key(50, kOneLevel, {kShiftL}, kShiftMask),
      key(62, kOneLevel, {kShiftR}, kShiftMask),
      key(64, kOneLevel, {kAltL}),  // no binding: only an action
      key(66, kOneLevel, {kCapsLock}, kLockMask),
      key(77, kOneLevel, {kNumLock}, kMod2),
      key(86, kKeypad, {kKpAdd, kKpAdd}),
      key(89, kKeypad, {kKpNext, kKp3}),
      key(92, kOneLevel, {kLevel3}, kMod5),
      key(133, kOneLevel, {kMetaL}, kMod1),
      key(200, kAlphabetic, {sym(U'a'), sym(U'A')}),
      // U+2019 by its Unicode keysym, where the classic one is
      // rightsinglequotemark.
      key(201, kTwoLevel, {0x1002019, 0x1002018}),
      no_symbols(250),
      no_symbols(251, kMod4),
      key(252, kOneLevel, {kNoSymbol}),
      no_symbols(253),
  };
}

std::string text(const std::optional<Stroke>& stroke) {
  if (!stroke) return "none";
  return std::to_string(stroke->keycode) + "+" + std::to_string(stroke->modifiers);
}

TEST(KeySearch, FindsThePlainestKeyAsTheTargetWillSeeItUnderTheLocks) {
  const std::vector<LayoutKey> keys = layout();
  const KeySearch search(keys, find_modifier_key(keys, {kShiftL, kShiftR}),
                         find_modifier_key(keys, {kLevel3}));
  const auto c = [](char32_t character) { return KeyEvent::of_character(character); };
  struct Case {
    const char* what;
    KeyEvent event;
    unsigned locked;
    std::optional<Stroke> stroke;
  };
  const Case cases[] = {
      {"its capital", c(U'A'), 0, Stroke{38, kShiftMask}},
      {"a letter under Caps Lock takes Shift", c(U'a'), kLockMask, Stroke{38, kShiftMask}},
      {"a capital under Caps Lock takes none", c(U'A'), kLockMask, Stroke{38, 0}},
      {"a sign under Caps Lock", c(U'!'), kLockMask, Stroke{10, kShiftMask}},
      {"no modifier beats a lower keycode", c(U'$'), 0, Stroke{60, 0}},
      {"among equals the lowest keycode", c(U'a'), 0, Stroke{38, 0}},
      {"Shift beats level 3", c(U'@'), 0, Stroke{11, kShiftMask}},
      {"level 3", c(U'\u20ac'), 0, Stroke{26, kMod5}},
      {"level 4", c(U'\u00a2'), 0, Stroke{26, kShiftMask | kMod5}},
      {"level 3 under Caps Lock", c(U'\u20ac'), kLockMask, Stroke{26, kMod5}},
      {"a semialphabetic letter under Caps Lock", c(U'e'), kLockMask, Stroke{26, kShiftMask}},
      // Caps Lock is preserved on level 3, so the client capitalises ø.
      {"a level-3 capital under Caps Lock", c(U'\u00d8'), kLockMask, Stroke{27, kMod5}},
      {"a level-3 small letter under Caps Lock", c(U'\u00f8'), kLockMask, std::nullopt},
      {"a level-4 capital", c(U'\u00d8'), 0, Stroke{27, kShiftMask | kMod5}},
      // Its type ignores Caps Lock: the client turns é into É.
      {"a type that ignores Caps Lock", c(U'\u00e9'), 0, Stroke{47, 0}},
      {"... gives no small letter under it", c(U'\u00e9'), kLockMask, std::nullopt},
      {"... but its capital", c(U'\u00c9'), kLockMask, Stroke{47, 0}},
      // Shift Lock: Shift is locked, and holding Shift too changes nothing.
      {"a letter under Shift Lock", c(U'a'), kShiftMask, std::nullopt},
      {"a capital under Shift Lock", c(U'A'), kShiftMask, Stroke{38, 0}},
      {"a character by its Unicode keysym", c(U'\u2019'), 0, Stroke{201, 0}},
      // A terminal in keypad mode sends an escape sequence for a keypad key.
      {"never a character on the keypad", c(U'3'), kMod2, std::nullopt},
      {"a keypad key by its keysym", KeyEvent::of_key(Key::add), kMod2, Stroke{86, 0}},
      {"a named key", KeyEvent::of_key(Key::tab), 0, Stroke{23, 0}},
      {"Enter", KeyEvent::of_key(Key::enter), kLockMask, Stroke{36, 0}},
      {"a named key the layout lacks", KeyEvent::of_key(Key::f13), 0, std::nullopt},
      {"a character the layout lacks", c(U'\u4e2d'), 0, std::nullopt},
      {"a modifier's press is no key", KeyEvent::press_of(Modifier::shift), 0, std::nullopt},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(text(search.find(test.event, test.locked)), text(test.stroke)) << test.what;
  }
}

TEST(KeySearch, PressesNoModifierTheLayoutHasNoKeyFor) {
  const std::vector<LayoutKey> keys = layout();
  const ModifierKey shift = find_modifier_key(keys, {kShiftL, kShiftR});
  const ModifierKey level3 = find_modifier_key(keys, {kLevel3});
  const auto c = [](char32_t character) { return KeyEvent::of_character(character); };
  struct Case {
    const char* what;
    bool shift;
    bool level3;
    KeyEvent event;
    unsigned locked;
    std::optional<Stroke> stroke;
  };
  const Case cases[] = {
      {"no Shift: no capital", false, true, c(U'A'), 0, std::nullopt},
      {"no Shift: Caps Lock still gives one", false, true, c(U'A'), kLockMask, Stroke{38, 0}},
      {"no Shift: no small letter under Caps Lock", false, true, c(U'a'), kLockMask, std::nullopt},
      {"no Shift: level 3 alone", false, true, c(U'\u20ac'), 0, Stroke{26, kMod5}},
      {"no Shift: no level 4", false, true, c(U'\u00a2'), 0, std::nullopt},
      {"no level 3", true, false, c(U'\u20ac'), 0, std::nullopt},
      {"no level 3: Shift still", true, false, c(U'@'), 0, Stroke{11, kShiftMask}},
  };
  for (const Case& test : cases) {
    const KeySearch search(keys, test.shift ? shift : ModifierKey{},
                           test.level3 ? level3 : ModifierKey{});
    EXPECT_EQ(text(search.find(test.event, test.locked)), text(test.stroke)) << test.what;
  }
}

TEST(KeySearch, ModifierKeysSpareKeycodesAndEsc) {
  const std::vector<LayoutKey> keys = layout();
  struct Case {
    const char* what;
    std::initializer_list<KeySymbol> symbols;
    unsigned keycode;
    unsigned mask;
  };
  const Case cases[] = {
      {"Shift: the first symbol first", {kShiftR, kShiftL}, 62, kShiftMask},
      {"Alt: a key without a binding is passed over", {kAltL, kAltR, kMetaL}, 133, kMod1},
      {"level 3", {kLevel3}, 92, kMod5},
      {"Num Lock", {kNumLock}, 77, kMod2},
      {"none", {kControlL}, 0, 0},
  };
  for (const Case& test : cases) {
    const ModifierKey found = find_modifier_key(keys, test.symbols);
    EXPECT_EQ(found.keycode, test.keycode) << test.what;
    EXPECT_EQ(found.mask, test.mask) << test.what;
  }
  // Neither a keycode bound to a modifier nor one with a group of no
  // symbols is free; the highest come first.
  EXPECT_EQ(spare_keycodes(keys), (std::vector<unsigned>{253, 250}));
  EXPECT_EQ(keycodes_with(keys, kEscape), (std::vector<unsigned>{9}));
  EXPECT_EQ(keycodes_with(keys, sym(U'a')), (std::vector<unsigned>{38, 200}));
}

}  // namespace
}  // namespace tavrino
