// SPDX-License-Identifier: MIT
// Key events: what a key string means, ready for a keyboard to send.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrino {

// Named keys of the key-string syntax ({TAB}, {F5}, ~ for ENTER, ...).
enum class Key : std::uint8_t {
  backspace,
  break_key,
  capslock,
  delete_key,
  down,
  end,
  enter,
  escape,
  help,
  home,
  insert,
  left,
  numlock,
  pgdn,
  pgup,
  prtsc,
  right,
  scrolllock,
  tab,
  up,
  f1,
  f2,
  f3,
  f4,
  f5,
  f6,
  f7,
  f8,
  f9,
  f10,
  f11,
  f12,
  f13,
  f14,
  f15,
  f16,
  add,
  subtract,
  multiply,
  divide,
};

enum class Modifier : std::uint8_t { shift, ctrl, alt };

struct KeyEvent {
  enum class Type : std::uint8_t {
    character,  // type `character` (a Unicode code point) as the user would
    key,        // press and release the named key `key`
    press,      // press and hold `modifier`
    release,    // release `modifier`
  };
  Type type = Type::character;
  char32_t character = 0;
  Key key = Key::tab;
  Modifier modifier = Modifier::shift;

  static KeyEvent of_character(char32_t c) {
    return {Type::character, c, Key::tab, Modifier::shift};
  }
  static KeyEvent of_key(Key k) { return {Type::key, 0, k, Modifier::shift}; }
  static KeyEvent press_of(Modifier m) { return {Type::press, 0, Key::tab, m}; }
  static KeyEvent release_of(Modifier m) { return {Type::release, 0, Key::tab, m}; }

  bool operator==(const KeyEvent&) const = default;
};

using KeyEvents = std::vector<KeyEvent>;

// The name of a key as the key-string syntax writes it ("TAB", "F5", "PGDN").
std::u16string key_name(Key key);

// The key a name in braces stands for, in any ASCII case and any of its
// spellings ("tab", "BS", "BkSp"); nothing for a name that is no key.
std::optional<Key> key_by_name(std::u16string_view name);

// The name of a modifier key for messages: "Shift", "Ctrl", "Alt".
std::u16string_view modifier_name(Modifier modifier);

// The modifiers that `events` leave held down, in the order pressed: each
// press not yet matched by a release of the same modifier.
std::vector<Modifier> held_after(std::span<const KeyEvent> events);

// Readable form of events, for tests, --check and debugging:
// "4 5 [TAB]", "[CTRL down] c [CTRL up]". Characters appear as themselves
// (UTF-16), a blank as "[SPACE]".
std::u16string describe(const KeyEvents& events);

}  // namespace tavrino
