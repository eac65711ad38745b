// SPDX-License-Identifier: MIT
#include "platform/win32/hook_key.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

namespace tavrino {
namespace {

std::array<BYTE, 256> keys_down(std::initializer_list<BYTE> down) {
  std::array<BYTE, 256> state{};
  for (BYTE vk : down) state[vk] = 0x80;
  return state;
}

TEST(HookKey, NamesTheModifiersHeld) {
  using enum HeldKey;
  const struct {
    std::initializer_list<BYTE> down;
    HeldKeys expected;
  } cases[] = {
      {{'A', VK_CAPITAL, VK_SPACE}, {}},  // not modifiers
      {{VK_LCONTROL, VK_LMENU}, {ctrl, alt}},
      {{VK_CONTROL, VK_MENU, VK_LCONTROL, VK_RMENU}, {altgr}},  // what AltGr presses
      {{VK_RCONTROL, VK_RMENU}, {ctrl, altgr}},
      {{VK_CONTROL, VK_MENU}, {ctrl, alt}},  // only the generic keys known
      {{VK_LSHIFT, VK_RSHIFT, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_RWIN},
       {shift, ctrl, alt, altgr, super}},
  };
  for (const auto& c : cases) {
    const std::array<BYTE, 256> state = keys_down(c.down);
    EXPECT_EQ(held_modifiers(state), c.expected) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace tavrino
