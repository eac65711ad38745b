// SPDX-License-Identifier: MIT
// Keeping doubled keys from looking like autorepeat. X toolkits (Qt, Xt,
// LibreOffice's own X11 backend) take a key release that is followed at once
// by a press of the same keycode with the same server time for the
// autorepeat of a held key, and some targets then drop one of the two
// presses: "Müller" arrives as "Müler", "100" as "10". XTEST stamps an event
// with the millisecond in which the server handles it, so a release and the
// next press sent together share one. The keyboard puts an event between
// them that the target takes and ignores, so that the press no longer comes
// right after the release. No X connection is needed here: the keyboard
// asks before each key event whether it needs that.
#pragma once

#include <optional>

#include "platform/xkb/modifier_tracker.h"

namespace tavrino {

// Whether `next`, sent right after `previous`, is a press that a target
// could take for autorepeat: `previous` is the release of the same keycode.
bool taken_for_autorepeat(const std::optional<KeyAction>& previous, const KeyAction& next);

}  // namespace tavrino
