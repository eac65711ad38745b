// SPDX-License-Identifier: MIT
#include "platform/wayland/virtual_typing.h"

#include <optional>

#include "platform/xkb/key_messages.h"

namespace tavrino {

namespace {

const ModifierKeys kModifierKeys = {
    {kVirtualShiftKeycode, kVirtualShiftMask},
    {kVirtualControlKeycode, kVirtualControlMask},
    {kVirtualAltKeycode, kVirtualAltMask},
    {},  // no level 3: every character has a key with at most two levels
};

std::uint32_t mask_of(std::uint32_t keycode) {
  if (keycode == kVirtualShiftKeycode) return kVirtualShiftMask;
  if (keycode == kVirtualControlKeycode) return kVirtualControlMask;
  if (keycode == kVirtualAltKeycode) return kVirtualAltMask;
  return 0;
}

}  // namespace

Status VirtualTyping::begin(std::span<const KeyEvent> all_events, std::size_t character_keys) {
  modifiers_ = ModifierTracker(kModifierKeys);
  keymaps_ = character_keys == 0 ? plan_virtual_keymaps(all_events)
                                 : plan_virtual_keymaps(all_events, character_keys);
  return upload(0);
}

void VirtualTyping::tap_shift() {
  key(kVirtualShiftKeycode, true);
  key(kVirtualShiftKeycode, false);
}

Status VirtualTyping::send(const KeyEvent& event) {
  switch (event.type) {
    case KeyEvent::Type::press:
      apply(modifiers_.press(event.modifier));
      return Status::success();
    case KeyEvent::Type::release:
      apply(modifiers_.release(event.modifier));
      return Status::success();
    case KeyEvent::Type::character:
    case KeyEvent::Type::key:
      break;
  }
  return type(event);
}

void VirtualTyping::finish() {
  if (!uploaded_) return;
  apply(modifiers_.finish());
  if (mods_ != 0) {
    mods_ = 0;
    output_.modifiers(0);
  }
}

Status VirtualTyping::upload(std::size_t keymap) {
  if (Status status = output_.keymap(keymaps_[keymap], mods_, !uploaded_); !status) return status;
  current_ = keymap;
  uploaded_ = true;
  return Status::success();
}

Status VirtualTyping::type(const KeyEvent& event) {
  const KeySymbol keysym = keysym_of(event);
  std::optional<VirtualStroke> stroke = keymaps_[current_].find(keysym);
  if (!stroke) {
    // The next keymap that has it: the playback goes through them in order,
    // but a release sent after a stop may need an earlier one.
    for (std::size_t step = 1; step < keymaps_.size() && !stroke; ++step) {
      const std::size_t next = (current_ + step) % keymaps_.size();
      if (!keymaps_[next].find(keysym)) continue;
      apply(modifiers_.release_extra());
      if (Status status = upload(next); !status) return status;
      stroke = keymaps_[next].find(keysym);
    }
    if (!stroke) return no_key_for(event);
  }
  apply(modifiers_.stroke(stroke->shift ? kVirtualShiftMask : 0));
  key(stroke->keycode, true);
  key(stroke->keycode, false);
  return Status::success();
}

void VirtualTyping::apply(const KeyActions& actions) {
  for (const KeyAction& action : actions) key(action.keycode, action.down);
}

void VirtualTyping::key(std::uint32_t keycode, bool down) {
  output_.key(keycode, down);
  const std::uint32_t mask = mask_of(keycode);
  if (mask == 0) return;
  mods_ = down ? (mods_ | mask) : (mods_ & ~mask);
  output_.modifiers(mods_);
}

}  // namespace tavrino
