// SPDX-License-Identifier: MIT
// Keystrokes on X11 through the XTEST extension, into whichever window has
// the keyboard focus.
//
// Every character arrives as written, whatever the layout: a character on a
// key of the current group is typed with the Shift and AltGr (level 3) that
// it needs there, with Caps Lock taken into account; characters on no key are
// put onto the keycodes that have no symbols, as many as those hold before
// the first keystroke and the rest batch by batch as typing reaches them
// (see plan_spare_batch in spare_keycodes.h). A keycode changes meaning only
// once the program typed into has handled every key sent on it: that program
// answers _NET_WM_PING after it has (target_sync.h), and until it has, the
// session asks the playback to wait. A program that answers no ping gets no
// second batch: typing that needs one into it is refused before the first
// key. The borrowed keycodes get their old (empty) mapping back when the
// session ends and the target has handled their keys, unless something else
// (a switch of layout) has remapped them since; until then they stay, and a
// record on the root window (borrowed_record.h) lets the next tavrino on the
// display give them back, also after this one was killed.
//
// While it types, the session holds the display's playback lock (one
// playback at a time on a display), keeps Caps Lock off, grabs the Escape
// key on the root window so that Esc pressed anywhere stops the playback and
// never reaches the target, and watches every key, click, change of layout
// and grab of the keyboard in the order the server handles them
// (typing_watch.h). Everything it changed goes back when the session ends,
// also when the program exits (an exit() with a session open ends it), and
// an X connection that closes takes its lock and grab along.
#pragma once

#include <functional>

#include "playback/keyboard.h"

namespace tavrino {

class XTestKeyboard final : public Keyboard {
 public:
  // `quit_requested` tells whether the program is asked to quit (a signal
  // arrived): waits inside the keyboard then end early.
  explicit XTestKeyboard(std::function<bool()> quit_requested = {});
  // Gives back what a session of this process left borrowed.
  ~XTestKeyboard() override;

  // Connects to the X display named by DISPLAY. Fails when there is no X
  // display ("Typing needs an X11 session ..."), or the server lacks XTEST
  // or XKB.
  Opened begin() override;

 private:
  std::function<bool()> quit_requested_;
};

}  // namespace tavrino
