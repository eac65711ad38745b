// SPDX-License-Identifier: MIT
// The X connection a playback types on.
#pragma once

#include "base/status.h"
#include "platform/x11/error_trap.h"

struct _XDisplay;

namespace tavrino {

struct TypingDisplay {
  _XDisplay* display = nullptr;
  int xkb_event_base = 0;  // where XKB's events begin
};

// Connects to the X display named by DISPLAY, with its loss recorded in
// `errors` (which must outlive the connection), and makes sure it offers
// XTEST and XKB. Another program's server grab does not hold its keystrokes
// back. Fails with a sentence for the user when there is no X display or it
// lacks one of them; the connection is then closed again.
Status open_typing_display(XErrors& errors, TypingDisplay& opened);

}  // namespace tavrino
