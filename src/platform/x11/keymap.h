// SPDX-License-Identifier: MIT
// The keyboard as the X server has it for one playback, read through XKB:
// the plain description of every keycode that key_search.h searches, the
// active group, the locked modifiers and the modifier keys; and reading and
// writing what keycodes hold, for the spare keycodes a playback borrows.
#pragma once

#include <optional>
#include <vector>

#include "base/status.h"
#include "platform/x11/key_search.h"
#include "platform/x11/spare_keycodes.h"
#include "platform/xkb/modifier_tracker.h"

typedef struct _XDisplay Display;

namespace tavrino {

class Keymap {
 public:
  // Reads the keyboard description of the core keyboard through XKB, the
  // current group and the locked modifiers (Caps Lock, Num Lock). Fails with
  // a sentence for the user when the server does not give them.
  Status load(Display* display);

  // Reads the description again after keycodes were remapped; the group, the
  // locked modifiers and the modifier keys stay those read by load(). After
  // a failed load or reload the keymap finds no key and no spare keycode.
  Status reload();

  // What types `event` under the locked modifiers `locked` (KeySearch::find).
  std::optional<Stroke> find(const KeyEvent& event, unsigned locked) const {
    return search_.find(event, locked);
  }
  // Keycodes free for the playback to map (see spare_keycodes in
  // key_search.h). A keymap that binds no key to a modifier (the server then
  // sends no modifier map) counts as binding none.
  std::vector<unsigned> spare_keycodes() const { return tavrino::spare_keycodes(search_.keys()); }
  // The keycodes whose first level in the current group is `keysym`.
  std::vector<unsigned> keycodes_with(KeySymbol keysym) const {
    return tavrino::keycodes_with(search_.keys(), keysym);
  }

  unsigned group() const { return group_; }
  unsigned locked_modifiers() const { return locked_; }
  unsigned caps_lock_mask() const { return kLockMask; }
  unsigned num_lock_mask() const { return num_lock_.mask; }
  const ModifierKey& shift() const { return shift_; }
  const ModifierKey& control() const { return control_; }
  const ModifierKey& alt() const { return alt_; }
  const ModifierKey& level3() const { return level3_; }

 private:
  Display* display_ = nullptr;
  unsigned group_ = 0;
  unsigned locked_ = 0;
  ModifierKey shift_, control_, alt_, level3_, num_lock_;
  KeySearch search_;
};

// Holds the X server for this connection alone while it lives, so that a
// look at the keymap and the write that depends on it are one step for
// every other program (which waits meanwhile: keep it short).
class ServerHold {
 public:
  explicit ServerHold(Display* display);
  ~ServerHold() { release(); }
  ServerHold(const ServerHold&) = delete;
  ServerHold& operator=(const ServerHold&) = delete;
  void release();

 private:
  Display* display_;
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
