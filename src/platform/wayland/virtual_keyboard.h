// SPDX-License-Identifier: MIT
// Keystrokes on Wayland through the virtual-keyboard protocol
// (zwp_virtual_keyboard_manager_v1), which wlroots compositors offer: sway,
// Hyprland, labwc, wayfire. The keyboard uploads a keymap of its own with a
// key for every character of the playback (see virtual_keymap.h), so every
// character arrives as written, whatever layout the user has, and no
// permission is asked. The compositor sends the keys to whichever window has
// the keyboard focus, native Wayland or X11 under XWayland alike.
//
// The keyboard's modifiers are its own: the compositor takes them from this
// keyboard while its keys go out, so a key the user holds on the real
// keyboard does not change what is typed. Wayland tells a client nothing
// about other programs' windows, so focus() is always unknown; the caller
// knows whether its own window is active.
#pragma once

#include "playback/keyboard.h"

namespace tavrino {

class VirtualKeyboard final : public Keyboard {
 public:
  // Connects to the compositor of WAYLAND_DISPLAY and makes a virtual
  // keyboard on its seat. Fails when there is none or the compositor does
  // not offer the protocol. The session:
  // - locks a file in the runtime folder named after the display;
  // - says the focus is unknown: the compositor does not say which window
  //   has it;
  // - sees nothing of the keyboard: the user's keys do not reach this
  //   keyboard's modifiers, nor does it see them;
  // - plans the keymaps in prepare() and uploads the first, then gives the
  //   compositor and the focused program a moment to take it: a key sent
  //   straight after a new keymap can be lost;
  // - sends events and has the compositor confirm them (a roundtrip); a
  //   character on a later keymap uploads that keymap first;
  // - answers ask_taken() once the program the keys went to has read them:
  //   the compositor passes the keys on to that program's connection, and a
  //   compositor writes faster than a busy program reads, and drops a
  //   program that has too much unread. Wayland does not say which program
  //   that is, so the session looks at every connection of the compositor
  //   (server_queues.h) and waits for each that got something while the
  //   keys went out to have read it all (read_answers.h). Where those
  //   cannot be looked at (not Linux, or a compositor whose open files are
  //   private), a question is answered at a pace, 2 ms an event;
  // - watches for such a program closing its connection, or being dropped:
  //   the window typed into is gone;
  // - when it ends, releases every key and modifier still down, destroys
  //   the virtual keyboard and disconnects.
  Opened begin() override;
};

}  // namespace tavrino
