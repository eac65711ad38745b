// SPDX-License-Identifier: MIT
// Keeping doubled keys from looking like autorepeat. X toolkits (Qt, Xt,
// LibreOffice's own X11 backend) take a key release that is followed at once
// by a press of the same keycode with the same server time for the
// autorepeat of a held key, and a target then drops one of the two presses:
// "Müller" arrives as "Müler", "100" as "10". XTEST stamps an event with the
// millisecond in which the server handles it, so a release and the next
// press sent together share one. No X connection is needed here: the
// keyboard asks before each key event whether it must be handled in a later
// millisecond than the one before.
#pragma once

#include <optional>

#include "platform/x11/modifier_tracker.h"

namespace tavrino {

// Whether `next`, sent right after `previous`, is a press that a target
// would take for autorepeat unless its server time is later: `previous` is
// the release of the same keycode.
bool needs_later_time(const std::optional<KeyAction>& previous, const KeyAction& next);

}  // namespace tavrino
