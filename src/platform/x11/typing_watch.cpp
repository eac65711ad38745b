// SPDX-License-Identifier: MIT
#include "platform/x11/typing_watch.h"

#include <algorithm>

namespace tavrino {

void TypingWatch::user_holds(unsigned keycode) {
  const UserKey key = classify_ ? classify_(keycode) : UserKey{};
  if (key.kind == UserKey::Kind::modifier) held_[keycode] = key.modifier;
}

void TypingWatch::sent(unsigned keycode, bool down, std::size_t event) {
  expected_.push_back({keycode, down, event});
}

std::size_t TypingWatch::handled_events() const {
  return expected_.empty() ? sent_events_ : expected_.front().event;
}

void TypingWatch::disturb(Disturbance::Kind kind, std::size_t after, std::u16string key) {
  if (!disturbed_) disturbed_ = Disturbance{kind, after, std::move(key)};
}

void TypingWatch::xtest_key(unsigned keycode, bool down) {
  // The next of the playback's own, or one a little later: a server may
  // drop an event of a key it holds down already, and the report of a
  // single lost one must not make every later key of the playback look
  // like another program's.
  constexpr std::size_t kLookAhead = 4;
  std::size_t at = 0;
  while (at < expected_.size() && at < kLookAhead &&
         (expected_[at].keycode != keycode || expected_[at].down != down)) {
    ++at;
  }
  if (at == expected_.size() || at == kLookAhead) return user_key(keycode, down);
  const Sent own = expected_[at];
  expected_.erase(expected_.begin(), expected_.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  if (!own.down) return;
  // A press that the server handled while the user held a modifier, or
  // while another program had the keyboard, did not reach the target as
  // sent.
  if (grabbed_) return disturb(Disturbance::Kind::grab, own.event);
  if (!held_.empty()) disturb(Disturbance::Kind::key, own.event, held_keys_text(held()));
}

void TypingWatch::user_key(unsigned keycode, bool down) {
  const UserKey key = classify_ ? classify_(keycode) : UserKey{};
  switch (key.kind) {
    case UserKey::Kind::escape:
      if (down) ++escapes_;
      return;
    case UserKey::Kind::modifier:
      if (down) {
        held_[keycode] = key.modifier;
      } else {
        held_.erase(keycode);
      }
      return;
    case UserKey::Kind::other:
      if (down) disturb(Disturbance::Kind::key, handled_events(), key.name);
      return;
  }
}

void TypingWatch::button(unsigned button) {
  // Buttons 4 to 7 are the wheel's: they scroll and move no cursor.
  if (button >= 4 && button <= 7) return;
  disturb(Disturbance::Kind::click, handled_events());
}

void TypingWatch::layout_changed() {
  disturb(Disturbance::Kind::layout, handled_events());
}

HeldKeys TypingWatch::held() const {
  HeldKeys keys;
  for (const auto& [keycode, key] : held_) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

}  // namespace tavrino
