// SPDX-License-Identifier: MIT
#include "playback/fake_keyboard.h"

#include <algorithm>
#include <utility>

namespace tavrino {

void RecordingKeyboard::fail_at(std::size_t index, std::u16string reason) {
  fail_index_ = index;
  fail_reason_ = std::move(reason);
}

void RecordingKeyboard::focus_after(std::size_t delivered, Focus focus) {
  focus_changes_.push_back({delivered, focus});
}

void RecordingKeyboard::interrupt_after(std::size_t delivered, StopReason reason) {
  interruption_ = {delivered, reason};
}

Status RecordingKeyboard::begin() {
  ++begin_calls_;
  if (begin_failure_) return Status::failure(*begin_failure_);
  open_ = true;
  return Status::success();
}

Focus RecordingKeyboard::focus() {
  Focus focus = kTarget;
  for (const FocusChange& change : focus_changes_) {
    if (delivered_.size() >= change.delivered) focus = change.focus;
  }
  return focus;
}

HeldKeys RecordingKeyboard::held_keys() {
  const auto call = static_cast<std::size_t>(held_calls_++);
  return call < held_answers_.size() ? held_answers_[call] : HeldKeys{};
}

std::optional<Keyboard::Untypable> RecordingKeyboard::untypable(
    std::span<const KeyEvent> all_events) {
  for (std::size_t i = 0; i < all_events.size(); ++i) {
    if (cannot_type_ && all_events[i] == KeyEvent::of_character(*cannot_type_)) {
      return Untypable{i, u"the test's layout has no key for it."};
    }
  }
  return std::nullopt;
}

Status RecordingKeyboard::prepare(std::span<const KeyEvent>) {
  ++prepare_calls_;
  if (prepare_failure_) return Status::failure(*prepare_failure_);
  return Status::success();
}

std::optional<StopReason> RecordingKeyboard::interruption() {
  if (interruption_ && delivered_.size() >= interruption_->first) return interruption_->second;
  return std::nullopt;
}

Keyboard::Sent RecordingKeyboard::send(std::span<const KeyEvent> events) {
  Sent sent;
  for (const KeyEvent& event : events) {
    if (fail_index_ && delivered_.size() == *fail_index_) {
      fail_index_.reset();
      sent.status = Status::failure(fail_reason_);
      return sent;
    }
    delivered_.push_back(event);
    ++sent.delivered;
  }
  return sent;
}

void RecordingKeyboard::end() {
  ++end_calls_;
  open_ = false;
}

std::vector<Modifier> RecordingKeyboard::held() const {
  std::vector<Modifier> held;
  for (const KeyEvent& event : delivered_) {
    if (event.type == KeyEvent::Type::press) {
      held.push_back(event.modifier);
    } else if (event.type == KeyEvent::Type::release) {
      const auto it = std::find(held.rbegin(), held.rend(), event.modifier);
      if (it != held.rend()) held.erase(std::next(it).base());
    }
  }
  return held;
}

}  // namespace tavrino
