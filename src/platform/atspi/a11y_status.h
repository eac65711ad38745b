// SPDX-License-Identifier: MIT
// Whether the desktop's accessibility layer runs in this session, and whether
// the desktop has it switched on, asked of the session bus without starting
// anything there: asking the accessibility bus itself would start it, and
// tavrino never switches accessibility on for a session.
#pragma once

#include <string>

namespace tavrino {

struct A11yStatus {
  bool running = false;  // the accessibility bus (org.a11y.Bus) is there
  bool enabled = false;  // org.a11y.Status: IsEnabled or ScreenReaderEnabled
};

// Asks the session bus named by DBUS_SESSION_BUS_ADDRESS; all false when
// there is none.
A11yStatus session_a11y_status();

// What makes fields readable, for the message that says none could be read:
// with the layer missing or off, how to turn it on; with it on, what the
// program with the form needs.
std::u16string how_to_read_text(const A11yStatus& status);

}  // namespace tavrino
