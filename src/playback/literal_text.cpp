// SPDX-License-Identifier: MIT
#include "playback/literal_text.h"

#include <utility>

#include "base/unicode.h"
#include "playback/key_string.h"

namespace tavrino {

std::optional<KeyEvent> plain_character_event(char32_t c, std::u16string& why) {
  if (c == u'\r' || c == u'\n') return KeyEvent::of_key(Key::enter);
  if (c == u'\t') return KeyEvent::of_key(Key::tab);
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
    why = u"The control character " + code_point_name(c) +
          u" cannot be typed; remove it from the value.";
    return std::nullopt;
  }
  if (is_surrogate(c)) {
    why = u"The character " + code_point_name(c) +
          u" is half of a surrogate pair without its other half, which cannot be typed; remove "
          u"it from the value.";
    return std::nullopt;
  }
  if (is_noncharacter(c)) {
    why = u"The character " + code_point_name(c) +
          u" is a noncharacter, which Unicode keeps out of text and no key types; remove it "
          u"from the value.";
    return std::nullopt;
  }
  return KeyEvent::of_character(c);
}

std::size_t typed_length(std::u16string_view text, std::size_t at) {
  if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n') return 2;
  return code_point_at(text, at).length;
}

ParsedKeys parse_literal_text(std::u16string_view text) {
  ParsedKeys parsed;
  for (std::size_t at = 0; at < text.size(); at += typed_length(text, at)) {
    std::u16string why;
    const std::optional<KeyEvent> event = plain_character_event(code_point_at(text, at).value, why);
    if (!event) {
      parsed.events.clear();
      parsed.error = KeyStringError{at, std::move(why)};
      return parsed;
    }
    parsed.events.push_back(*event);
  }
  return parsed;
}

ParsedKeys value_events(std::u16string_view value, bool literal) {
  return literal ? parse_literal_text(value) : parse_key_string(value);
}

}  // namespace tavrino
