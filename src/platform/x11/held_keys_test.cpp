// SPDX-License-Identifier: MIT
#include "platform/x11/held_keys.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace tavrino {
namespace {

// The modifier map of a pc105 keyboard with the us layout, plus AltGr (ISO
// Level3 Shift) on the right Alt key, as the de layout has it, a second
// Shift key, and the Mode_switch and Shift Lock some older layouts bind.
const std::vector<BoundKey> kBound = {
    {50, 0xffe1},   // Shift_L
    {62, 0xffe2},   // Shift_R
    {66, 0xffe5},   // Caps_Lock
    {37, 0xffe3},   // Control_L
    {105, 0xffe4},  // Control_R
    {64, 0xffe9},   // Alt_L
    {204, 0xffe7},  // Meta_L
    {77, 0xff7f},   // Num_Lock
    {133, 0xffeb},  // Super_L
    {207, 0xffed},  // Hyper_L
    {108, 0xfe03},  // ISO_Level3_Shift
    {92, 0xfe11},   // ISO_Level5_Shift
    {203, 0xff7e},  // Mode_switch
    {94, 0xffe6},   // Shift_Lock
};

KeycodeSet keys(std::initializer_list<unsigned> keycodes) {
  KeycodeSet set;
  for (const unsigned keycode : keycodes) set.set(keycode);
  return set;
}

std::string text_of(const HeldKeys& held) {
  std::string text;
  for (const HeldKey key : held) {
    static const char* const kNames[] = {"shift", "ctrl", "alt", "altgr", "super"};
    text += (text.empty() ? "" : " ") + std::string(kNames[static_cast<int>(key)]);
  }
  return text;
}

TEST(HeldKeys, OnlyModifierKeysThatTheUserHoldsCount) {
  struct Case {
    const char* what;
    KeycodeSet down;
    KeycodeSet ours;
    const char* held;
  };
  const Case cases[] = {
      {"nothing down", {}, {}, ""},
      {"a letter is no modifier", keys({38, 24}), {}, ""},
      {"left Shift", keys({50}), {}, "shift"},
      {"both Shift keys are one Shift", keys({50, 62}), {}, "shift"},
      {"the locks are states, not keys held", keys({66, 77, 94}), {}, ""},
      {"each kind once, in a fixed order",
       keys({133, 64, 105, 50, 108}),
       {},
       "shift ctrl alt altgr super"},
      {"Meta is Alt, Hyper is Super, Level5 is AltGr", keys({204, 207, 92}), {}, "alt altgr super"},
      {"Mode_switch is AltGr", keys({203}), {}, "altgr"},
      {"the playback's own Shift is not the user's", keys({50, 37}), keys({50}), "ctrl"},
      {"the user's other Shift still counts", keys({50, 62}), keys({50}), "shift"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text_of(held_keys_of(c.down, kBound, c.ours)), c.held) << c.what;
  }
}

}  // namespace
}  // namespace tavrino
