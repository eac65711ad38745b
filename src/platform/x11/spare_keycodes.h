// SPDX-License-Identifier: MIT
// The keycodes a playback borrows for characters the layout lacks: which
// spare keycode carries which keysyms, what each new batch changes, and what
// goes back at the end. No X connection is needed here: the keyboard reads
// and writes the mappings this bookkeeping asks for.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "platform/xkb/keysyms.h"

namespace tavrino {

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

// The symbols of one keycode as the core protocol lists them (group 1
// levels 1 and 2, group 2 levels 1 and 2, further levels), NoSymbol (0)
// where a level has none. Trailing NoSymbols make no difference.
using KeycodeSymbols = std::vector<KeySymbol>;

// Whether `a` and `b` give the same symbols, trailing NoSymbols aside.
bool same_symbols(const KeycodeSymbols& a, const KeycodeSymbols& b);

struct KeycodeMapping {
  unsigned keycode = 0;
  KeycodeSymbols symbols;
  bool operator==(const KeycodeMapping&) const = default;
};

// One keycode as the restore sees it.
struct RemappedKeycode {
  unsigned keycode = 0;
  KeycodeSymbols original;  // what it held before the playback first changed it
  KeycodeSymbols set;       // what it held after the playback's last change; empty: never changed
  KeycodeSymbols now;       // what it holds now, read back just before the restore
  bool operator==(const RemappedKeycode&) const = default;
};

// The keycodes to give their original symbols back, with those symbols, in
// the order given: each one the playback changed that still holds what the
// playback set. A keycode that holds something else now was remapped by
// someone else since (a switch of layout in the middle of the playback, to
// which the keycode belongs now), and restoring it would blank a key of the
// new layout; one never changed was never ours. Once the result is written,
// the same keycodes no longer hold what the playback set, so planning again
// gives nothing.
std::vector<KeycodeMapping> plan_restore(std::span<const RemappedKeycode> keycodes);

// What a playback needs of the spare keycodes: the keysyms that no key of
// the layout types, once for every time they are typed, in order, each
// marked shifted when the key string ever holds Shift (or Shift Lock is on)
// as it is typed; and the first event that needs one.
struct SpareNeeds {
  std::vector<SpareUse> uses;
  std::optional<std::size_t> first;
};

// Walks `events` as typing will, following what Caps Lock and Num Lock
// keys do to the locked modifiers (`locked` to begin with; masks as the
// server has them), and asks `typable` whether a key of the layout types an
// event under the locks at that point. Modifier presses and releases need
// no spare keycode.
struct LockMasks {
  unsigned shift = 0;  // ShiftMask: a Shift Lock
  unsigned caps = 0;
  unsigned num = 0;
};
SpareNeeds plan_spare_needs(std::span<const KeyEvent> events, unsigned locked,
                            const LockMasks& masks,
                            const std::function<bool(const KeyEvent&, unsigned)>& typable);

class SpareKeycodes {
 public:
  SpareKeycodes() = default;
  // `keycodes`: the free keycodes (Keymap::spare_keycodes), the first ones
  // taken first. `uses`: the keysyms that must go onto them, in the order
  // the playback types them (see plan_spare_batch).
  SpareKeycodes(std::vector<unsigned> keycodes, std::vector<SpareUse> uses);

  bool empty() const { return slots_.empty(); }
  std::vector<unsigned> keycodes() const;
  bool contains(unsigned keycode) const;

  // A keystroke of `keysym` went out on one of the keycodes: the batches
  // planned from here on start after it when it was the next use.
  void typed(KeySymbol keysym);

  // Assigns the next batch to the keycodes, the batch that starts with the
  // next use when that is `needed`, else `needed` alone on a keycode of its
  // own (something the uses did not foresee). Keysyms already on a keycode
  // stay there, the others take keycodes whose keysyms the batch does not
  // need. Returns the keycodes that change, each with its symbols for level
  // 1 and 2, in the order of the keycodes given; none when the batch is on
  // the keycodes already. The caller writes them, then reports what they
  // hold through written().
  std::vector<KeycodeMapping> next_batch(KeySymbol needed);

  // Whether record_originals() was called. It must be, before the first
  // change is written, with what every keycode held before.
  bool knows_originals() const { return knows_originals_; }
  void record_originals(std::span<const KeycodeMapping> mappings);

  // Whether the keycodes in `now` (read from the server) hold what the
  // playback last left on them: what it set there; where it set nothing
  // yet, what they held before, or nothing at all before the originals are
  // recorded, since spare keycodes are those with no symbols. Anything else
  // means another program changed the keymap since (a switch of layout),
  // and the keycode now belongs to it.
  bool unchanged(std::span<const KeycodeMapping> now) const;

  // Records what changed keycodes hold after a change was written (read
  // back from the server, or as written when that fails): the restore gives
  // back only keycodes that still hold it.
  void written(std::span<const KeycodeMapping> mappings);

  // The keycodes changed and not restored yet, in the order given.
  std::vector<unsigned> changed() const;
  // Those keycodes with what each held before and what it holds now as far
  // as the playback knows (`now` left empty).
  std::vector<RemappedKeycode> borrowed() const;

  // How many batches (see plan_spare_batch) the uses take in all: more
  // than one means that keycodes change meaning while typing.
  std::size_t batches_needed() const;

  // What to write to restore the keycodes, given what changed() keycodes
  // hold `now` (a keycode missing from `now` counts as holding nothing);
  // see plan_restore. Afterwards no keycode counts as changed and none
  // carries a keysym, so a second restore gives nothing.
  std::vector<KeycodeMapping> restore(std::span<const KeycodeMapping> now);

 private:
  struct Slot {
    unsigned keycode = 0;
    SpareKey key;  // what the playback put on it, {} for nothing
    KeycodeSymbols original;
    KeycodeSymbols set;
  };
  Slot* find(unsigned keycode);
  const Slot* find(unsigned keycode) const;

  std::vector<Slot> slots_;
  std::vector<SpareUse> uses_;
  std::size_t next_use_ = 0;
  bool knows_originals_ = false;
};

}  // namespace tavrino
