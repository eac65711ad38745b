// SPDX-License-Identifier: MIT
// One key event as the low-level keyboard hook sees it, and what it tells:
// whether it is the user's Esc, and which modifiers the user holds. No
// Windows call is made here.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <span>

#include "playback/keyboard.h"

namespace tavrino {

// Records that SendInput put into the input stream carry this in the upper
// half of dwExtraInfo, and their number in the lower half, so that the
// keyboard hook tells them from anyone else's and knows which one it sees.
inline constexpr ULONG_PTR kOwnInputTag = 0x74617672;  // "tavr"

struct HookKey {
  WPARAM message = WM_KEYDOWN;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
  KBDLLHOOKSTRUCT key{};
  bool down() const { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }
};

// The modifier keys down in `key_state`, a table by virtual key as
// GetKeyboardState fills it (0x80 for down). It names left and right keys
// (VK_LSHIFT, VK_RMENU, ...). Windows presses left Ctrl along with AltGr,
// so right Alt with left Ctrl counts as AltGr alone.
HeldKeys held_modifiers(std::span<const BYTE, 256> key_state);

// Whether a low-level keyboard event is the user pressing Esc: a key going
// down, not one that a program put into the input stream (such as the
// playback's own {ESC}).
bool is_users_escape(WPARAM message, const KBDLLHOOKSTRUCT& key);

}  // namespace tavrino
