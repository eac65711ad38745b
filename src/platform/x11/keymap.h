// SPDX-License-Identifier: MIT
// The keyboard as the X server has it for one playback: which keycode and
// which modifiers type each keysym and character in the current group, the
// modifier keys, and the keycodes that have no symbols at all.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/status.h"
#include "platform/x11/spare_keycodes.h"
#include "platform/xkb/keysyms.h"
#include "platform/xkb/modifier_tracker.h"

typedef struct _XDisplay Display;
struct _XkbDesc;

namespace tavrino {

// One key to press, with the real modifiers (a mask of ShiftMask, the mask
// of the level-3 key, ...) that must be down for it to give what was asked.
struct Stroke {
  unsigned keycode = 0;
  unsigned modifiers = 0;
};

class Keymap {
 public:
  Keymap() = default;
  Keymap(const Keymap&) = delete;
  Keymap& operator=(const Keymap&) = delete;
  ~Keymap();

  // Reads the keyboard description of the core keyboard through XKB, the
  // current group and the locked modifiers (Caps Lock, Num Lock). Fails with
  // a sentence for the user when the server does not give them.
  Status load(Display* display);

  // Reads the description again after keycodes were remapped; the group and
  // the locked modifiers stay those read by load(). After a failed load or
  // reload the keymap finds no key and no spare keycode.
  Status reload();

  // The stroke that types `c` (not a control character) when the locked
  // modifiers are `locked`, taking Caps Lock into account as the clients do:
  // a lower-case letter under Caps Lock comes from Shift and its key. Without
  // a key for it, nothing. Keys are preferred in the order none, Shift,
  // level 3 (AltGr), Shift and level 3; among equals, the lowest keycode.
  std::optional<Stroke> find_character(char32_t c, unsigned locked) const;
  // The same for a keysym (Tab, F5, KP_Add, ...).
  std::optional<Stroke> find_keysym(KeySymbol keysym, unsigned locked) const;

  // Keycodes with no symbols, not bound to a modifier: free for the
  // playback to map. Highest first, since the low ones are the keys that
  // keyboards actually have. A keymap that binds no key to a modifier (the
  // server then sends no modifier map) counts as binding none.
  std::vector<unsigned> spare_keycodes() const;

  // The keycodes whose first level in the current group is `keysym`.
  std::vector<unsigned> keycodes_with(KeySymbol keysym) const;

  unsigned group() const { return group_; }
  unsigned locked_modifiers() const { return locked_; }
  unsigned caps_lock_mask() const;  // LockMask
  unsigned num_lock_mask() const { return num_lock_.mask; }
  const ModifierKey& shift() const { return shift_; }
  const ModifierKey& control() const { return control_; }
  const ModifierKey& alt() const { return alt_; }
  const ModifierKey& level3() const { return level3_; }

 private:
  struct Index {
    std::unordered_map<char32_t, Stroke> by_character;
    std::unordered_map<KeySymbol, Stroke> by_keysym;
  };

  const Index& index_for(unsigned locked) const;
  ModifierKey modifier_key(std::initializer_list<KeySymbol> keysyms) const;
  unsigned modifiers_of(unsigned keycode) const;
  void free_description();

  Display* display_ = nullptr;
  _XkbDesc* xkb_ = nullptr;
  unsigned group_ = 0;
  unsigned locked_ = 0;
  ModifierKey shift_, control_, alt_, level3_, num_lock_;
  // Built on demand, one per set of locked modifiers that the playback meets.
  mutable std::map<unsigned, Index> indexes_;
};

// What `keycodes` hold, as the core protocol lists them; nothing when the
// server does not say.
std::vector<KeycodeMapping> read_keycode_mappings(Display* display,
                                                  const std::vector<unsigned>& keycodes);

// Gives each keycode its symbols: one request per run of neighbouring
// keycodes, since a request covers a range, and keycodes in between that are
// not in `mappings` must not be touched (setting them through the core
// protocol would lose their XKB details).
void write_keycode_mappings(Display* display, std::vector<KeycodeMapping> mappings);

}  // namespace tavrino
