// SPDX-License-Identifier: MIT
// What the virtual keyboard sends for a playback: which of its keymaps is
// in use, the key for each event, and the modifiers the compositor is told.
// A playback whose characters do not fit one keymap switches keymaps in the
// middle (see virtual_keymap.h); the modifiers the key string holds stay
// held across the switch, and the Shift pressed for a capital is let go
// before it. No Wayland connection is needed here: the virtual keyboard
// (virtual_keyboard.h) makes the requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/status.h"
#include "platform/wayland/virtual_keymap.h"
#include "platform/xkb/modifier_tracker.h"

namespace tavrino {

// The requests a virtual keyboard makes.
class VirtualKeyboardOutput {
 public:
  virtual ~VirtualKeyboardOutput() = default;
  // Hands `keymap` to the compositor and tells it the modifiers `mods`
  // held on it (a new keymap starts with none). `first`: the playback's
  // first keymap, before any key; a later one replaces a keymap that keys
  // were typed on, and the compositor and the focused program need a moment
  // to take it.
  virtual Status keymap(const VirtualKeymap& keymap, std::uint32_t mods, bool first) = 0;
  // A key goes down or up (XKB's keycode).
  virtual void key(std::uint32_t keycode, bool down) = 0;
  // The modifiers held now.
  virtual void modifiers(std::uint32_t mods) = 0;
};

class VirtualTyping {
 public:
  explicit VirtualTyping(VirtualKeyboardOutput& output) : output_(output) {}

  // Plans the keymaps for `all_events` (`character_keys` characters on
  // each; 0 for as many as a keymap holds) and hands over the first.
  Status begin(std::span<const KeyEvent> all_events, std::size_t character_keys = 0);
  // Presses and releases Shift: it makes this keyboard the seat's active one.
  void tap_shift();
  // Sends one event. A character on another keymap gets that keymap first:
  // the next one that has it, in the playback's order.
  Status send(const KeyEvent& event);
  // Lets go of the Shift pressed for capitals.
  void release_extra() { apply(modifiers_.release_extra()); }
  // Lets go of every key and modifier still held, once a keymap was handed
  // over.
  void finish();

  const std::vector<VirtualKeymap>& keymaps() const { return keymaps_; }

 private:
  Status upload(std::size_t keymap);
  Status type(const KeyEvent& event);
  void apply(const KeyActions& actions);
  void key(std::uint32_t keycode, bool down);

  VirtualKeyboardOutput& output_;
  std::vector<VirtualKeymap> keymaps_;
  std::size_t current_ = 0;
  bool uploaded_ = false;
  ModifierTracker modifiers_;
  std::uint32_t mods_ = 0;  // the modifiers told to the compositor
};

}  // namespace tavrino
