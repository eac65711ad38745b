// SPDX-License-Identifier: MIT
// Topmost placement for Qt windows: the stays-on-top hint, which on X11 asks
// the window manager for the "above" state.
#pragma once

#include <cstdint>

#include "window/controls.h"

namespace tavrino {

class QtWindowPlacement final : public WindowPlacement {
 public:
  // Supports the z-order part only: insert_after kHwndTopmost, with flags
  // holding both kSwpNosize and kSwpNomove (x, y, cx and cy are then
  // ignored). Returns 1 on success; 0 for a handle that is not a top-level Qt
  // window of this program, another insert_after, or flags that ask for a
  // move or resize.
  std::int32_t set_window_pos(WindowHandle window, std::intptr_t insert_after, int x, int y, int cx,
                              int cy, std::uint32_t flags) override;
};

}  // namespace tavrino
