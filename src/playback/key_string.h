// SPDX-License-Identifier: MIT
// The key-string syntax that values are typed in:
//   + ^ %      Shift, Ctrl, Alt held for the next key, or for a parenthesised
//              group: "+a", "^c", "%{F4}", "+(ab)". Modifiers combine ("^+a"),
//              but the same one twice before one key is an error.
//   ~          the Enter key.
//   {NAME}     a named key, case-insensitive: BACKSPACE BS BKSP BREAK CAPSLOCK
//              DELETE DEL DOWN END ENTER ESC HELP HOME INSERT INS LEFT NUMLOCK
//              PGDN PGUP PRTSC RIGHT SCROLLLOCK TAB UP F1..F16 ADD SUBTRACT
//              MULTIPLY DIVIDE.
//   {NAME n}   the named key n times; {c n} the character c n times
//              (n from 0 to kMaxRepeat).
//   {+} {^} {%} {~} {(} {)} {{} {}} {[} {]}
//              those characters as themselves.
//   ( )        grouping after a modifier; a bare "(" without a modifier groups
//              nothing and is allowed, but must be matched.
//   [ ]        reserved: only written as {[} and {]}.
// Every other character is typed as itself (a surrogate pair as one
// character), except control characters: a line break (CR LF, CR or LF) is one
// Enter, a tab character the Tab key, and any other control character is an
// error, since no key types it.
//
// This parser is the one place that decides what can be typed: what it
// accepts, every keyboard of every platform sends, the layout permitting, so
// that --check and START agree. Besides malformed syntax it refuses
//   - characters no key types: control characters other than line breaks and
//     tabs, lone surrogates, and the noncharacters (U+FDD0 to U+FDEF and the
//     last two code points of every plane, U+FFFE, U+FFFF, U+1FFFE, ...);
//   - a character past U+FFFF with a modifier held ("^" and an emoji), since
//     no keyboard layout has a key for one;
//   - a modifier with nothing to act on: "+()", "%{x 0}", "^({TAB 0})", which
//     would press the modifier alone (Alt alone opens a program's menu bar).
// Parsing is all or nothing: a malformed string gives an error with its
// position and a plain explanation, and no events.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "key_event.h"

namespace tavrino {

inline constexpr int kMaxRepeat = 1000;

struct KeyStringError {
  std::size_t position = 0;    // 0-based index (16-bit units) where the problem is
  std::u16string explanation;  // a plain sentence, e.g. "\"+\" at the end has no key to
                               // hold Shift for; to type a plus sign write {+}, as in B{+}."
};

struct ParsedKeys {
  KeyEvents events;  // empty when there is an error
  std::optional<KeyStringError> error;
};

// Every press in the result is matched by a release of the same modifier.
ParsedKeys parse_key_string(std::u16string_view keys);

// Literal text, such as a spreadsheet's cell: every character typed as
// itself ("A+" types A and +, "{x}" braces and x), with no syntax at all. A
// line break (CR LF, CR or LF) is one Enter and a tab the Tab key, as in a
// key string, and the characters no key types are refused the same way,
// with the position of the first.
ParsedKeys parse_literal_text(std::u16string_view text);

// The events of one value of a sheet, as the playback types it and --check
// checks it: literal text, or a key string.
ParsedKeys value_events(std::u16string_view value, bool literal);

}  // namespace tavrino
