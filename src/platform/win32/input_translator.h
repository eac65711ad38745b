// SPDX-License-Identifier: MIT
// Key events into SendInput records, for the target's keyboard layout. No
// Windows call is made here: the layout is asked through KeyLayout, which
// the desktop answers from Windows and tests from a table.
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
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <unordered_map>
#include <vector>

#include "base/status.h"
#include "playback/key_event.h"

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
  // Whether pressing `vk` with `shift_state` (as in key_for) types `c` at
  // once. Not for a dead key, which only marks the character typed after it,
  // nor for a key that types something else or nothing at all.
  virtual bool types(BYTE vk, BYTE shift_state, wchar_t c) const = 0;
  // Whether right Alt is AltGr on this layout (KLLF_ALTGR): pressed alone, it
  // makes Windows press left Ctrl with it, and the pair types what key_for
  // gives with Ctrl+Alt (shift state 6), as a real keyboard's AltGr does.
  virtual bool has_altgr() const = 0;
};

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

// The SendInput record of virtual key `vk` with `scan`, going down or up.
INPUT key_input(BYTE vk, WORD scan, bool extended, bool up);

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

}  // namespace tavrino
