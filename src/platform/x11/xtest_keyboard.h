// SPDX-License-Identifier: MIT
// Keystrokes on X11 through the XTEST extension, into whichever window has
// the keyboard focus.
//
// Every character arrives as written, whatever the layout: a character on a
// key of the current group is typed with the Shift and AltGr (level 3) that
// it needs there, with Caps Lock taken into account; characters on no key are
// put onto keycodes that have no symbols, as many as those hold before the
// first keystroke and the rest batch by batch as typing reaches them (see
// plan_spare_batch in keysyms.h), and those keycodes get their old (empty)
// mapping back when the playback ends, whether it finished or failed, unless
// something else (a switch of layout) has remapped them since: they then stay
// as that made them. Every change of mapping costs a wait (below), so a
// keycode carries two characters where Shift need not tell them apart. A
// keycode is never given a new meaning while the target may still have to
// read a keystroke sent with the old one: before that, the keyboard waits
// until the focused program has answered a _NET_WM_PING sent after the
// keystrokes (programs take their events in order), or, for a program that
// does not answer pings, a fixed settling time.
//
// While it types, the keyboard holds the display's playback lock (one
// playback at a time on a display), keeps Caps Lock off, grabs the Escape
// key on the root window so that Esc pressed anywhere stops the playback,
// and watches for a change of layout. Everything it changed goes back in
// end(), also when the program exits (an exit() with a playback open ends
// it), and an X connection that closes takes its lock and grab along.
#pragma once

#include <functional>
#include <memory>
#include <span>

#include "playback/keyboard.h"

namespace tavrino {

class XTestKeyboard final : public Keyboard {
 public:
  // `quit_requested` tells whether the program is asked to quit (a signal
  // arrived): waits inside the keyboard then end early.
  explicit XTestKeyboard(std::function<bool()> quit_requested = {});
  ~XTestKeyboard() override;  // ends a playback that is still open

  // Connects to the X display named by DISPLAY and takes its playback lock.
  // Fails when there is no X display ("Typing needs an X11 session ..."),
  // the server lacks XTEST or XKB, or another tavrino is typing on it.
  Status begin() override;
  // The top-level window that has the focus: own for the windows of this
  // process (by _NET_WM_PID, and the dialogs transient for them), none for
  // no window or the root. The fields inside one window share its answer.
  Focus focus() override;
  // Shift, Ctrl, Alt, AltGr and Super keys down on the server that the
  // playback did not press; locks do not count.
  HeldKeys held_keys() override;
  // Esc pressed anywhere, a change of group or keymap that is not the
  // playback's own remapping, or a quit request, since prepare().
  std::optional<StopReason> interruption() override;

  // Prepares the playback: reads the layout, switches Caps Lock off (end()
  // switches it on again), starts to watch for Esc and changes of layout.
  // Fails, sending nothing and leaving the mapping as it was, when an event
  // holds a character that no key can type (a control character other than
  // tab, line feed, carriage return, backspace, escape and delete), or when
  // characters are missing from the layout and no keycode is free for them.
  Status prepare(std::span<const KeyEvent> all_events) override;

  // Types the events. Fails when prepare() did not succeed, when the X server
  // refuses a request or the connection is lost, or when a wait for the
  // target before remapping keycodes is cut short by Esc, a change of layout
  // or a quit request (the message is then stop_reason_text's); `delivered`
  // then counts the events the server took before the failure. A press of
  // the keycode just released comes after an event that the target ignores
  // (see autorepeat.h), so that no target takes a doubled key for
  // autorepeat. Modifiers that the events
  // press stay down until their release event or end(); the Shift and AltGr
  // presses that characters need are always released before returning.
  Sent send(std::span<const KeyEvent> events) override;

  // Releases every key still down, waits until the focused program has taken
  // the keystrokes when keycodes were remapped (a quit request or a new Esc
  // cut that short), restores the mapping of those that still hold what the
  // playback set and Caps Lock, lets go of Esc and the lock, and
  // disconnects. Never fails; does nothing without a begin().
  void end() override;

 private:
  class Session;
  std::function<bool()> quit_requested_;
  std::unique_ptr<Session> session_;
};

}  // namespace tavrino
