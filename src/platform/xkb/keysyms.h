// SPDX-License-Identifier: MIT
// Keysyms: the names XKB gives what a key types, shared by every Linux
// keyboard (XTEST, the Wayland virtual keyboard, the remote-desktop portal).
// No connection to a display is needed here.
#pragma once

#include <cstdint>

#include "playback/key_event.h"

namespace tavrino {

using KeySymbol = std::uint32_t;
inline constexpr KeySymbol kNoSymbol = 0;

// The keysym that types `c`. Characters that have a classic keysym get it
// (Latin-1 is its own keysym, U+20AC is EuroSign), because the X server and
// every client know the upper and lower case of those; other characters get
// the Unicode keysym 0x01000000 + c. '\n' and '\r' are Return, '\t' Tab,
// '\b' BackSpace, U+001B Escape, U+007F Delete. kNoSymbol for any other
// control character, a surrogate or a value beyond U+10FFFF: no key types
// those.
KeySymbol keysym_for_character(char32_t c);

// The keysym of a named key: Tab, Return for ENTER, KP_Add for ADD, ...
KeySymbol keysym_for_key(Key key);

// The keysym a character or named-key event types, as the two above give it;
// kNoSymbol for a modifier's press or release.
KeySymbol keysym_of(const KeyEvent& event);

// The keysym of the left key of a modifier: Shift_L, Control_L, Alt_L.
KeySymbol keysym_of(Modifier modifier);

// The character a keysym types, or 0 when it types none (F5, Shift_L, dead
// keys). Keypad keysyms count as none too: a keypad key may send an escape
// sequence instead of its character (a terminal in keypad application mode),
// so characters are never typed on the keypad.
char32_t character_of_keysym(KeySymbol keysym);

// Whether `keysym` types a character as text: a letter, digit, sign or
// blank. Not the keysyms of the keys that type a control character (Return,
// Tab, BackSpace, Escape, Delete), which a target takes as those keys, nor
// those that type no character at all (F5, Shift_L).
bool types_text(KeySymbol keysym);

// Upper and lower case of a keysym as clients work them out for Caps Lock.
KeySymbol keysym_to_upper(KeySymbol keysym);
KeySymbol keysym_to_lower(KeySymbol keysym);

// Whether `keysym` is a letter: it has a lower and an upper case and is one
// of them. A title-case letter such as U+01C5 is neither, and so counts as
// no letter.
bool is_letter_keysym(KeySymbol keysym);

}  // namespace tavrino
