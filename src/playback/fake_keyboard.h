// SPDX-License-Identifier: MIT
// A keyboard for tests: records what it is given as readable text
// ("4 5 [TAB]"), and plays a target and a user as the test scripts them: a
// target that lags, freezes or cannot say what it took; a user who presses
// Esc, holds Ctrl or types a key at a given point; another program that
// grabs the keyboard; a change of layout. So a whole playback is checked with
// one comparison and no display.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "playback/key_event.h"
#include "playback/keyboard.h"
#include "playback/typekeys.h"

namespace tavrino {

// A clock that moves only when told: by a playback's waits (run_playback)
// and by the fake keyboard's waits for answers.
class TestClock {
 public:
  Playback::Clock::time_point now() const { return now_; }
  void advance(Playback::Clock::duration by) { now_ += by; }
  Playback::Now function() {
    return [this] { return now_; };
  }

 private:
  Playback::Clock::time_point now_{};
};

// Runs `playback` to its end on `clock`, which each step's wait moves on.
Status run_playback(Playback& playback, TestClock& clock);

class FakeKeyboard : public Keyboard {
 public:
  using Duration = Playback::Clock::duration;
  // The window focus() names until told otherwise: another program's.
  static constexpr Focus kTarget{Focus::Kind::other, 0x7a7};

  explicit FakeKeyboard(TestClock* clock = nullptr) : clock_(clock) {}

  // begin() or prepare() fails with `reason`; lock() says another tavrino
  // types.
  void fail_begin(std::u16string reason) { begin_failure_ = std::move(reason); }
  void fail_prepare(std::u16string reason) { prepare_failure_ = std::move(reason); }
  void busy() { busy_ = true; }
  // The send() that reaches event number `index` (0-based, counted over
  // everything delivered so far) delivers the events before it and refuses
  // that one and the rest of that call with `reason`. It fails once; later
  // sends are taken again, so a caller can still release its modifiers.
  void fail_at(std::size_t index, std::u16string reason) {
    fail_index_ = index;
    fail_reason_ = std::move(reason);
  }
  // The send() that reaches event `index` stops before it once, asking for
  // the target to take everything sent before it goes on (a borrowed key
  // must change).
  void catch_up_at(std::size_t index) { catch_up_at_ = index; }
  // Calls `seen` with every batch handed to send().
  void on_send(std::function<void(std::span<const KeyEvent>)> seen) { on_send_ = std::move(seen); }
  // untypable() names the first event that types `c`.
  void cannot_type(char32_t c) { cannot_type_ = c; }

  // From the moment `delivered` events have gone out, focus() answers
  // `focus` (the last such change that applies wins).
  void focus_after(std::size_t delivered, Focus focus) {
    focus_changes_.emplace_back(delivered, focus);
  }
  // The user holds `keys` from the moment `delivered` events have gone out
  // until `held_for` later. A press in the middle of a send() changes the
  // keys after it: the watch reports a disturbance there.
  void hold(std::size_t delivered, HeldKeys keys, Duration held_for) {
    holds_.push_back({{delivered, held_for}, std::move(keys)});
  }
  // The user presses `key` (not a modifier) once `delivered` events have
  // gone out: it goes to the target.
  void press(std::size_t delivered, std::u16string key) {
    scripted_.push_back({Disturbance::Kind::key, delivered, std::move(key)});
  }
  void click(std::size_t delivered) {
    scripted_.push_back({Disturbance::Kind::click, delivered, {}});
  }
  // Esc `later` after `delivered` events have gone out (a second call adds
  // another).
  void escape(std::size_t delivered, Duration later = {}) {
    escapes_.push_back({delivered, later});
  }
  void change_layout(std::size_t delivered) {
    scripted_.push_back({Disturbance::Kind::layout, delivered, {}});
  }
  // Another program grabs the keyboard once `delivered` events have gone
  // out, for `grabbed_for`; keys sent meanwhile go to it.
  void grab(std::size_t delivered, Duration grabbed_for) {
    grabs_.push_back({delivered, grabbed_for});
  }

  // The target answers each question `lag` after it was asked.
  void lag(Duration lag) { lag_ = lag; }
  // Questions asked once `delivered` events have gone out are answered no
  // sooner than `frozen_for` after that (the target stopped).
  void freeze(std::size_t delivered, Duration frozen_for) {
    freezes_.push_back({delivered, frozen_for});
  }
  // The target cannot say what it took (ask_taken() is false).
  void blind() { blind_ = true; }

  Opened begin() override;

  // Everything delivered, as describe() renders it.
  std::u16string typed() const { return describe(delivered_); }
  const KeyEvents& delivered() const { return delivered_; }
  // Forgets what was delivered, as a fresh target would start (between
  // sessions).
  void forget_delivered() { delivered_.clear(); }
  // Modifiers pressed and not yet released among the delivered events.
  std::vector<Modifier> held() const;
  // A session is open.
  bool open() const { return open_; }
  int begin_calls() const { return begin_calls_; }
  // How many sends carried more than one event at most: what a target saw
  // at once.
  std::size_t largest_send() const { return largest_send_; }
  // The most events that were delivered and not yet answered for at once.
  std::size_t most_ahead() const { return most_ahead_; }

 private:
  class Session;
  friend class Session;
  using Time = Playback::Clock::time_point;

  // Something the user or another program does once `delivered` events
  // have gone out: for `length`, or for an Esc, that much later.
  struct At {
    std::size_t delivered = 0;
    Duration length{};
    bool seen = false;
    Time when{};  // when it happened, once seen
  };
  struct Hold : At {
    HeldKeys keys;
  };
  struct Freeze {
    std::size_t delivered = 0;
    Duration length{};
  };
  struct Ask {
    std::size_t events = 0;
    Time ready{};
  };

  Time now() const { return clock_ ? clock_->now() : Time{}; }
  // Marks what happened by now (delivered_.size() events out).
  void happen();
  bool grabbed() const;
  HeldKeys held_keys() const;
  KeyboardWatch watch();
  KeyboardSession::Sent send(std::span<const KeyEvent> events);
  bool ask();
  std::size_t answers(std::chrono::milliseconds wait);
  void disturb(Disturbance::Kind kind, std::size_t after, std::u16string key = {});

  TestClock* clock_;
  std::function<void(std::span<const KeyEvent>)> on_send_;
  KeyEvents delivered_;
  std::optional<std::u16string> begin_failure_;
  std::optional<std::u16string> prepare_failure_;
  bool busy_ = false;
  std::optional<std::size_t> fail_index_;
  std::u16string fail_reason_;
  std::optional<std::size_t> catch_up_at_;
  std::optional<char32_t> cannot_type_;
  std::vector<std::pair<std::size_t, Focus>> focus_changes_;
  std::vector<Hold> holds_;
  std::vector<Disturbance> scripted_;  // after: when the user does it
  std::vector<At> escapes_;            // when reached, and how much later
  std::vector<At> grabs_;
  Duration lag_{};
  std::vector<Freeze> freezes_;
  bool blind_ = false;
  std::vector<Ask> asks_;
  std::size_t answered_ = 0;
  std::optional<Disturbance> disturbed_;
  bool open_ = false;
  int begin_calls_ = 0;
  std::size_t largest_send_ = 0;
  std::size_t most_ahead_ = 0;
};

}  // namespace tavrino
