// SPDX-License-Identifier: MIT
#include "playback/fake_keyboard.h"

#include <algorithm>
#include <utility>

namespace tavrino {

void RecordingKeyboard::fail_begin(std::u16string reason) {
  begin_failure_ = std::move(reason);
}

void RecordingKeyboard::fail_at(std::size_t index, std::u16string reason) {
  fail_index_ = index;
  fail_reason_ = std::move(reason);
}

Status RecordingKeyboard::begin(std::span<const KeyEvent>) {
  ++begin_calls_;
  if (begin_failure_) return Status::failure(*begin_failure_);
  return Status::success();
}

Keyboard::Sent RecordingKeyboard::send(std::span<const KeyEvent> events) {
  ++send_calls_;
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
