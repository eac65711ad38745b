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
      {{}, {}},
      {{'A', VK_CAPITAL, VK_SPACE}, {}},  // not modifiers
      {{VK_LSHIFT}, {shift}},
      {{VK_RSHIFT}, {shift}},
      {{VK_SHIFT}, {shift}},
      {{VK_LCONTROL}, {ctrl}},
      {{VK_RCONTROL}, {ctrl}},
      {{VK_LMENU}, {alt}},
      {{VK_LCONTROL, VK_LMENU}, {ctrl, alt}},
      {{VK_RMENU}, {altgr}},
      {{VK_LCONTROL, VK_RMENU}, {altgr}},  // what AltGr presses
      {{VK_RCONTROL, VK_RMENU}, {ctrl, altgr}},
      {{VK_CONTROL, VK_MENU}, {ctrl, alt}},  // only the generic keys known
      {{VK_CONTROL, VK_MENU, VK_LCONTROL, VK_RMENU}, {altgr}},
      {{VK_LWIN}, {super}},
      {{VK_RWIN}, {super}},
      {{VK_LSHIFT, VK_RSHIFT, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LWIN},
       {shift, ctrl, alt, altgr, super}},
  };
  for (const auto& c : cases) {
    const std::array<BYTE, 256> state = keys_down(c.down);
    EXPECT_EQ(held_modifiers(state), c.expected) << "case " << (&c - cases);
  }
}

TEST(HookKey, TellsTheUsersEscFromOthers) {
  const struct {
    WPARAM message;
    DWORD vk;
    DWORD flags;
    bool users_escape;
  } cases[] = {
      {WM_KEYDOWN, VK_ESCAPE, 0, true},
      {WM_SYSKEYDOWN, VK_ESCAPE, LLKHF_ALTDOWN, true},  // Esc with Alt held
      {WM_KEYDOWN, VK_ESCAPE, LLKHF_EXTENDED, true},
      {WM_KEYUP, VK_ESCAPE, LLKHF_UP, false},
      {WM_SYSKEYUP, VK_ESCAPE, LLKHF_UP, false},
      {WM_KEYDOWN, VK_ESCAPE, LLKHF_INJECTED, false},  // the playback's own {ESC}
      {WM_KEYDOWN, VK_ESCAPE, LLKHF_INJECTED | LLKHF_LOWER_IL_INJECTED, false},
      {WM_KEYDOWN, VK_TAB, 0, false},
      {WM_KEYDOWN, VK_CANCEL, 0, false},
  };
  for (const auto& c : cases) {
    KBDLLHOOKSTRUCT key{};
    key.vkCode = c.vk;
    key.flags = c.flags;
    EXPECT_EQ(is_users_escape(c.message, key), c.users_escape) << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace tavrino
