// SPDX-License-Identifier: MIT
// How the window names the sheet's entries to the user: where the next
// START goes on after a stop, and which row of a spreadsheet holds a mark
// that cannot be typed.
#pragma once

#include <cstddef>
#include <string>

#include "base/status.h"
#include "sheet/result_sheet.h"

namespace tavrino {

// "entry 24, Priya Raman", or "entry 24" when the name is empty; `entry`
// counts from 0.
std::u16string entry_name(const ResultSheet& sheet, std::size_t entry);

// After a playback that stopped with entry `next` (from 0) the first not
// typed in full: "Click into the field for entry 24, Priya Raman, then press
// START to go on."
std::u16string go_on_sentence(const ResultSheet& sheet, std::size_t next);

// The status line while the next START goes on at entry `next`: "START goes
// on at entry 24, Priya Raman".
std::u16string go_on_status(const ResultSheet& sheet, std::size_t next);

// For a sheet read from rows: fails for the first value from entry `first`
// on that cannot be typed, naming its entry and the row it came from, for
// the reasons and with the words the playback would use; succeeds when every
// one can be typed, and always for a data file, whose values the playback
// checks itself.
Status check_rows_typable(const ResultSheet& sheet, std::size_t first);

}  // namespace tavrino
