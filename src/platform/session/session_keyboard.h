// SPDX-License-Identifier: MIT
// The keyboard of the Linux front-end: at each playback's begin() it looks at
// the session and picks the way of typing it offers (see backend_choice.h),
// then passes every call on to that keyboard.
//
// It also knows when tavrino's own window is active, which no Wayland
// keyboard can find out by itself: focus() then says so, and the playback
// refuses to start, or stops, rather than type into tavrino.
#pragma once

#include <functional>
#include <memory>
#include <span>
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
  SessionKeyboard(Ways ways, std::function<bool()> own_window_active);
  ~SessionKeyboard() override;

  // The Linux keyboards: XTEST, the virtual keyboard and the portal, and
  // the facts of the running session.
  static std::unique_ptr<SessionKeyboard> for_this_session(SessionKeyboardOptions options);

  // The way chosen at the last begin().
  Backend backend() const { return backend_; }

  // Picks the way and begins it. With XWayland only, fails unless an X11
  // program's window has the focus.
  Status begin() override;
  // Own while tavrino's window is active; otherwise what the chosen
  // keyboard says.
  Focus focus() override;
  HeldKeys held_keys() override;
  std::optional<Untypable> untypable(std::span<const KeyEvent> all_events) override;
  Status prepare(std::span<const KeyEvent> all_events) override;
  std::optional<StopReason> interruption() override;
  Sent send(std::span<const KeyEvent> events) override;
  // Ends the chosen keyboard. A second call does nothing, so a front-end may
  // call it on any way out (a signal handled in its event loop) whether or
  // not a playback ended it already.
  void end() override;

 private:
  bool own_window_active() const { return own_window_active_ && own_window_active_(); }

  Ways ways_;
  std::function<bool()> own_window_active_;
  Backend backend_ = Backend::none;
  Keyboard* active_ = nullptr;  // begun and not ended yet
};

}  // namespace tavrino
