// SPDX-License-Identifier: MIT
// Key presses and releases through XTEST for one playback, and which keys
// they hold down.
//
// Doubled keys must not look like autorepeat. X toolkits (Qt, Xt,
// LibreOffice's own X11 backend) take a key release that is followed at once
// by a press of the same keycode with the same server time for the
// autorepeat of a held key, and some targets then drop one of the two
// presses: "Müller" arrives as "Müler", "100" as "10". XTEST stamps an event
// with the millisecond in which the server handles it, so a release and the
// next press sent together share one. So an event that the target takes and
// ignores goes between them, and the press no longer comes right after the
// release.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>

#include "platform/x11/error_trap.h"
#include "platform/x11/held_keys.h"
#include "platform/xkb/modifier_tracker.h"

struct _XDisplay;

namespace tavrino {

class XTestKeys {
 public:
  // `sent` is told every key event as it goes out.
  using Sent = std::function<void(unsigned keycode, bool down)>;

  XTestKeys() = default;
  XTestKeys(const XTestKeys&) = delete;
  XTestKeys& operator=(const XTestKeys&) = delete;

  // Sends on `display`, whose errors go to `errors`.
  void begin(_XDisplay* display, XErrors& errors, Sent sent);
  // The window that has the focus (0 for none): the event that keeps a
  // doubled key apart goes to it.
  void set_focus_window(unsigned long window) { focus_window_ = window; }

  void key(unsigned keycode, bool down);
  void send(const KeyActions& actions) {
    for (const KeyAction& action : actions) key(action.keycode, action.down);
  }
  // Releases every key still down.
  void release_all();

  // The keys the playback holds down.
  const KeycodeSet& down() const { return down_; }

 private:
  bool separate();

  _XDisplay* display_ = nullptr;
  XErrors* errors_ = nullptr;
  Sent sent_;
  unsigned long state_atom_ = 0;  // _NET_WM_STATE
  unsigned long focus_window_ = 0;
  KeycodeSet down_;
  std::optional<KeyAction> last_;  // the last key event sent
};

}  // namespace tavrino
