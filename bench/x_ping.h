// SPDX-License-Identifier: MIT
// Asking an X program whether it has handled everything sent to it so far.
#pragma once

#include <chrono>

#include <X11/Xlib.h>

namespace tavrino {

// Sends _NET_WM_PING to the top-level `window` and waits up to `timeout` for
// its answer, which comes back through the root window. A program handles
// its events in order, so the answer means that every event queued for it
// before the ping (key presses, a map) has been handled. False without an
// answer in time. Leaves the root window's event mask of this connection at
// nothing selected.
bool ping(Display* display, Window window, std::chrono::milliseconds timeout);

}  // namespace tavrino
