// SPDX-License-Identifier: MIT
#include "playback/key_event.h"

#include <array>
#include <string_view>

namespace tavrino {

namespace {

// Indexed by Key, in the order the enum declares them.
constexpr std::array<std::u16string_view, 40> kKeyNames = {
    u"BACKSPACE", u"BREAK", u"CAPSLOCK", u"DELETE",     u"DOWN",   u"END",     u"ENTER",
    u"ESC",       u"HELP",  u"HOME",     u"INSERT",     u"LEFT",   u"NUMLOCK", u"PGDN",
    u"PGUP",      u"PRTSC", u"RIGHT",    u"SCROLLLOCK", u"TAB",    u"UP",      u"F1",
    u"F2",        u"F3",    u"F4",       u"F5",         u"F6",     u"F7",      u"F8",
    u"F9",        u"F10",   u"F11",      u"F12",        u"F13",    u"F14",     u"F15",
    u"F16",       u"ADD",   u"SUBTRACT", u"MULTIPLY",   u"DIVIDE",
};
static_assert(static_cast<std::size_t>(Key::divide) + 1 == kKeyNames.size());

// Upper case like the key names beside it: "[SHIFT down] [TAB]".
void append_upper(std::u16string& out, std::u16string_view name) {
  for (char16_t c : name)
    out += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

void append_character(std::u16string& out, char32_t c) {
  if (c == U' ') {
    out += u"[SPACE]";
  } else if (c > 0xFFFF && c <= 0x10FFFF) {
    const char32_t v = c - 0x10000;
    out += static_cast<char16_t>(0xD800 + (v >> 10));
    out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
  } else {
    // Lone surrogates come through as their own code unit, as they were typed.
    out += static_cast<char16_t>(c);
  }
}

}  // namespace

std::u16string key_name(Key key) {
  const auto index = static_cast<std::size_t>(key);
  return index < kKeyNames.size() ? std::u16string(kKeyNames[index]) : u"?";
}

std::u16string describe(const KeyEvents& events) {
  std::u16string out;
  for (const KeyEvent& event : events) {
    if (!out.empty()) out += u' ';
    switch (event.type) {
      case KeyEvent::Type::character:
        append_character(out, event.character);
        break;
      case KeyEvent::Type::key:
        out += u'[';
        out += key_name(event.key);
        out += u']';
        break;
      case KeyEvent::Type::press:
        out += u'[';
        append_upper(out, modifier_name(event.modifier));
        out += u" down]";
        break;
      case KeyEvent::Type::release:
        out += u'[';
        append_upper(out, modifier_name(event.modifier));
        out += u" up]";
        break;
    }
  }
  return out;
}

std::u16string_view modifier_name(Modifier modifier) {
  switch (modifier) {
    case Modifier::shift:
      return u"Shift";
    case Modifier::ctrl:
      return u"Ctrl";
    case Modifier::alt:
      return u"Alt";
  }
  return u"?";
}

}  // namespace tavrino
