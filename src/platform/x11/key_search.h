// SPDX-License-Identifier: MIT
// Which key, and which modifiers with it, type a character or a keysym on
// the layout the X server has, found in a plain description of its keymap
// (keymap.h reads it). No X connection is needed here.
//
// The search works out what each key gives as the clients that receive it
// do: the key's type says which level each combination of modifiers
// selects, and a client turns the symbol into upper case when Caps Lock is
// on and the key's type does not use it up (Xlib and xkbcommon alike). So a
// lower-case letter under Caps Lock comes from Shift and its key, and a key
// whose type ignores Caps Lock gives the capital of its symbol.
#pragma once

#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/xkb/keysyms.h"
#include "platform/xkb/modifier_tracker.h"
#include "playback/key_event.h"

namespace tavrino {

// The real modifier masks of the core protocol that the search itself
// needs, spelled out so that this file needs no X header.
inline constexpr unsigned kShiftMask = 1u << 0;
inline constexpr unsigned kLockMask = 1u << 1;

// A key type as XKB has it: the real modifiers it looks at, and the level
// that each combination of them selects; a combination it does not list
// selects level 1 (index 0).
struct KeyType {
  struct Entry {
    unsigned modifiers = 0;  // the combination, among `modifiers` of the type
    unsigned level = 0;      // 0 for level 1
    unsigned preserve = 0;   // modifiers of the combination it leaves unused
  };
  unsigned modifiers = 0;
  std::vector<Entry> map;  // the active entries, in the type's order
};

// One keycode of the keymap.
struct LayoutKey {
  unsigned keycode = 0;
  // In how many groups (layouts) it has symbols: 0 for a keycode with none.
  unsigned groups = 0;
  // The real modifiers the modifier map binds it to.
  unsigned bound = 0;
  // The symbol of its first level in the active group, or in the first
  // group when it has fewer: what the key is known by when modifier keys and
  // Esc are looked for.
  KeySymbol symbol = kNoSymbol;
  // Its type and its symbols on each level, level 1 first, in the group XKB
  // uses for the active one (a key with fewer groups wraps around, or as its
  // group information says).
  KeyType type;
  std::vector<KeySymbol> levels;
};

// What a key gives with the real modifiers `state` down or locked: its
// symbol (kNoSymbol for none) and the modifiers its type uses up.
struct Translation {
  KeySymbol keysym = kNoSymbol;
  unsigned consumed = 0;
};
Translation translate(const LayoutKey& key, unsigned state);

// The first key (in the order of `keys`) whose symbol is one of `symbols`,
// tried in order, and that the modifier map binds to a modifier, with that
// modifier's mask. A key with the symbol but no binding (the right Alt key
// of some layouts, which only carries an action) would leave the mask
// unknown, so it is passed over. Keycode 0 when there is none.
ModifierKey find_modifier_key(std::span<const LayoutKey> keys,
                              std::initializer_list<KeySymbol> symbols);

// Keycodes with no symbols in any group, not bound to a modifier: free for
// the playback to map. Highest first, since the low ones are the keys that
// keyboards actually have.
std::vector<unsigned> spare_keycodes(std::span<const LayoutKey> keys);

// The keycodes known by `keysym` (see LayoutKey::symbol), lowest first.
std::vector<unsigned> keycodes_with(std::span<const LayoutKey> keys, KeySymbol keysym);

// One key to press, with the real modifiers (a mask of kShiftMask, the mask
// of the level-3 key, ...) that must be down for it to give what was asked.
struct Stroke {
  unsigned keycode = 0;
  unsigned modifiers = 0;
  bool operator==(const Stroke&) const = default;
};

class KeySearch {
 public:
  KeySearch() = default;
  // `keys`: every keycode of the keymap, lowest first. `shift` and `level3`:
  // the layout's Shift and level-3 (AltGr) keys, keycode 0 when it has
  // none; the search presses no modifier the layout has no key for.
  KeySearch(std::vector<LayoutKey> keys, ModifierKey shift, ModifierKey level3);

  const std::vector<LayoutKey>& keys() const { return keys_; }

  // The stroke that types `event` when the locked modifiers are `locked`:
  // a character by what the keys type (a layout may give it by its classic
  // keysym or by its Unicode one; never by a keypad key, whose character a
  // target may not take as one), a named key by its keysym. Keys are
  // preferred in the order none, Shift, level 3, Shift and level 3; among
  // equals, the lowest keycode. Nothing for a modifier's press or release,
  // and nothing when no key gives it.
  std::optional<Stroke> find(const KeyEvent& event, unsigned locked) const;

 private:
  struct Index {
    std::unordered_map<char32_t, Stroke> by_character;
    std::unordered_map<KeySymbol, Stroke> by_keysym;
  };
  const Index& index_for(unsigned locked) const;

  std::vector<LayoutKey> keys_;
  ModifierKey shift_, level3_;
  // Built on demand, one per set of locked modifiers that the playback meets.
  mutable std::map<unsigned, Index> indexes_;
};

}  // namespace tavrino
