// SPDX-License-Identifier: MIT
// Reading what the X server says about the window that has the keyboard
// focus, for classify_focus (focus_facts.h).
#pragma once

#include "platform/x11/focus_facts.h"

struct _XDisplay;

namespace tavrino {

// The facts about the focus now. The focus may be on a child window of a
// program's top-level (a field of a form); the top-level is the window that
// carries WM_STATE (the client window a window manager manages), looked for
// from the focus up to the root and, when the focus is on a window
// manager's frame, below it; without a window manager, the child of the
// root. X errors (a window that goes away meanwhile) leave the facts
// incomplete; the caller traps them.
FocusFacts read_focus(_XDisplay* display);

}  // namespace tavrino
