// SPDX-License-Identifier: MIT
// The keycodes a playback borrows for the characters the layout lacks, on
// the X server: writing each batch the bookkeeping of spare_keycodes.h
// plans, giving them back, and keeping the record on the root window
// (left_behind.h) up to date with them and the keys held down.
#pragma once

#include <cstddef>
#include <vector>

#include "base/status.h"
#include "platform/x11/held_keys.h"
#include "platform/x11/spare_keycodes.h"

struct _XDisplay;

namespace tavrino {

class BorrowedKeys {
 public:
  BorrowedKeys() = default;
  BorrowedKeys(const BorrowedKeys&) = delete;
  BorrowedKeys& operator=(const BorrowedKeys&) = delete;

  // From now on the record on `display` is kept: its playback lock is held.
  void keep_record(_XDisplay* display) {
    display_ = display;
    recording_ = true;
  }
  // `keycodes`: the free keycodes; `uses`: what must go onto them, in
  // order (see SpareKeycodes).
  void plan(_XDisplay* display, std::vector<unsigned> keycodes, std::vector<SpareUse> uses);

  const SpareKeycodes& spare() const { return spare_; }
  void typed(KeySymbol keysym) { spare_.typed(keysym); }

  enum class Remap {
    none,       // the batch is on the keycodes already, or cannot be written
    written,    // keycodes changed: the keymap must be read again
    taken,      // another program changed the keycodes: nothing was written
  };
  // Writes the next batch (see SpareKeycodes::next_batch). The server is
  // held while the keycodes are checked and written, so that a layout loaded
  // at the same moment is never written over: its keys would be lost, and
  // the restore would blank them.
  Remap map_next_batch(KeySymbol needed);
  // Whether the borrowed keycodes still hold what this playback put there.
  bool still_ours();
  // Gives the changed keycodes their mapping back where they still hold
  // ours: one that holds something else now belongs to whoever changed it
  // since. The server is held from the look to the write.
  void give_back();
  // Writes the record: the borrowed keycodes, and the keys in `down`
  // (those that are down, or may go down before the next record).
  void record(const KeycodeSet& down);

 private:
  _XDisplay* display_ = nullptr;
  SpareKeycodes spare_;
  bool recording_ = false;
  KeycodeSet down_;  // as last recorded
};

}  // namespace tavrino
