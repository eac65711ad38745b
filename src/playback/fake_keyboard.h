// SPDX-License-Identifier: MIT
// A keyboard for tests: records what it is given as readable text
// ("4 5 [TAB]") and can be told to fail, so a whole playback is checked with
// one comparison and no display.
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
  // begin() fails with `reason` (and records nothing).
  void fail_begin(std::u16string reason);
  // The send() that reaches event number `index` (0-based, counted over
  // everything delivered so far) delivers the events before it and refuses
  // that one and the rest of that call with `reason`. It fails once; later
  // sends are taken again, so a caller can still release its modifiers.
  void fail_at(std::size_t index, std::u16string reason);

  Status begin(std::span<const KeyEvent> all_events) override;
  Sent send(std::span<const KeyEvent> events) override;
  void end() override;

  // Everything delivered, as describe() renders it.
  std::u16string typed() const { return describe(delivered_); }
  const KeyEvents& delivered() const { return delivered_; }
  // Modifiers pressed and not yet released among the delivered events.
  std::vector<Modifier> held() const;

  int begin_calls() const { return begin_calls_; }
  int send_calls() const { return send_calls_; }
  int end_calls() const { return end_calls_; }

 private:
  KeyEvents delivered_;
  std::optional<std::u16string> begin_failure_;
  std::optional<std::size_t> fail_index_;
  std::u16string fail_reason_;
  int begin_calls_ = 0;
  int send_calls_ = 0;
  int end_calls_ = 0;
};

}  // namespace tavrino
