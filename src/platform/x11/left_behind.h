// SPDX-License-Identifier: MIT
// The record of what a playback changed on the display (borrowed_record.h),
// read and written as a property of the root window, and giving back what
// a record lists.
#pragma once

#include <optional>
#include <string>

#include "platform/x11/borrowed_record.h"

struct _XDisplay;

namespace tavrino {

// This machine's name, as a record and the windows' WM_CLIENT_MACHINE give it.
std::string this_host();

std::optional<BorrowedRecord> read_left_behind(_XDisplay* display);
void write_left_behind(_XDisplay* display, const BorrowedRecord& record);
void clear_left_behind(_XDisplay* display);

// Gives back what `record` lists: lets go of its keys that the XTEST
// keyboard still holds, and gives its keycodes their old symbols where they
// still hold what it set. Then removes the record. Call it only while no
// playback types on the display (with its lock held).
void give_back(_XDisplay* display, const BorrowedRecord& record);

// Gives back what a playback of this process left behind on the display
// named by DISPLAY (its target had not handled its keys yet when it ended),
// as the program ends: its target has had all the time since. Nothing when
// the record is another program's, or another playback types now.
void give_back_own_left_behind();

}  // namespace tavrino
