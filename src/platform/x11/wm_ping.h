// SPDX-License-Identifier: MIT
// Asking an X program whether it has handled everything sent to it so far.
// The X types are spelled out rather than taken from Xlib, whose macros
// (Status, None, Bool) would clash with names of ours in the includer.
#pragma once

#include <chrono>
#include <functional>

struct _XDisplay;

namespace tavrino {

// Sends _NET_WM_PING to the top-level `window` and waits up to `timeout` for
// the answer, which the program sends back through `root`. A program handles
// its events in order, so the answer means it has handled every event queued
// for it before the ping (key presses, a map). False without an answer in
// time, or as soon as `give_up` returns true. Leaves this connection's event
// mask on `root` at nothing selected.
bool wm_ping(_XDisplay* display, unsigned long window, unsigned long root,
             std::chrono::milliseconds timeout, const std::function<bool()>& give_up = {});

}  // namespace tavrino
