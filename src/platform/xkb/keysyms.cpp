// SPDX-License-Identifier: MIT
#include "platform/xkb/keysyms.h"

#include <array>

#include <xkbcommon/xkbcommon.h>

namespace tavrino {

namespace {

// X keysym values (X11/keysymdef.h); spelled out so that this file needs no
// X header.
constexpr KeySymbol kBackSpace = 0xff08;
constexpr KeySymbol kTab = 0xff09;
constexpr KeySymbol kReturn = 0xff0d;
constexpr KeySymbol kEscape = 0xff1b;
constexpr KeySymbol kDelete = 0xffff;
constexpr KeySymbol kF1 = 0xffbe;
constexpr KeySymbol kKeypadFirst = 0xff80;  // KP_Space
constexpr KeySymbol kKeypadLast = 0xffbd;   // KP_Equal

// Indexed by Key, in the order the enum declares them.
constexpr std::array<KeySymbol, 20> kNamedKeys = {
    kBackSpace,  // backspace
    0xff6b,      // break_key: Break
    0xffe5,      // capslock: Caps_Lock
    kDelete,     // delete_key
    0xff54,      // down
    0xff57,      // end
    kReturn,     // enter
    kEscape,     // escape
    0xff6a,      // help
    0xff50,      // home
    0xff63,      // insert
    0xff51,      // left
    0xff7f,      // numlock: Num_Lock
    0xff56,      // pgdn: Next
    0xff55,      // pgup: Prior
    0xff61,      // prtsc: Print
    0xff53,      // right
    0xff14,      // scrolllock: Scroll_Lock
    kTab,        // tab
    0xff52,      // up
};
static_assert(static_cast<std::size_t>(Key::up) + 1 == kNamedKeys.size());

}  // namespace

KeySymbol keysym_for_character(char32_t c) {
  switch (c) {
    case U'\b':
      return kBackSpace;
    case U'\t':
      return kTab;
    case U'\n':
    case U'\r':
      return kReturn;
    case U'\x1b':
      return kEscape;
    case U'\x7f':
      return kDelete;
    default:
      break;
  }
  if (c < 0x20 || (c >= 0x80 && c < 0xa0)) return kNoSymbol;
  if ((c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff) return kNoSymbol;
  return xkb_utf32_to_keysym(c);
}

KeySymbol keysym_for_key(Key key) {
  const auto index = static_cast<std::size_t>(key);
  if (index < kNamedKeys.size()) return kNamedKeys[index];
  if (key >= Key::f1 && key <= Key::f16) {
    return kF1 + static_cast<KeySymbol>(index - static_cast<std::size_t>(Key::f1));
  }
  switch (key) {
    case Key::add:
      return 0xffab;  // KP_Add
    case Key::subtract:
      return 0xffad;  // KP_Subtract
    case Key::multiply:
      return 0xffaa;  // KP_Multiply
    case Key::divide:
      return 0xffaf;  // KP_Divide
    default:
      return kNoSymbol;
  }
}

KeySymbol keysym_of(const KeyEvent& event) {
  switch (event.type) {
    case KeyEvent::Type::character:
      return keysym_for_character(event.character);
    case KeyEvent::Type::key:
      return keysym_for_key(event.key);
    case KeyEvent::Type::press:
    case KeyEvent::Type::release:
      break;
  }
  return kNoSymbol;
}

KeySymbol keysym_of(Modifier modifier) {
  switch (modifier) {
    case Modifier::shift:
      return 0xffe1;  // Shift_L
    case Modifier::ctrl:
      return 0xffe3;  // Control_L
    case Modifier::alt:
      return 0xffe9;  // Alt_L
  }
  return kNoSymbol;
}

char32_t character_of_keysym(KeySymbol keysym) {
  if (keysym >= kKeypadFirst && keysym <= kKeypadLast) return 0;
  return xkb_keysym_to_utf32(keysym);
}

bool types_text(KeySymbol keysym) {
  const char32_t c = character_of_keysym(keysym);
  return c >= 0x20 && c != 0x7f;
}

KeySymbol keysym_to_upper(KeySymbol keysym) {
  return xkb_keysym_to_upper(keysym);
}

KeySymbol keysym_to_lower(KeySymbol keysym) {
  return xkb_keysym_to_lower(keysym);
}

bool is_letter_keysym(KeySymbol keysym) {
  const KeySymbol lower = keysym_to_lower(keysym);
  const KeySymbol upper = keysym_to_upper(keysym);
  return lower != upper && (keysym == lower || keysym == upper);
}

}  // namespace tavrino
