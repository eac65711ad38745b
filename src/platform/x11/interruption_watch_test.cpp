// SPDX-License-Identifier: MIT
#include "platform/x11/interruption_watch.h"

#include <gtest/gtest.h>

namespace tavrino {
namespace {

// The spare keycodes of a pc105 keyboard with the us layout, roughly: the
// top of the range and a few in between.
KeycodeSet spare_keycodes() {
  KeycodeSet own;
  for (unsigned keycode = 247; keycode <= 255; ++keycode) own.set(keycode);
  own.set(93);
  own.set(97);
  return own;
}

// A small layout: z and y where us has them, and spare keycodes with nothing.
std::vector<KeycodeMapping> us() {
  return {{29, {'y', 'Y', 'y', 'Y'}}, {52, {'z', 'Z', 'z', 'Z'}}, {93, {}}, {250, {}}};
}
std::vector<KeycodeMapping> de() {
  return {{29, {'z', 'Z', 'z', 'Z'}}, {52, {'y', 'Y', 'y', 'Y'}}, {93, {}}, {250, {}}};
}

TEST(InterruptionWatch, TellsThePlaybacksOwnRemappingFromANewLayout) {
  struct Case {
    const char* what;
    MappingChange change;
    bool own;
  };
  const Case cases[] = {
      {"one spare keycode's symbols", {{{250, 1}}}, true},
      {"a run of spare keycodes, symbols and actions", {{{247, 4}, {247, 4}}}, true},
      {"two runs apart", {{{93, 1}, {252, 2}}}, true},
      {"a run that reaches past the spare keycodes", {{{96, 3}}}, false},
      {"the whole keyboard (a keymap upload)", {{{8, 248}}}, false},
      {"a key of the layout (xmodmap)", {{{38, 1}}}, false},
      {"the key types", {{{250, 1}}, true, false}, false},
      {"the virtual modifiers", {{}, false, true}, false},
      {"nothing said about any keycode", {}, false},
      {"a keycode past the end", {{{255, 2}}}, false},
  };
  for (const Case& c : cases) {
    InterruptionWatch watch;
    watch.set_layout(us(), spare_keycodes());
    watch.mapping_changed(c.change);
    // Only a change that may be a new layout is worth reading the mapping.
    EXPECT_EQ(watch.needs_mapping(), !c.own) << c.what;
  }
}

TEST(InterruptionWatch, ALayoutChangesWhenTheLayoutsKeysGiveOtherSymbols) {
  struct Case {
    const char* what;
    std::vector<KeycodeMapping> now;
    bool changed;
  };
  std::vector<KeycodeMapping> remapped = us();
  remapped[2].symbols = {0x1004e2d, 0x1004e2d};  // 中 on spare keycode 93
  std::vector<KeycodeMapping> padded = us();
  padded[0].symbols.push_back(0);  // a NoSymbol more at the end
  std::vector<KeycodeMapping> fewer = us();
  fewer.pop_back();  // keycode 250 left out: it had nothing
  std::vector<KeycodeMapping> lost = us();
  lost.erase(lost.begin());  // keycode 29 left out: it had y
  const Case cases[] = {
      {"the same keys (another device's description)", us(), false},
      {"the playback's own spare keycode", remapped, false},
      {"trailing NoSymbols", padded, false},
      {"a keycode missing that gave nothing", fewer, false},
      {"y and z swapped (us to de)", de(), true},
      {"a key that gave y gives nothing now", lost, true},
  };
  for (const Case& c : cases) {
    InterruptionWatch watch;
    watch.set_layout(us(), spare_keycodes());
    watch.keyboard_replaced();
    ASSERT_TRUE(watch.needs_mapping()) << c.what;
    watch.mapping_is(c.now);
    EXPECT_FALSE(watch.needs_mapping()) << c.what;
    EXPECT_EQ(watch.layout_changed(), c.changed) << c.what;
  }
}

TEST(InterruptionWatch, AChangeBeforeTheLayoutIsKnownIsLookedAtOnceItIs) {
  InterruptionWatch watch;
  watch.mapping_changed({{{250, 1}}});
  EXPECT_FALSE(watch.needs_mapping());
  watch.set_layout(us(), spare_keycodes());
  EXPECT_TRUE(watch.needs_mapping());
}

TEST(InterruptionWatch, AnotherGroupIsAChangeOfLayoutThatStays) {
  InterruptionWatch watch(1);
  watch.group_is(1);  // the same group again: nothing changed
  EXPECT_FALSE(watch.layout_changed());
  watch.group_is(0);
  EXPECT_TRUE(watch.layout_changed());
  // It stays, also once the group is back; and nothing more needs reading.
  watch.group_is(1);
  watch.keyboard_replaced();
  EXPECT_TRUE(watch.layout_changed());
  EXPECT_FALSE(watch.needs_mapping());
}

}  // namespace
}  // namespace tavrino
