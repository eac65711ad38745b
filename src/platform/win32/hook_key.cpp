// SPDX-License-Identifier: MIT
#include "platform/win32/hook_key.h"

namespace tavrino {

HeldKeys held_modifiers(std::span<const BYTE, 256> key_state) {
  const auto down = [&key_state](BYTE vk) { return (key_state[vk] & 0x80) != 0; };
  const bool altgr = down(VK_RMENU);
  const bool sided_ctrl = down(VK_LCONTROL) || down(VK_RCONTROL);
  const bool sided_alt = down(VK_LMENU) || down(VK_RMENU);
  HeldKeys keys;
  if (down(VK_SHIFT) || down(VK_LSHIFT) || down(VK_RSHIFT)) keys.push_back(HeldKey::shift);
  // The left Ctrl that Windows presses with AltGr is no Ctrl of the user's.
  if (down(VK_RCONTROL) || (down(VK_LCONTROL) && !altgr) ||
      (down(VK_CONTROL) && !sided_ctrl && !altgr)) {
    keys.push_back(HeldKey::ctrl);
  }
  if (down(VK_LMENU) || (down(VK_MENU) && !sided_alt)) keys.push_back(HeldKey::alt);
  if (altgr) keys.push_back(HeldKey::altgr);
  if (down(VK_LWIN) || down(VK_RWIN)) keys.push_back(HeldKey::super);
  return keys;
}

bool is_users_escape(WPARAM message, const KBDLLHOOKSTRUCT& key) {
  const bool going_down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  return going_down && key.vkCode == VK_ESCAPE && (key.flags & LLKHF_INJECTED) == 0;
}

}  // namespace tavrino
