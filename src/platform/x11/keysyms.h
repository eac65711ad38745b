// SPDX-License-Identifier: MIT
// Keysyms for what tavrino types, and the plan for putting keysyms that no key
// of the layout has onto spare keycodes. No X connection is needed here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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

// Upper and lower case of a keysym as clients work them out for Caps Lock.
KeySymbol keysym_to_upper(KeySymbol keysym);
KeySymbol keysym_to_lower(KeySymbol keysym);

// What one spare keycode gets: its level without and with Shift.
struct SpareKey {
  KeySymbol level1 = kNoSymbol;
  KeySymbol level2 = kNoSymbol;
  bool operator==(const SpareKey&) const = default;
};

// A keysym that must go onto a spare keycode, once for every time it is
// typed, and whether the key string holds Shift at any of those times.
struct SpareUse {
  KeySymbol keysym = kNoSymbol;
  bool shifted = false;
  bool operator==(const SpareUse&) const = default;
};

// The keys for the next batch of keysyms that must be put onto spare
// keycodes, and the position in `uses` where the batch ends.
struct SpareBatch {
  std::vector<SpareKey> keys;
  std::size_t end = 0;
};

// Plans the next batch: `uses` in the order they will be typed (repeats
// included); the batch covers as many of them from `from` on as fit onto
// `key_count` keycodes. Every batch after the first costs a wait until the
// target has read what was typed before the mapping changes, so each keycode
// carries as much as can be typed on it exactly:
// - A letter's keycode has its lower case on level 1 and its upper case on
//   level 2, as on any letter key, so Shift and Caps Lock work on it as the
//   target expects, and both cases share it.
// - A keysym the key string types while holding Shift is on both levels of
//   its own keycode, so that the Shift does not turn it into another
//   character; so is a named key (F13, Help), which must come without a
//   Shift the key string did not ask for.
// - Other characters (no case, never under a held Shift) go two to a
//   keycode, one on each level, in the order they first come; an odd one
//   out is on both levels.
// Letters and shifted keysyms come first in `keys`. Covers at least one use
// when `key_count` > 0 and `from` < uses.size(); covers nothing otherwise.
SpareBatch plan_spare_batch(std::span<const SpareUse> uses, std::size_t from,
                            std::size_t key_count);

}  // namespace tavrino
