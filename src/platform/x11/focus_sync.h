// SPDX-License-Identifier: MIT
// Knowing when an X program has handled everything sent to it so far: the
// program that has the keyboard focus, before a keycode it may still have to
// look up is given a new meaning. The X types are spelled out rather than
// taken from Xlib, whose macros (Status, None, Bool) would clash with names
// of ours in the includer.
#pragma once

#include <chrono>
#include <functional>

struct _XDisplay;

namespace tavrino {

// How long the focused program gets to answer a ping. One that is busy for
// longer is taken to have missed the keystrokes.
inline constexpr std::chrono::milliseconds kPingTimeout{3000};

// How long a focused program that does not answer _NET_WM_PING (xterm) is
// given to read the keystrokes sent so far. Such a program looks a keycode
// up when it reads the keystroke, and fetches a changed mapping only then;
// a keystroke still unread when the mapping changes again would come out as
// the new symbol, or as none.
inline constexpr std::chrono::milliseconds kSettle{250};
// How long a program that must quit still waits for the target to read the
// keys typed on remapped keycodes before it restores their mapping.
inline constexpr std::chrono::milliseconds kQuitWait{1000};

// Sends _NET_WM_PING to the top-level `window` and waits up to `timeout` for
// the answer, which the program sends back through `root`. A program handles
// its events in order, so the answer means it has handled every event queued
// for it before the ping (key presses, a map). False without an answer in
// time, or as soon as `give_up` returns true, which is asked at least every
// 20 ms. Takes only answers to pings from the event queue; other events stay
// for whoever watches them. Leaves this connection's event mask on `root` at
// nothing selected.
bool wm_ping(_XDisplay* display, unsigned long window, unsigned long root,
             std::chrono::milliseconds timeout, const std::function<bool()>& give_up = {});

// Returns once the program with the keyboard focus has taken everything sent
// on `display` so far, as far as that can be known from outside it. The
// program is the one owning the top-level window above the focus (or above
// `window`, when it is not 0: the window typing went to, which may have lost
// the focus since) that answers _NET_WM_PING; a window of this very process cannot answer while we
// wait, so it counts as not answering. True when the program answered a ping,
// or answers none and was given kSettle (counted from the call); false when
// it answers pings but did not answer within kPingTimeout, or `give_up`
// returned true first (it is asked during either wait). The server may
// report errors about the focused window (it may go away meanwhile); they
// are no failure of anything sent before, and the caller should disregard
// them.
bool wait_for_focused_program(_XDisplay* display, unsigned long window,
                              const std::function<bool()>& give_up);

}  // namespace tavrino
