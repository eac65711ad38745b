// SPDX-License-Identifier: MIT
// The X headers, for the .cpp files of this folder only. Xlib defines macros
// with common names (Status, None, Bool, True, False) that clash with
// tavrino's own names; the ones in the way are removed here, so include this
// after every other header.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#undef Status
#undef None
#undef Bool
#undef True
#undef False
