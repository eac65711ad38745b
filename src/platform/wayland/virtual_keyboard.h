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

#include <memory>
#include <span>

#include "playback/keyboard.h"

namespace tavrino {

class VirtualKeyboard final : public Keyboard {
 public:
  VirtualKeyboard();
  ~VirtualKeyboard() override;  // ends a playback that is still open

  // Connects to the compositor of WAYLAND_DISPLAY and makes a virtual
  // keyboard on its seat. Fails when there is none or the compositor does
  // not offer the protocol.
  Status begin() override;
  // Unknown: the compositor does not say which window has the focus.
  Focus focus() override;
  // None: the user's keys do not reach this keyboard's modifiers.
  HeldKeys held_keys() override;
  // A control character that no key types (other than tab, line feed,
  // carriage return, backspace, escape and delete).
  std::optional<Untypable> untypable(std::span<const KeyEvent> all_events) override;
  // Plans the keymaps and uploads the first, then gives the compositor and
  // the focused program a moment to take it: a key sent straight after a
  // new keymap can be lost.
  Status prepare(std::span<const KeyEvent> all_events) override;
  std::optional<StopReason> interruption() override;
  // Sends the events and waits until the compositor has handled them. A
  // character on a later keymap uploads that keymap first. Fails when the
  // connection is lost; nothing sent after the last confirmed send then
  // counts as delivered.
  Sent send(std::span<const KeyEvent> events) override;
  // Releases every key and modifier still down, destroys the virtual
  // keyboard and disconnects. Never fails; a second call does nothing, so a
  // front-end may call it on any way out (a signal handled in the event
  // loop, a window closing) without knowing whether a playback ended it.
  void end() override;

 private:
  class Session;
  std::unique_ptr<Session> session_;
};

}  // namespace tavrino
