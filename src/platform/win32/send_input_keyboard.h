// SPDX-License-Identifier: MIT
// Keystrokes through SendInput, to the window that has the keyboard focus.
//
// - A character typed with no modifier held goes as a Unicode packet
//   (KEYEVENTF_UNICODE), so it arrives whatever the keyboard layout; a code
//   point above U+FFFF goes as its two surrogate units.
// - A character typed while the key string holds Shift, Ctrl or Alt ("^c",
//   "+(ab)") goes as a real key press of the target's layout, since Ctrl with
//   a Unicode packet is no shortcut. Modifiers that the character itself needs
//   on that layout (Shift for "A", Ctrl+Alt for AltGr characters) are pressed
//   around it when the string does not hold them already.
// - Control characters are refused: a value's line breaks and tabs come as
//   the Enter and Tab keys, and no other control character has a key.
// - Named keys go as virtual keys, flagged extended where the keyboard has
//   them on the extended block (arrows, Insert, Delete, Home, End, PgUp, PgDn,
//   Divide, NumLock, Break, PrtSc), with the layout's scan code.
// - Alt pressed and released with no other key in between would leave the
//   target's menu bar active, so a key no layout assigns is tapped before Alt
//   goes up.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/status.h"
#include "playback/key_event.h"
#include "playback/keyboard.h"

namespace tavrino {

// The target's keyboard layout, as far as typing needs it.
class KeyLayout {
 public:
  virtual ~KeyLayout() = default;
  // As VkKeyScanExW: the virtual key in the low byte and the shift state it
  // needs in the high byte (1 Shift, 2 Ctrl, 4 Alt); -1 when no key of the
  // layout types `c`.
  virtual SHORT key_for(wchar_t c) const = 0;
  // As MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC): the key's scan code, 0 if none.
  virtual WORD scan_code(BYTE vk) const = 0;
};

// The keyboard layout of the thread that owns the foreground window, which is
// the layout the target reads key presses with.
class ForegroundLayout final : public KeyLayout {
 public:
  ForegroundLayout();
  SHORT key_for(wchar_t c) const override;
  WORD scan_code(BYTE vk) const override;

 private:
  HKL layout_;
};

// A key that no layout assigns; tapping it makes Alt's release no longer
// "Alt alone", which is what opens a menu bar.
inline constexpr BYTE kMenuMaskKey = 0xE8;

struct VirtualKey {
  BYTE vk;
  bool extended;
};

VirtualKey virtual_key_of(Key key);

// Turns key events into SendInput records, keeping track of the modifiers the
// events hold down.
class InputTranslator {
 public:
  explicit InputTranslator(const KeyLayout& layout) : layout_(layout) {}

  // Appends the records for `event`. Fails, appending nothing, for a character
  // typed with a modifier held that no key of the layout gives.
  Status add(const KeyEvent& event, std::vector<INPUT>& inputs);

  // Records that release every modifier still held, and forgets them.
  void release_all(std::vector<INPUT>& inputs);

 private:
  void add_character(char32_t c, std::vector<INPUT>& inputs);
  Status add_key_press(wchar_t c, std::vector<INPUT>& inputs);
  void add_vk(BYTE vk, bool extended, bool up, std::vector<INPUT>& inputs) const;
  void tap_vk(BYTE vk, bool extended, std::vector<INPUT>& inputs);
  bool any_held() const;

  const KeyLayout& layout_;
  int held_[3] = {0, 0, 0};  // presses by the key string, by Modifier
  bool alt_alone_ = false;   // Alt went down and no other key since
};

// The Keyboard over SendInput. `target_layout` is asked once per playback for
// the layout of the window with the focus; `send_input` stands for SendInput
// and returns how many records it inserted.
class SendInputKeyboard final : public Keyboard {
 public:
  using LayoutSource = std::function<std::unique_ptr<KeyLayout>()>;
  using InputSink = std::function<UINT(std::span<INPUT>)>;

  SendInputKeyboard();
  SendInputKeyboard(LayoutSource target_layout, InputSink send_input);

  Status begin() override;
  // Not told yet: unknown, no keys held, no interruption.
  Focus focus() override;
  HeldKeys held_keys() override;
  std::optional<StopReason> interruption() override;
  Status prepare(std::span<const KeyEvent> all_events) override;
  Sent send(std::span<const KeyEvent> events) override;
  void end() override;

 private:
  LayoutSource target_layout_;
  InputSink send_input_;
  std::unique_ptr<KeyLayout> layout_;
  std::optional<InputTranslator> translator_;
};

// The message for keystrokes that Windows did not take.
std::u16string blocked_input_message();

}  // namespace tavrino
