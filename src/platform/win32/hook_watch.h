// SPDX-License-Identifier: MIT
// What happened on the keyboard while a playback typed, in the order Windows
// handled it. The low-level keyboard hook is called for every key event
// before it goes on to the window with the focus, the playback's own among
// them (each carries its number, see own_record_info), one after the other.
// Walking that stream tells exactly which of the playback's events came
// after a key the user pressed, or went through while the user held a
// modifier: those may not have arrived as sent. No Windows call is made
// here: the keyboard feeds in what the hook noted.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "platform/win32/hook_key.h"
#include "playback/keyboard.h"

namespace tavrino {

// The dwExtraInfo of the playback's own record number `number`.
ULONG_PTR own_record_info(std::uint32_t number);
// The number of one of the playback's own records; nothing for anyone
// else's key, also one another program put into the input stream.
std::optional<std::uint32_t> own_record_number(const HookKey& key);

class HookWatch {
 public:
  // How a message names a key the user pressed.
  using Name = std::function<std::u16string(const HookKey&)>;

  HookWatch() = default;
  explicit HookWatch(Name name) : name_(std::move(name)) {}

  // A key the user holds as watching begins: a modifier, or Esc.
  void user_holds(BYTE vk);

  // The playback's own record number `record` (numbers grow by one with each
  // record sent), a key going down or up for event `event` (counted over the
  // session), as it goes into the input stream.
  void sent(std::uint32_t record, std::size_t event, bool down);
  // Events up to `total` have been handed over, including any that needed no
  // record (a modifier the key string holds already).
  void sent_events(std::size_t total) { sent_events_ = total; }

  // The next key event the hook saw.
  void saw(const HookKey& key);
  // The target's layout changed; the events before `after` were read with
  // the old one.
  void layout_changed(std::size_t after);
  // Takes the records sent and not seen yet as handled: the hook was skipped
  // for them (Windows passes a key on without a hook that answers late).
  void forget_unseen() { expected_.clear(); }

  unsigned escapes() const { return escapes_; }
  // The user holds Esc down now.
  bool escape_held() const { return escape_down_; }
  HeldKeys held() const;
  const std::optional<Disturbance>& disturbed() const { return disturbed_; }
  // Whether the hook has seen record `record` and every one before it.
  bool handled(std::uint32_t record) const {
    return expected_.empty() || expected_.front().record > record;
  }
  // Whether the hook has seen any of the playback's records yet.
  bool seen_own() const { return seen_own_; }
  // Events before this one had all their records seen.
  std::size_t handled_events() const;

 private:
  struct Sent {
    std::uint32_t record;
    std::size_t event;
    bool down;
  };
  void own(std::uint32_t record);
  void disturb(Disturbance::Kind kind, std::size_t after, std::u16string key = {});

  Name name_;
  std::deque<Sent> expected_;  // sent and not yet seen, in order
  std::size_t sent_events_ = 0;
  std::array<BYTE, 256> user_keys_{};  // modifiers the user holds, 0x80 for down
  unsigned escapes_ = 0;
  bool escape_down_ = false;
  // An Alt the user pressed, with no key going down since.
  bool alt_alone_ = false;
  bool seen_own_ = false;
  std::optional<Disturbance> disturbed_;
};

}  // namespace tavrino
