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
#pragma once

#include <memory>
#include <span>

#include "playback/keyboard.h"

namespace tavrino {

class XTestKeyboard final : public Keyboard {
 public:
  XTestKeyboard();
  ~XTestKeyboard() override;  // ends a playback that is still open

  // Connects to the X display named by DISPLAY. Fails when there is no X
  // display ("Typing needs an X11 session ...") or the server lacks XTEST or
  // XKB.
  Status begin() override;
  // Not told yet: unknown, no keys held, no interruption.
  Focus focus() override;
  HeldKeys held_keys() override;
  std::optional<StopReason> interruption() override;

  // Prepares the playback. Fails, sending nothing and leaving the mapping as
  // it was, when an event holds a character that no key can type (a control
  // character other than tab, line feed, carriage return, backspace, escape
  // and delete), or when characters are missing from the layout and no
  // keycode is free for them.
  Status prepare(std::span<const KeyEvent> all_events) override;

  // Types the events. Fails when prepare() did not succeed, when the X server
  // refuses a request or the connection is lost; `delivered` then counts the
  // events the server took before the failure. Modifiers that the events
  // press stay down until their release event or end(); the Shift and AltGr
  // presses that characters need are always released before returning.
  Sent send(std::span<const KeyEvent> events) override;

  // Releases every key still down, waits until the focused program has taken
  // the keystrokes when keycodes were remapped, restores the mapping of those
  // that still hold what the playback set, and disconnects. Never fails;
  // does nothing without a begin().
  void end() override;

 private:
  class Session;
  std::unique_ptr<Session> session_;
};

}  // namespace tavrino
