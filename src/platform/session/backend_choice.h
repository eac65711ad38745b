// SPDX-License-Identifier: MIT
// Which way of typing a Linux session offers, decided from what the session
// and its compositor say. No connection is made here.
//
//   an X11 session             XTEST
//   Wayland, the compositor offers the virtual-keyboard protocol
//                              (sway, Hyprland, labwc, wayfire)   the virtual keyboard
//   Wayland, the desktop's remote-desktop portal offers a keyboard
//                              (GNOME, KDE)                        the portal
//   Wayland with XWayland only XTEST, and only into an X11 program's window
//   Wayland with none of them  nothing, and a sentence naming what is missing
#pragma once

#include <cstdint>
#include <string>

namespace tavrino {

enum class Backend : std::uint8_t { xtest, virtual_keyboard, portal, xwayland, none };

// What a session offers, as far as the chooser needs to know.
struct SessionFacts {
  bool wayland = false;           // a Wayland compositor answered
  bool x_display = false;         // DISPLAY names an X server (XWayland, on Wayland)
  bool virtual_keyboard = false;  // the compositor offers zwp_virtual_keyboard_manager_v1
  bool portal_keyboard = false;   // the remote-desktop portal offers a keyboard
};

struct BackendChoice {
  Backend backend = Backend::none;
  // For none: why typing cannot work here.
  std::u16string refusal;
};

BackendChoice choose_backend(const SessionFacts& facts);

// Whether the session is meant to be Wayland, from WAYLAND_DISPLAY and
// XDG_SESSION_TYPE (null when unset): a compositor is then looked for.
bool wayland_session(const char* wayland_display, const char* session_type);

// Why nothing is typed when only XWayland is there and the window with the
// focus is not an X11 program's.
std::u16string xwayland_only_refusal();

}  // namespace tavrino
