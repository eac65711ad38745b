// SPDX-License-Identifier: MIT
// What happened on the keyboard while a playback typed, in the order the X
// server did it. The server reports every key and button event of every
// device (XInput 2 raw events), the playback's own among them, on one
// connection and in the order it handled them, together with the changes
// of layout and the grabs that move the keyboard elsewhere. Walking that
// stream tells exactly which of the playback's keys came after a key the
// user pressed or held, after a click, a new layout or another program's
// grab: those may not have arrived as sent. No X connection is needed here:
// the keyboard turns the X events into calls.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "playback/keyboard.h"

namespace tavrino {

// What a key of the user's is, as far as typing cares.
struct UserKey {
  enum class Kind : std::uint8_t {
    other,     // a key that types or does something: it reaches the target
    modifier,  // a modifier: it changes the keys pressed while it is held
    escape,    // Esc: the user asks to stop (the keyboard keeps it from the target)
  };
  Kind kind = Kind::other;
  HeldKey modifier = HeldKey::shift;  // for modifier
  std::u16string name;                // for other: how a message names it
};

class TypingWatch {
 public:
  using Classify = std::function<UserKey(unsigned keycode)>;

  TypingWatch() = default;
  explicit TypingWatch(Classify classify) : classify_(std::move(classify)) {}

  // A modifier key the user holds as watching begins.
  void user_holds(unsigned keycode);

  // The playback's own key action, as it is sent: a press or release of
  // `keycode` for the event numbered `event` (counted over the session).
  void sent(unsigned keycode, bool down, std::size_t event);
  // Events up to `total` have been handed over, including any that needed
  // no key action (a modifier already down).
  void sent_events(std::size_t total) { sent_events_ = total; }

  // What the server reports, in its order:
  // a key event of the XTEST device, which sends the playback's keys and
  // those of any other program that fakes keys: the playback's own when it
  // is the next one sent, else another's;
  void xtest_key(unsigned keycode, bool down);
  // a key event of any other device: the user's;
  void user_key(unsigned keycode, bool down);
  // a mouse button pressed (the wheel aside, which moves no cursor);
  void button(unsigned button);
  // another program grabbed the keyboard, or let go of it;
  void grab_began() { grabbed_ = true; }
  void grab_ended() { grabbed_ = false; }
  // the layout changed (another group, other symbols).
  void layout_changed();

  unsigned escapes() const { return escapes_; }
  HeldKeys held() const;
  bool grabbed() const { return grabbed_; }
  const std::optional<Disturbance>& disturbed() const { return disturbed_; }

 private:
  struct Sent {
    unsigned keycode;
    bool down;
    std::size_t event;
  };
  // Events before this one had all their key actions handled.
  std::size_t handled_events() const;
  void disturb(Disturbance::Kind kind, std::size_t after, std::u16string key = {});

  Classify classify_;
  std::deque<Sent> expected_;  // sent and not yet reported, in order
  std::size_t sent_events_ = 0;
  std::map<unsigned, HeldKey> held_;  // modifier keycodes the user holds
  unsigned escapes_ = 0;
  bool grabbed_ = false;
  std::optional<Disturbance> disturbed_;
};

}  // namespace tavrino
