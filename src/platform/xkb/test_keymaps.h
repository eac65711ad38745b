// SPDX-License-Identifier: MIT
// Keymaps for tests, as a compositor with the given layouts hands them to
// its clients.
#pragma once

#include <string>

namespace tavrino {

// The keymap in XKB's text format for `layouts` ("us", "us,de"), with the
// terminating zero that wl_keyboard.keymap hands over; empty when xkbcommon
// cannot make it (the layout is not installed).
std::string keymap_text_for(const char* layouts);

}  // namespace tavrino
