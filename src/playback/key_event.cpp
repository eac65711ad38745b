// SPDX-License-Identifier: MIT
#include "playback/key_event.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

#include "base/unicode.h"

namespace tavrino {

namespace {

struct KeySpelling {
  std::u16string_view name;
  Key key;
};

// Every spelling the key-string syntax accepts for a named key, upper case;
// the first spelling of a key is the one it is shown by.
constexpr std::array<KeySpelling, 44> kSpellings = {{
    {u"BACKSPACE", Key::backspace},
    {u"BS", Key::backspace},
    {u"BKSP", Key::backspace},
    {u"BREAK", Key::break_key},
    {u"CAPSLOCK", Key::capslock},
    {u"DELETE", Key::delete_key},
    {u"DEL", Key::delete_key},
    {u"DOWN", Key::down},
    {u"END", Key::end},
    {u"ENTER", Key::enter},
    {u"ESC", Key::escape},
    {u"HELP", Key::help},
    {u"HOME", Key::home},
    {u"INSERT", Key::insert},
    {u"INS", Key::insert},
    {u"LEFT", Key::left},
    {u"NUMLOCK", Key::numlock},
    {u"PGDN", Key::pgdn},
    {u"PGUP", Key::pgup},
    {u"PRTSC", Key::prtsc},
    {u"RIGHT", Key::right},
    {u"SCROLLLOCK", Key::scrolllock},
    {u"TAB", Key::tab},
    {u"UP", Key::up},
    {u"F1", Key::f1},
    {u"F2", Key::f2},
    {u"F3", Key::f3},
    {u"F4", Key::f4},
    {u"F5", Key::f5},
    {u"F6", Key::f6},
    {u"F7", Key::f7},
    {u"F8", Key::f8},
    {u"F9", Key::f9},
    {u"F10", Key::f10},
    {u"F11", Key::f11},
    {u"F12", Key::f12},
    {u"F13", Key::f13},
    {u"F14", Key::f14},
    {u"F15", Key::f15},
    {u"F16", Key::f16},
    {u"ADD", Key::add},
    {u"SUBTRACT", Key::subtract},
    {u"MULTIPLY", Key::multiply},
    {u"DIVIDE", Key::divide},
}};

constexpr bool every_key_spelled() {
  for (int k = 0; k <= static_cast<int>(Key::divide); ++k) {
    bool found = false;
    for (const KeySpelling& spelling : kSpellings) found = found || spelling.key == Key(k);
    if (!found) return false;
  }
  return true;
}
static_assert(every_key_spelled(), "every Key needs a spelling");

char16_t ascii_upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Upper case like the key names beside it: "[SHIFT down] [TAB]".
void append_upper(std::u16string& out, std::u16string_view name) {
  for (char16_t c : name) out += ascii_upper(c);
}

void append_character(std::u16string& out, char32_t c) {
  if (c == U' ') {
    out += u"[SPACE]";
  } else {
    // Lone surrogates come through as their own code unit, as they were typed.
    append_code_point(out, c);
  }
}

}  // namespace

std::u16string key_name(Key key) {
  for (const KeySpelling& spelling : kSpellings) {
    if (spelling.key == key) return std::u16string(spelling.name);
  }
  return u"?";
}

std::optional<Key> key_by_name(std::u16string_view name) {
  for (const KeySpelling& spelling : kSpellings) {
    if (spelling.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), spelling.name.begin(),
                   [](char16_t a, char16_t b) { return ascii_upper(a) == b; })) {
      return spelling.key;
    }
  }
  return std::nullopt;
}

std::vector<Modifier> held_after(std::span<const KeyEvent> events) {
  std::vector<Modifier> held;
  for (const KeyEvent& event : events) {
    if (event.type == KeyEvent::Type::press) {
      held.push_back(event.modifier);
    } else if (event.type == KeyEvent::Type::release) {
      const auto it = std::find(held.rbegin(), held.rend(), event.modifier);
      if (it != held.rend()) held.erase(std::next(it).base());
    }
  }
  return held;
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
