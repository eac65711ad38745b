// SPDX-License-Identifier: MIT
// Everything a playback watches on its X connection, read in the order the
// server sent it: every key and click (input_tap.h, judged by
// typing_watch.h), Esc through a grab of the key and changes of layout
// (interruption_events.h), another program's grab of the keyboard (the focus
// window's FocusOut and FocusIn with the modes of a grab), and the target's
// answers to pings (target_sync.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

#include "platform/x11/error_trap.h"
#include "platform/x11/input_tap.h"
#include "platform/x11/interruption_events.h"
#include "platform/x11/target_sync.h"
#include "platform/x11/typing_watch.h"
#include "playback/keyboard.h"

struct _XDisplay;

namespace tavrino {

class SessionWatch {
 public:
  SessionWatch() = default;
  SessionWatch(const SessionWatch&) = delete;
  SessionWatch& operator=(const SessionWatch&) = delete;

  // Starts watching for changes of layout on `display`, whose errors go to
  // `errors`, before the layout is read (`group` is the active one).
  void begin(_XDisplay* display, XErrors& errors, int xkb_event_base, unsigned group);
  // The spare keycodes, whose remapping is the playback's own, once the
  // layout has been read.
  void set_layout(const KeycodeSet& spare) { interruptions_.set_layout(spare); }
  // Finds the program typed into: the one with the focus now.
  void find_target();
  // Watches the rest: grabs Esc (`escape_keycodes`), asks for the raw
  // events, notes the modifiers the user holds and whether another program
  // holds the keyboard. A key of the user's is told by its symbol in
  // `group`, the active one.
  void start(std::vector<unsigned> escape_keycodes, unsigned group);
  // Lets go of everything it asked for.
  void stop();

  // Takes every event that has arrived; waits up to `most` for something
  // new first when nothing is there.
  void read();
  void wait(std::chrono::milliseconds most);

  // What has been seen; `lost` when the connection is gone.
  KeyboardWatch watch(bool lost) const;
  // Esc is down on the keyboard now (asked of the server: while the grab
  // it activated is this connection's, its raw events do not come here).
  bool escape_down() const;
  // Esc was pressed since start().
  bool escape_pressed() const;
  // When Esc was pressed, waits (a few seconds at most, and not once
  // `quit_requested` says so) until the user has let go of it: while it is
  // held, its autorepeat would go to the target the moment the grab goes.
  void wait_for_escape_up(const std::function<bool()>& quit_requested);

  TypingWatch& typing() { return typing_; }
  TargetSync& target() { return target_; }
  const TargetSync& target() const { return target_; }
  InterruptionEvents& interruptions() { return interruptions_; }

 private:
  _XDisplay* display_ = nullptr;
  XErrors* errors_ = nullptr;
  InterruptionEvents interruptions_;
  InputTap tap_;
  TypingWatch typing_;
  TargetSync target_;
  std::vector<unsigned> escape_keycodes_;
  unsigned long focus_selected_ = 0;  // the window whose focus changes are watched
};

}  // namespace tavrino
