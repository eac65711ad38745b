// SPDX-License-Identifier: MIT
// Keystrokes through SendInput, to the window that has the keyboard focus.
//
// - A character goes as a real key press of the target's keyboard layout:
//   the key that layout has for it, as its virtual key and scan code, with
//   Shift or AltGr held around it as the layout needs. Many
//   programs read key presses and nothing else (a field that takes digits
//   only, a form that moves on at Enter, a virtual machine's console, a
//   remote desktop), and a real key is what they expect.
// - AltGr is pressed as a keyboard sends it: right Alt alone, on its
//   extended scan code, and Windows adds the left Ctrl that makes it AltGr.
//   A synthetic left Ctrl with left Alt is a shortcut to browsers, office
//   suites and virtual-machine consoles, so that an @ would fire a command.
//   On a layout without AltGr, and while the key string holds Ctrl or Alt
//   itself, the character gets Ctrl and Alt as left keys instead.
// - A character no key of the layout types by itself goes as a Unicode
//   packet (KEYEVENTF_UNICODE), so it arrives whatever the layout: one the
//   layout has no key for, one it types only through a dead key (which would
//   mark the character after it instead), one it types only with Ctrl or Alt
//   alone (a shortcut) or a shift state no key press gives, and one beyond
//   U+FFFF, as its two surrogate units. With `unicode_only` every character
//   goes that way, for a target whose own layout differs from the one it
//   says it has (the far end of a remote session).
// - A character typed while the key string holds Shift, Ctrl or Alt ("^c",
//   "+(ab)") is always a key press, since Ctrl with a Unicode packet is no
//   shortcut; the modifiers the character needs are added around it when the
//   string does not hold them already. So the one thing this layer refuses
//   is such a character that the layout has no key for.
// - What no key types at all (control characters, noncharacters) never gets
//   here: the key-string parser refuses it for every platform.
// - Named keys go as virtual keys, flagged extended where the keyboard has
//   them on the extended block (arrows, Insert, Delete, Home, End, PgUp, PgDn,
//   Divide, NumLock, Break, PrtSc), with the layout's scan code.
// - Alt pressed and released with no other key in between would leave the
//   target's menu bar active, so a key no layout assigns is tapped before Alt
//   goes up.
//
// Around a playback the keyboard switches Caps Lock off (it would turn the
// case of every letter typed as a key) and on again at the end, and lets go
// of every key it pressed on every way out, also when the console it is
// attached to closes. While it types, the keyboard hook tells it, in order,
// which of its keys went through and what the user did in between (see
// hook_watch.h).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/status.h"
#include "platform/win32/desktop.h"
#include "playback/key_event.h"
#include "playback/keyboard.h"

namespace tavrino {

// A key that no layout assigns; tapping it makes Alt's release no longer
// "Alt alone", which is what opens a menu bar.
inline constexpr BYTE kMenuMaskKey = 0xE8;

struct VirtualKey {
  BYTE vk;
  bool extended;
};

VirtualKey virtual_key_of(Key key);

// Whether `vk` sits on the keyboard's extended block, so that its records
// carry KEYEVENTF_EXTENDEDKEY.
bool is_extended_key(BYTE vk);

// Turns key events into SendInput records, keeping track of the modifiers the
// events hold down.
class InputTranslator {
 public:
  explicit InputTranslator(const KeyLayout& layout, bool unicode_only = false)
      : layout_(layout), unicode_only_(unicode_only) {}

  // Appends the records for `event`. Fails, appending nothing, for a character
  // typed with a modifier held that no key of the layout gives.
  Status add(const KeyEvent& event, std::vector<INPUT>& inputs);

  // Records that release every modifier still held, and forgets them.
  void release_all(std::vector<INPUT>& inputs);

 private:
  // The key a character is typed with when no modifier is held; vk 0 for a
  // Unicode packet.
  struct PlainKey {
    BYTE vk = 0;
    BYTE shift_state = 0;
  };
  PlainKey plain_key(char32_t c);
  void add_packet(char32_t c, std::vector<INPUT>& inputs);
  Status add_key_press(char32_t c, std::vector<INPUT>& inputs);
  void add_with_modifiers(BYTE vk, BYTE needs, std::vector<INPUT>& inputs);
  void add_vk(BYTE vk, bool extended, bool up, std::vector<INPUT>& inputs) const;
  void tap_vk(BYTE vk, bool extended, std::vector<INPUT>& inputs);
  bool any_held() const;

  const KeyLayout& layout_;
  bool unicode_only_;
  int held_[3] = {0, 0, 0};                            // presses by the key string, by Modifier
  bool alt_alone_ = false;                             // Alt went down and no other key since
  std::unordered_map<char32_t, PlainKey> plain_keys_;  // asked of the layout once each
};

struct SendInputOptions {
  bool unicode_only = false;  // every character as a Unicode packet
  // The clock the keyboard's own waits go by (a test's own, in tests).
  std::function<std::chrono::steady_clock::time_point()> now = &std::chrono::steady_clock::now;
};

// The Keyboard over SendInput, on `desktop`, which outlives it.
class SendInputKeyboard final : public Keyboard {
 public:
  using Options = SendInputOptions;

  explicit SendInputKeyboard(Desktop& desktop, Options options = {})
      : desktop_(desktop), options_(std::move(options)) {}

  // A session on the desktop: it answers from the foreground window and the
  // keyboard hook. Never fails.
  Opened begin() override;

 private:
  Desktop& desktop_;
  Options options_;
};

// The message for keystrokes that Windows did not take, and for those it
// did not take because the input went to a secure desktop (the lock screen,
// a UAC prompt).
std::u16string blocked_input_message();
// The message for keystrokes Windows did not take because the session was
// locked or a secure desktop (a UAC prompt, Ctrl+Alt+Del) took the input.
std::u16string secure_desktop_message();

// "Notepad" of "marks.txt - Notepad": programs put their own name last in
// the title. A name of another shape is kept whole, up to a length a status
// line can show, with what would disguise it made visible.
std::u16string program_name(std::u16string_view title);

}  // namespace tavrino
