// SPDX-License-Identifier: MIT
// The keyboard of the Linux front-end: at each playback's begin() it looks at
// the session and picks the way of typing it offers (see backend_choice.h);
// the playback's session is that keyboard's.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/session/backend_choice.h"
#include "playback/keyboard.h"

namespace tavrino {

struct SessionKeyboardOptions {
  // Whether a window of tavrino's own has the keyboard focus now.
  std::function<bool()> own_window_active;
  // Shows a short line in the window ("" takes it away): the portal tells
  // there why the desktop is about to ask for permission.
  std::function<void(std::u16string_view)> show_status;
  // Whether the program has been asked to quit: waits inside a keyboard end
  // early then.
  std::function<bool()> quit_requested;
};

class SessionKeyboard final : public Keyboard {
 public:
  // The keyboards for each way, and what tells the session's facts (asked
  // at every begin()).
  struct Ways {
    std::unique_ptr<Keyboard> xtest;
    std::unique_ptr<Keyboard> virtual_keyboard;
    std::unique_ptr<Keyboard> portal;
    std::function<SessionFacts()> facts;
  };
  // `own_window_active`: whether a window of tavrino's has the focus, which
  // XWayland's focus does not show.
  SessionKeyboard(Ways ways, std::function<bool()> own_window_active);

  // The Linux keyboards: XTEST, the virtual keyboard and the portal, and
  // the facts of the running session.
  static std::unique_ptr<SessionKeyboard> for_this_session(SessionKeyboardOptions options);

  // The way chosen at the last begin().
  Backend backend() const { return backend_; }

  // Picks the way and begins it. With XWayland only, fails unless an X11
  // program's window (or tavrino's own, which the playback then refuses)
  // has the focus.
  Opened begin() override;

 private:
  Ways ways_;
  std::function<bool()> own_window_active_;
  Backend backend_ = Backend::none;
};

}  // namespace tavrino
