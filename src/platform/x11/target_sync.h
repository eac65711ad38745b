// SPDX-License-Identifier: MIT
// Knowing when the program typed into has handled every key sent to it so
// far. Such a program answers _NET_WM_PING: the window manager's question
// whether it is alive, which it answers once it has handled the events
// queued before it, key presses among them, in order. The keyboard asks it
// after every batch of keys and takes the answers as they come, without
// waiting for them.
//
// X clients look up a keycode's symbol when they handle the key press, so a
// borrowed keycode may change meaning only once its keys have been handled:
// an answer is the proof. A program that answers no ping (xterm) can give
// none.
#pragma once

#include <chrono>
#include <string>

#include "platform/x11/target_answers.h"

union _XEvent;
struct _XDisplay;

namespace tavrino {

// Sends _NET_WM_PING to the top-level `window` and waits up to `timeout` for
// its answer; true once it came. For tools that know the window to ask
// (the benchmarks); typing asks through TargetSync without waiting. Leaves
// this connection's event mask on the root window at nothing selected.
bool wm_ping(_XDisplay* display, unsigned long window, std::chrono::milliseconds timeout);

class TargetSync {
 public:
  TargetSync() = default;
  TargetSync(const TargetSync&) = delete;
  TargetSync& operator=(const TargetSync&) = delete;

  // Finds the program of the focus window `focus`: the top-level above it
  // that answers _NET_WM_PING, unless it is a window of this very process
  // (which cannot answer while it waits). Asks the server for the answers
  // and for the news that the window went away (on the root window and on
  // that window: this connection's own selections there are replaced).
  void find(_XDisplay* display, unsigned long focus);
  // Lets go of what find() asked for.
  void stop();

  // Whether the program answers pings; ask() does nothing otherwise.
  bool answers_pings() const { return window_ != 0; }
  // The top-level window typed into (answering or not; 0 if none found).
  unsigned long top_level() const { return top_level_; }
  // A short name for the program from its window's title ("LibreOffice
  // Calc" from "marks.ods - LibreOffice Calc"), empty if it has none.
  const std::u16string& name() const { return name_; }

  // Sends the next ping (see TargetAnswers::ask), unless the window is
  // gone or answers none.
  void ask();
  // Takes in `event` when it answers a ping or says that the window went
  // away (TargetAnswers::take); false for any other event.
  bool take(const _XEvent& event);
  // What the answers so far tell.
  const TargetAnswers& answers() const { return answers_; }
  TargetAnswers& answers() { return answers_; }

 private:
  _XDisplay* display_ = nullptr;
  unsigned long top_level_ = 0;
  unsigned long window_ = 0;  // the one that answers pings
  unsigned long root_ = 0;
  unsigned long protocols_ = 0;  // WM_PROTOCOLS
  unsigned long ping_ = 0;       // _NET_WM_PING
  TargetAnswers answers_;
  std::u16string name_;
};

}  // namespace tavrino
