// SPDX-License-Identifier: MIT
// Which modifier keys the user holds down, from the keys the X server has
// down. No X connection is needed here: the keyboard reads the keys that are
// down and the keys of the modifier map, and asks this which of them count.
#pragma once

#include <bitset>
#include <optional>
#include <span>

#include "platform/xkb/keysyms.h"
#include "playback/keyboard.h"

namespace tavrino {

// One bit per keycode.
using KeycodeSet = std::bitset<256>;

// The set of `keycodes`; 0, which is no keycode, and those past 255 left
// out.
KeycodeSet keycode_set(std::span<const unsigned> keycodes);

// A key that the modifier map binds to a modifier, with the symbol of its
// first level in the current group.
struct BoundKey {
  unsigned keycode = 0;
  KeySymbol keysym = kNoSymbol;
};

// The held key that a key with `keysym` is: Shift, Control, Alt (and Meta),
// AltGr (ISO_Level3_Shift, Mode_switch, ISO_Level5_Shift), Super (and
// Hyper). Nothing for the lock keys (Caps Lock, Shift Lock, Num Lock): a
// lock is a state, not a key held, and the keyboard deals with it on its
// own. Nothing for any other symbol.
std::optional<HeldKey> held_key_of(KeySymbol keysym);

// The held keys among `bound` whose keycode is in `down` and not in `ours`
// (the keys the playback itself holds), each once, in the order HeldKey
// declares them.
HeldKeys held_keys_of(const KeycodeSet& down, std::span<const BoundKey> bound,
                      const KeycodeSet& ours);

}  // namespace tavrino
