// SPDX-License-Identifier: MIT
// The events a playback sends, built from the sheet before anything is sent:
// each entry's value, then a Tab, and how they are cut into batches.
#pragma once

#include <cstddef>
#include <vector>

#include "base/status.h"
#include "playback/key_event.h"
#include "playback/read_back.h"
#include "sheet/result_sheet.h"

namespace tavrino {

// The events of every entry, one after the other, and where each entry's
// Tab is.
struct EntryEvents {
  KeyEvents events;
  std::vector<std::size_t> tab_at;  // per entry: the index of its Tab
};

// The events of entries `first` to itemcount - 1; those before `first` were
// typed by an earlier playback and are neither checked nor typed again.
// Fails for a value that cannot be typed, naming the entry (from 1), its
// value and the character the problem is at, or for an itemcount that the
// sheet's 51 slots cannot hold.
Status entry_events(const ResultSheet& sheet, std::size_t first, EntryEvents& entries);

// The events that typekeys would send for the sheet: each value, then Tab.
// Fails like typekeys does for a malformed value, or for an itemcount that
// the sheet's 51 slots cannot hold.
Status playback_events(const ResultSheet& sheet, KeyEvents& events);

// Where each batch ends, in order: a value goes in batches of at most
// `most` events, and each Tab in a batch of its own, so that a Tab never
// follows a value into a window the focus moved to on the way.
std::vector<std::size_t> batch_ends(const std::vector<std::size_t>& tab_at, std::size_t most);

// The entry (from 0) that the event at `event` belongs to; its Tab counts
// as its own. Past the last Tab: the last entry. `tab_at` is not empty.
std::size_t entry_of(const std::vector<std::size_t>& tab_at, std::size_t event);

// Where the events of entry `entry` (from 0) begin.
std::size_t entry_begin(const std::vector<std::size_t>& tab_at, std::size_t entry);

// How many entries the first `events` events hold in full, Tab included.
std::size_t entries_within(const std::vector<std::size_t>& tab_at, std::size_t events);

// The entries of `entries`, which begin at entry `first` of `sheet`, with
// what each one's value leaves in a field, for reading the fields back; no
// field is known yet.
std::vector<TypedEntry> typed_entries(const ResultSheet& sheet, std::size_t first,
                                      const EntryEvents& entries);

}  // namespace tavrino
