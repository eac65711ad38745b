// SPDX-License-Identifier: MIT
// The Open dialog (GetOpenFileNameW) and the topmost placement (SetWindowPos)
// behind the window's seams.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "window/controls.h"

namespace tavrino {

// A filter written as "description|pattern|..." in the form GetOpenFileNameW
// takes: each description and pattern followed by a NUL, and one more NUL at
// the end. A filter without a single pair gives just the two closing NULs.
std::wstring dialog_filter(std::u16string_view filter);

class Win32OpenDialog final : public OpenDialog {
 public:
  explicit Win32OpenDialog(HWND owner) : owner_(owner) {}
  // Cancel gives an empty name and success; a failure carries the dialog's
  // error code (CommDlgExtendedError).
  Status show_open(std::u16string_view filter, std::u16string& file_name) override;

 private:
  HWND owner_;
};

class Win32WindowPlacement final : public WindowPlacement {
 public:
  std::int32_t set_window_pos(WindowHandle window, std::intptr_t insert_after, int x, int y, int cx,
                              int cy, std::uint32_t flags) override;
};

}  // namespace tavrino
