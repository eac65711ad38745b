// SPDX-License-Identifier: MIT
// A keyboard for tests: records what it is given as readable text
// ("4 5 [TAB]"), and answers where the focus is, which keys the user holds and
// what interrupts the playback as the test tells it, so a whole playback is
// checked with one comparison and no display.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "playback/key_event.h"
#include "playback/keyboard.h"

namespace tavrino {

class RecordingKeyboard : public Keyboard {
 public:
  // The window focus() names until told otherwise: another program's.
  static constexpr Focus kTarget{Focus::Kind::other, 0x7a7};

  // begin() or prepare() fails with `reason`.
  void fail_begin(std::u16string reason) { begin_failure_ = std::move(reason); }
  void fail_prepare(std::u16string reason) { prepare_failure_ = std::move(reason); }
  // The send() that reaches event number `index` (0-based, counted over
  // everything delivered so far) delivers the events before it and refuses
  // that one and the rest of that call with `reason`. It fails once; later
  // sends are taken again, so a caller can still release its modifiers.
  void fail_at(std::size_t index, std::u16string reason);
  // From the moment `delivered` events have gone out, focus() answers
  // `focus` (the last such change that applies wins).
  void focus_after(std::size_t delivered, Focus focus);
  // held_keys() answers these in turn, one per call, then nothing.
  void hold(std::vector<HeldKeys> answers) { held_answers_ = std::move(answers); }
  // From the moment `delivered` events have gone out, interruption()
  // answers `reason`.
  void interrupt_after(std::size_t delivered, StopReason reason);
  // untypable() names the first event that types `c`.
  void cannot_type(char32_t c) { cannot_type_ = c; }

  Status begin() override;
  Focus focus() override;
  HeldKeys held_keys() override;
  std::optional<Untypable> untypable(std::span<const KeyEvent> all_events) override;
  Status prepare(std::span<const KeyEvent> all_events) override;
  std::optional<StopReason> interruption() override;
  Sent send(std::span<const KeyEvent> events) override;
  void end() override;

  // Everything delivered, as describe() renders it.
  std::u16string typed() const { return describe(delivered_); }
  const KeyEvents& delivered() const { return delivered_; }
  // Modifiers pressed and not yet released among the delivered events.
  std::vector<Modifier> held() const;
  // begin() succeeded and end() has not followed yet.
  bool open() const { return open_; }

  int begin_calls() const { return begin_calls_; }
  int prepare_calls() const { return prepare_calls_; }
  int end_calls() const { return end_calls_; }

 private:
  struct FocusChange {
    std::size_t delivered;
    Focus focus;
  };

  KeyEvents delivered_;
  std::optional<std::u16string> begin_failure_;
  std::optional<std::u16string> prepare_failure_;
  std::optional<std::size_t> fail_index_;
  std::u16string fail_reason_;
  std::vector<FocusChange> focus_changes_;
  std::vector<HeldKeys> held_answers_;
  std::optional<std::pair<std::size_t, StopReason>> interruption_;
  std::optional<char32_t> cannot_type_;
  bool open_ = false;
  int begin_calls_ = 0;
  int prepare_calls_ = 0;
  int held_calls_ = 0;
  int end_calls_ = 0;
};

}  // namespace tavrino
