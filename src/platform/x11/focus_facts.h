// SPDX-License-Identifier: MIT
// Whose window has the keyboard focus, from what the X server says about it.
// No X connection is needed here: the keyboard gathers the facts (see
// focused_window.h) and this decides what they mean.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "playback/keyboard.h"

namespace tavrino {

// What a window says about the program that made it.
struct WindowFacts {
  std::uint64_t window = 0;
  std::optional<std::int64_t> pid;     // _NET_WM_PID
  std::optional<std::string> machine;  // WM_CLIENT_MACHINE
};

struct FocusFacts {
  // Where XGetInputFocus says the focus is.
  enum class Input : std::uint8_t {
    none,          // no window
    pointer_root,  // whichever window the pointer is over
    root,          // the root window: no window of a program
    window,        // a window of some program
  };
  Input input = Input::none;
  // For a window: its top-level window (the client window a window manager
  // manages, else the child of the root it is in), then the windows that one
  // is transient for, in turn (a dialog, then its main window). Empty when
  // the server did not say (the window went away meanwhile).
  std::vector<WindowFacts> top_levels;
};

// What `facts` mean for a program with process id `own_pid` on host
// `own_host`: none without a program's window; own when the top-level, or a
// window it is transient for, was made by this process (its _NET_WM_PID, on
// this host when the window names one); other, named by the top-level,
// otherwise; unknown when the top-level is not known.
Focus classify_focus(const FocusFacts& facts, std::int64_t own_pid, std::string_view own_host);

}  // namespace tavrino
