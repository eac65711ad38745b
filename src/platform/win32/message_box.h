// SPDX-License-Identifier: MIT
// Messages to the user, over the main window.
//
// While the user works in another program, a message must not take the
// keyboard focus from it: the keys meant for that program would land in the
// box, and an Enter would close it unread. Such a message goes into a box of
// tavrino's own that Windows shows without activating it, with a beep and
// the main window flashing in the taskbar, centred on the main window and
// inside the work area of its monitor, also when that window hangs over the
// edge of the screen. Otherwise it goes into a standard modal message box,
// which Windows keeps on the screen itself.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string_view>

namespace tavrino {

// `window` moved as little as needed to lie inside `area`. A window larger
// than `area` keeps its top left corner inside, so that its title bar can be
// reached.
RECT moved_into(const RECT& window, const RECT& area);

// Where a box of `size` goes: centred on `owner`, then moved into `work`.
RECT message_box_rect(SIZE size, const RECT& owner, const RECT& work);

// The work area of the monitor that `rect` lies on most.
RECT work_area_of(const RECT& rect);

// Shows `text` under `caption` over `owner`: in the box that takes no focus
// while another program's window is the foreground window, and returns at
// once; otherwise in a modal message box, and returns once it is closed.
void show_message_box(HWND owner, std::wstring_view text, std::wstring_view caption);

// Opens the box that takes no focus and returns it (a dialog window, class
// #32770); it closes itself when its button is pressed. Null if Windows
// refused it.
HWND show_quiet_message(HWND owner, std::wstring_view text, std::wstring_view caption);

}  // namespace tavrino
