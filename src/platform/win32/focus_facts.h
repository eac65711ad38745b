// SPDX-License-Identifier: MIT
// Whose window has the keyboard focus, from what Windows says about the
// foreground window and the desktop. No Windows call is made here: the
// desktop gathers the facts (win32_desktop.cpp) and this decides what they
// mean, with the one rule for this program's own windows (window_focus.h).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "playback/keyboard.h"

namespace tavrino {

// What Windows tells of the foreground window and the desktop, which
// classify_focus decides by.
struct FocusFacts {
  std::uintptr_t foreground = 0;  // the foreground window; 0 for none
  DWORD owner_process = 0;        // the process that owns it
  DWORD own_process = 0;          // this program's
  // Mandatory integrity levels (SECURITY_MANDATORY_MEDIUM_RID and the like)
  // of the two processes; nothing for one that could not be opened or asked.
  std::optional<DWORD> owner_level;
  std::optional<DWORD> own_level;
  // The names of the desktop that takes keyboard input now and of this
  // program's own; the input desktop has none when it cannot be opened, as
  // the lock screen and the secure desktop of a UAC prompt cannot.
  std::optional<std::wstring> input_desktop;
  std::wstring own_desktop;
};

// What has the focus. A window of this process (a message box of this
// program is one too) is `own`. Windows drops, silently, the keys sent to a
// process of a higher integrity level (one running as administrator), so
// such a window is `elevated`, and so is one whose process cannot even be
// opened. With no foreground window, the focus is `secure` when the input
// desktop is not this program's (the session is locked, or a UAC prompt or
// Ctrl+Alt+Del is up), and `none` otherwise.
Focus classify_focus(const FocusFacts& facts);

}  // namespace tavrino
