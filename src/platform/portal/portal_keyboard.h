// SPDX-License-Identifier: MIT
// Keystrokes on GNOME and KDE's Wayland sessions through the desktop's
// remote-desktop portal (see remote_desktop.h). The desktop asks the user in
// a dialog of its own whether tavrino may control the keyboard: on every
// playback with a portal of version 1 (Debian 12's), once with version 2 and
// later, which hand out a token that lets the next session start unasked.
//
// The portal types keysyms: the compositor finds each one a key in the
// layout in use and presses Shift or AltGr for it, and silently drops a
// keysym the layout lacks. So every character is checked against the
// compositor's keymap (read through Wayland, as every client gets it) before
// the dialog is shown, and a playback with one it cannot type is refused.
//
// The session closes when the playback ends. When the desktop closes it
// earlier (the user revoked the permission), typing stops. Wayland tells no
// client which other window has the focus, nor which keys the user holds:
// focus() is unknown and held_keys() empty; the caller knows whether its own
// window is active.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "playback/keyboard.h"

namespace tavrino {

struct PortalKeyboardOptions {
  // Shows a line in the window, empty to take it away: told before the
  // desktop's dialog appears, so that the user knows why it asks.
  std::function<void(std::u16string_view)> show_status;
  // Reads the compositor's keymap in XKB's text format (through Wayland,
  // as every client gets it: read_compositor_keymap). Without it no layout
  // is known, and the keyboard does not begin.
  std::function<Status(std::string&)> read_keymap;
  // Where the restore token is kept; by default restore_token_path().
  std::filesystem::path token_file;
  // How long the user has to answer the dialog.
  std::chrono::milliseconds answer_wait{std::chrono::minutes(2)};
};

class PortalKeyboard final : public Keyboard {
 public:
  explicit PortalKeyboard(PortalKeyboardOptions options = {});

  // Checks that the portal offers a keyboard and reads the compositor's
  // keymap; asks the user nothing yet. The session:
  // - locks a file in the runtime folder named after the display;
  // - says the focus is unknown, and sees nothing of the keyboard;
  // - names the first event whose keysym the compositor's layouts cannot
  //   all type;
  // - in prepare(), opens the portal's session: the desktop's dialog, unless
  //   a stored token spares it; a cancelled or refused dialog types nothing
  //   and says so. Then a tap of Shift, since a session's first key can be
  //   lost;
  // - sends each key as a call the desktop answers, so what it confirmed
  //   is what ask_taken() counts; fails once the desktop has closed the
  //   session;
  // - when it ends, releases the modifiers still down and closes the
  //   session.
  Opened begin() override;

 private:
  PortalKeyboardOptions options_;
};

}  // namespace tavrino
