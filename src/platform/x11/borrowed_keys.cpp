// SPDX-License-Identifier: MIT
#include "platform/x11/borrowed_keys.h"

#include <unistd.h>

#include "platform/x11/keymap.h"
#include "platform/x11/left_behind.h"

namespace tavrino {

void BorrowedKeys::plan(_XDisplay* display, std::vector<unsigned> keycodes,
                        std::vector<SpareUse> uses) {
  display_ = display;
  spare_ = SpareKeycodes(std::move(keycodes), std::move(uses));
}

BorrowedKeys::Remap BorrowedKeys::map_next_batch(KeySymbol needed) {
  const std::vector<KeycodeMapping> changes = spare_.next_batch(needed);
  if (changes.empty()) return Remap::none;
  ServerHold hold(display_);
  const std::vector<KeycodeMapping> now = read_keycode_mappings(display_, spare_.keycodes());
  if (now.empty()) return Remap::none;
  if (!spare_.unchanged(now)) return Remap::taken;
  if (!spare_.knows_originals()) spare_.record_originals(now);
  write_keycode_mappings(display_, changes);
  std::vector<unsigned> changed;
  for (const KeycodeMapping& change : changes) changed.push_back(change.keycode);
  const std::vector<KeycodeMapping> written = read_keycode_mappings(display_, changed);
  hold.release();
  spare_.written(written.empty() ? changes : written);
  record(down_);
  return Remap::written;
}

bool BorrowedKeys::still_ours() {
  if (spare_.empty()) return true;
  const std::vector<KeycodeMapping> now = read_keycode_mappings(display_, spare_.keycodes());
  return now.empty() || spare_.unchanged(now);
}

void BorrowedKeys::give_back() {
  const std::vector<unsigned> changed = spare_.changed();
  if (changed.empty()) return;
  ServerHold hold(display_);
  write_keycode_mappings(display_, spare_.restore(read_keycode_mappings(display_, changed)));
}

void BorrowedKeys::record(const KeycodeSet& down) {
  down_ = down;
  if (!recording_) return;
  BorrowedRecord record;
  record.pid = getpid();
  record.host = this_host();
  for (unsigned keycode = 0; keycode < down.size(); ++keycode) {
    if (down[keycode]) record.down.push_back(keycode);
  }
  record.borrowed = spare_.borrowed();
  if (record.down.empty() && record.borrowed.empty()) {
    clear_left_behind(display_);
  } else {
    write_left_behind(display_, record);
  }
}

}  // namespace tavrino
