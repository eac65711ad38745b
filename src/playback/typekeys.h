// SPDX-License-Identifier: MIT
// Keystroke playback: each entry's value, then a Tab, for entries 0 to
// itemcount - 1, into the window that has the keyboard focus.
//
// Every value is parsed before anything is sent: if one is malformed, nothing
// is typed and the message names the entry number (from 1), its value and the
// problem. When the keyboard fails halfway, every modifier that was pressed
// is released, playback stops, and the message says how many entries were
// typed in full.
#pragma once

#include "base/status.h"
#include "keyboard.h"
#include "sheet/result_sheet.h"

namespace tavrino {

// The events that typekeys would send for the sheet: each value, then Tab.
// Fails like typekeys does for a malformed value, or for an itemcount that
// the sheet's 51 slots cannot hold.
Status playback_events(const ResultSheet& sheet, KeyEvents& events);

Status typekeys(const ResultSheet& sheet, Keyboard& keyboard);

}  // namespace tavrino
