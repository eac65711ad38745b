// SPDX-License-Identifier: MIT
#include "playback/fake_keyboard.h"

#include <algorithm>
#include <utility>

namespace tavrino {

Status run_playback(Playback& playback, TestClock& clock) {
  // A playback that never ends would hang the test; no test needs more than
  // this many steps.
  for (int steps = 0; steps < 1'000'000; ++steps) {
    const auto delay = playback.step();
    if (!delay) return playback.result();
    clock.advance(*delay);
  }
  return Status::failure(u"The playback did not end.");
}

class FakeKeyboard::Session final : public KeyboardSession {
 public:
  explicit Session(FakeKeyboard& keyboard) : keyboard_(keyboard) {}
  ~Session() override { keyboard_.open_ = false; }

  bool lock() override { return !keyboard_.busy_; }
  Focus focus() override {
    Focus focus = kTarget;
    for (const auto& [delivered, changed] : keyboard_.focus_changes_) {
      if (keyboard_.delivered_.size() >= delivered) focus = changed;
    }
    return focus;
  }
  std::optional<Untypable> untypable(std::span<const KeyEvent> all_events) override {
    for (std::size_t i = 0; i < all_events.size(); ++i) {
      if (keyboard_.cannot_type_ &&
          all_events[i] == KeyEvent::of_character(*keyboard_.cannot_type_)) {
        return Untypable{i, u"the test's layout has no key for it."};
      }
    }
    return std::nullopt;
  }
  Status prepare(std::span<const KeyEvent>) override {
    if (keyboard_.prepare_failure_) return Status::failure(*keyboard_.prepare_failure_);
    return Status::success();
  }
  KeyboardWatch watch() override { return keyboard_.watch(); }
  Sent send(std::span<const KeyEvent> events) override { return keyboard_.send(events); }
  bool ask_taken() override { return keyboard_.ask(); }
  std::size_t answers(std::chrono::milliseconds wait) override { return keyboard_.answers(wait); }
  std::u16string target_name() override { return u"the form"; }

 private:
  FakeKeyboard& keyboard_;
};

Keyboard::Opened FakeKeyboard::begin() {
  ++begin_calls_;
  if (begin_failure_) return {nullptr, Status::failure(*begin_failure_)};
  open_ = true;
  // Each session asks its own questions, numbered from 1.
  asks_.clear();
  answered_ = 0;
  return {std::make_unique<Session>(*this), Status::success()};
}

void FakeKeyboard::happen() {
  const std::size_t out = delivered_.size();
  const auto mark = [&](At& at) {
    if (!at.seen && at.delivered <= out) {
      at.seen = true;
      at.when = now();
    }
  };
  for (Hold& hold : holds_) mark(hold);
  for (At& grab : grabs_) mark(grab);
  for (At& escape : escapes_) mark(escape);
  for (const Disturbance& scripted : scripted_) {
    if (scripted.after == out) disturb(scripted.kind, out, scripted.key);
  }
}

void FakeKeyboard::disturb(Disturbance::Kind kind, std::size_t after, std::u16string key) {
  if (!disturbed_) disturbed_ = Disturbance{kind, after, std::move(key)};
}

bool FakeKeyboard::grabbed() const {
  return std::any_of(grabs_.begin(), grabs_.end(),
                     [&](const At& grab) { return grab.seen && now() < grab.when + grab.length; });
}

HeldKeys FakeKeyboard::held_keys() const {
  HeldKeys keys;
  for (const Hold& hold : holds_) {
    if (hold.seen && now() < hold.when + hold.length) {
      keys.insert(keys.end(), hold.keys.begin(), hold.keys.end());
    }
  }
  return keys;
}

KeyboardWatch FakeKeyboard::watch() {
  happen();
  KeyboardWatch watch;
  watch.escapes =
      static_cast<unsigned>(std::count_if(escapes_.begin(), escapes_.end(), [&](const At& escape) {
        return escape.seen && now() >= escape.when + escape.length;
      }));
  watch.held = held_keys();
  watch.grabbed = grabbed();
  watch.disturbed = disturbed_;
  return watch;
}

KeyboardSession::Sent FakeKeyboard::send(std::span<const KeyEvent> events) {
  KeyboardSession::Sent sent;
  if (on_send_) on_send_(events);
  largest_send_ = std::max(largest_send_, events.size());
  for (const KeyEvent& event : events) {
    const std::size_t index = delivered_.size();
    if (fail_index_ && index == *fail_index_) {
      fail_index_.reset();
      sent.status = Status::failure(fail_reason_);
      break;
    }
    if (catch_up_at_ && index == *catch_up_at_) {
      catch_up_at_.reset();
      break;
    }
    happen();
    // A key that goes out while the user holds a modifier, or while
    // another program has the keyboard, does not arrive as sent.
    if (const HeldKeys held = held_keys(); !held.empty()) {
      disturb(Disturbance::Kind::key, index, held_keys_text(held));
    }
    if (grabbed()) disturb(Disturbance::Kind::grab, index);
    delivered_.push_back(event);
    ++sent.delivered;
  }
  happen();
  std::size_t ready = 0;
  for (const Ask& ask : asks_) {
    if (ask.ready > now()) break;
    ready = ask.events;
  }
  most_ahead_ = std::max(most_ahead_, delivered_.size() - ready);
  return sent;
}

bool FakeKeyboard::ask() {
  if (blind_) return false;
  Time ready = now() + lag_;
  for (const Freeze& freeze : freezes_) {
    if (delivered_.size() > freeze.delivered) ready = std::max(ready, now() + freeze.length);
  }
  // A target answers in order: no answer comes before an earlier one.
  if (!asks_.empty()) ready = std::max(ready, asks_.back().ready);
  asks_.push_back({delivered_.size(), ready});
  return true;
}

std::size_t FakeKeyboard::answers(std::chrono::milliseconds wait) {
  const auto count_ready = [this] {
    std::size_t count = 0;
    while (count < asks_.size() && asks_[count].ready <= now()) ++count;
    return count;
  };
  std::size_t count = count_ready();
  if (count == answered_ && count < asks_.size() && clock_ != nullptr && wait.count() > 0) {
    // Waiting for the next answer takes time, up to `wait`.
    const Duration until_next = asks_[count].ready - now();
    clock_->advance(std::min<Duration>(wait, until_next));
    count = count_ready();
  }
  answered_ = count;
  return count;
}

std::vector<Modifier> FakeKeyboard::held() const {
  return held_after(delivered_);
}

}  // namespace tavrino
