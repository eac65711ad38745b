// SPDX-License-Identifier: MIT
#include "platform/xkb/key_messages.h"

#include "base/text.h"
#include "base/unicode.h"

namespace tavrino {

std::u16string shown(char32_t c) {
  if (c == U' ' || is_hidden_character(c) || c > kMaxCodePoint) {
    return code_point_name(c);
  }
  return quoted(code_point_text(c));
}

std::u16string shown(const KeyEvent& event) {
  if (event.type == KeyEvent::Type::key) return u"{" + key_name(event.key) + u"}";
  return shown(event.character);
}

Status no_free_keycode_for(const KeyEvent& event) {
  return Status::failure(u"The keyboard layout has no key for " + shown(event) +
                         u" and no free key code to put it on.");
}

Status no_key_for(const KeyEvent& event) {
  return Status::failure(u"The keyboard layout has no key for " + shown(event) + u".");
}

Status not_on_free_keycode(const KeyEvent& event) {
  return Status::failure(u"The character " + shown(event) +
                         u" could not be put on a free key code.");
}

Status no_modifier_key(Modifier modifier) {
  return Status::failure(u"The keyboard layout has no " + std::u16string(modifier_name(modifier)) +
                         u" key to hold.");
}

}  // namespace tavrino
