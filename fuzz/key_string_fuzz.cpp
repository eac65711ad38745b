// SPDX-License-Identifier: MIT
// Any 16-bit text as a value to type. A parse either fails with a position
// inside the text and an explanation, and no events, or gives events in which
// every modifier pressed is released again, innermost first, none is pressed
// while it is already held, none is let go without a key typed while it was
// down, and no character is one that no keyboard types (a lone surrogate, a
// noncharacter, or one past U+FFFF with a modifier held). Two cross-checks: a
// text without any of the syntax's special characters is typed character by
// character, and every character written in braces is typed as itself (line
// breaks and tabs as their keys; other control characters, lone surrogates
// and noncharacters refused).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/unicode.h"
#include "playback/key_event.h"
#include "playback/key_string.h"

namespace {

using tavrino::KeyEvent;
using tavrino::KeyEvents;
using tavrino::Modifier;

constexpr std::u16string_view kSpecial = u"+^%~{}()[]";

void check(bool condition) {
  if (!condition) std::abort();
}

bool is_control(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// What the parser must make of plain characters: a line break (CR LF when
// `merge_crlf`, CR or LF alone) is one Enter, a tab the Tab key, any other
// control character an error (nullopt), everything else itself.
std::optional<KeyEvents> expected_events(std::u32string_view characters, bool merge_crlf) {
  KeyEvents events;
  for (std::size_t i = 0; i < characters.size(); ++i) {
    const char32_t c = characters[i];
    if (c == U'\r' || c == U'\n') {
      if (merge_crlf && c == U'\r' && i + 1 < characters.size() && characters[i + 1] == U'\n') ++i;
      events.push_back(KeyEvent::of_key(tavrino::Key::enter));
    } else if (c == U'\t') {
      events.push_back(KeyEvent::of_key(tavrino::Key::tab));
    } else if (is_control(c) || tavrino::is_surrogate(c) || tavrino::is_noncharacter(c)) {
      return std::nullopt;
    } else {
      events.push_back(KeyEvent::of_character(c));
    }
  }
  return events;
}

// The parse agrees with the model: an error exactly when the model has none.
void check_matches(const tavrino::ParsedKeys& parsed, const std::optional<KeyEvents>& expected) {
  check(parsed.error.has_value() == !expected.has_value());
  if (expected) check(parsed.events == *expected);
}

void check_balanced(const KeyEvents& events) {
  struct Held {
    Modifier modifier;
    std::size_t keys;  // keys typed before it was pressed
  };
  std::vector<Held> held;
  std::size_t keys = 0;
  for (const KeyEvent& event : events) {
    switch (event.type) {
      case KeyEvent::Type::press:
        for (const Held& h : held) check(h.modifier != event.modifier);
        held.push_back({event.modifier, keys});
        break;
      case KeyEvent::Type::release:
        check(!held.empty() && held.back().modifier == event.modifier);
        check(keys > held.back().keys);
        held.pop_back();
        break;
      case KeyEvent::Type::character: {
        const char32_t c = event.character;
        check(c <= 0x10FFFF && !is_control(c) && !tavrino::is_surrogate(c) &&
              !tavrino::is_noncharacter(c));
        check(c <= 0xFFFF || held.empty());
        ++keys;
        break;
      }
      case KeyEvent::Type::key:
        ++keys;
        break;
    }
  }
  check(held.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  // An odd last byte adds an ASCII character, so that short inputs reach
  // the syntax quickly.
  if (size % 2 == 1) text.push_back(static_cast<char16_t>(data[size - 1] & 0x7F));

  const tavrino::ParsedKeys parsed = tavrino::parse_key_string(text);
  if (parsed.error) {
    check(parsed.events.empty());
    check(parsed.error->position < text.size());
    check(!parsed.error->explanation.empty() && parsed.error->explanation.back() == u'.');
  } else {
    check_balanced(parsed.events);
    (void)tavrino::describe(parsed.events);
  }

  const std::u32string characters = tavrino::to_code_points(text);
  if (text.find_first_of(kSpecial) == std::u16string::npos) {
    check_matches(parsed, expected_events(characters, true));
  }

  // Every character in braces of its own: "{+}{a}{}}".
  std::u16string braced;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = tavrino::code_point_at(text, i).length;
    braced += u'{';
    braced += text.substr(i, length);
    braced += u'}';
    i += length;
  }
  check_matches(tavrino::parse_key_string(braced), expected_events(characters, false));
  return 0;
}
