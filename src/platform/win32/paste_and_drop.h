// SPDX-License-Identifier: MIT
// What the main window takes from other programs: text from the clipboard
// when the paste keys are pressed, and files dropped onto it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it builds on: HDROP.
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrino {

// Whether a key press is one of the paste keys of an edit control: Ctrl+V or
// Shift+Insert, without Alt (AltGr is Ctrl+Alt, and AltGr+V types a
// character on some layouts).
bool is_paste_key(WPARAM key, bool ctrl, bool shift, bool alt);

// The text on the clipboard (CF_UNICODETEXT), up to its first NUL; nothing
// when it holds no text or another program keeps it open.
std::optional<std::u16string> clipboard_text(HWND owner);

// The files of a WM_DROPFILES, in order. The caller still owns `drop`.
std::vector<std::u16string> dropped_files(HDROP drop);

}  // namespace tavrino
