// SPDX-License-Identifier: MIT
// What a playback has changed on an X display, written where the next
// tavrino finds it: a property of the root window. A tavrino that is killed
// (SIGKILL, a crash) cannot give back the keycodes it borrowed nor let go of
// the keys it holds; the next one to type on the display reads the record
// and does it. A playback that ends keeping keycodes whose keys the target
// may not have read yet leaves its record too. No X connection is needed
// here: the keyboard reads and writes the property's text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/spare_keycodes.h"

namespace tavrino {

struct BorrowedRecord {
  std::int64_t pid = 0;  // of the tavrino that wrote it
  std::string host;
  // Keycodes it may hold down.
  std::vector<unsigned> down;
  // Keycodes it changed: what each held before, and what it set.
  std::vector<RemappedKeycode> borrowed;
  bool operator==(const BorrowedRecord&) const = default;
};

// The record as the property's text, and back. Nothing for a text that is
// not a record (another program's, or a damaged one).
std::string record_text(const BorrowedRecord& record);
std::optional<BorrowedRecord> parse_record(const std::string& text);

}  // namespace tavrino
