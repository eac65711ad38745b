// SPDX-License-Identifier: MIT
// Whose window has the keyboard focus: the one rule that tells this
// program's own windows from the others, whatever the platform. Each
// platform gathers its facts (the X server's _NET_WM_PID and transient-for
// chain, the process that owns the foreground window on Windows, the
// toolkit's own windows on Wayland) and the decision is made here.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "playback/keyboard.h"

namespace tavrino {

// One window on the way from the window that has the focus up to the main
// window it belongs to: a dialog first, then the window it is transient for,
// and so on.
struct FocusedWindow {
  std::uint64_t window = 0;  // the platform's id of the window
  bool ours = false;         // made by this program's process
};

// What has the focus, given `windows` from the focused window up: own when
// any of them is this program's (a dialog over one of its windows too, since
// keys would land in the program all the same); other otherwise. Either is
// named by the first window. Unknown when `windows` is empty: the platform
// could not say which window it is (it went away while it was looked at).
Focus focus_of(std::span<const FocusedWindow> windows);

// The focus as typing goes by it: own when `own_window_active` (the
// front-end's word, where the platform cannot see which window has the
// focus, as on Wayland) says one of this program's windows is active; what
// `platform` says otherwise, asked only then, since asking may wait for the
// keys already sent. A null `own_window_active` leaves it to the platform.
Focus focus_seen(const std::function<bool()>& own_window_active,
                 const std::function<Focus()>& platform);

}  // namespace tavrino
