// SPDX-License-Identifier: MIT
// What the remote-desktop portal is asked to type: keysyms, which the
// compositor finds keys for in the layout in use (see layout_coverage.h).
// No connection is needed here.
#pragma once

#include <optional>
#include <span>

#include "platform/xkb/keysyms.h"
#include "platform/xkb/layout_coverage.h"
#include "playback/keyboard.h"

namespace tavrino {

// The keysym a keysym-sending keyboard sends for an event: a character's or
// named key's own, and Shift_L, Control_L or Alt_L for a modifier.
KeySymbol portal_keysym(const KeyEvent& event);

// The first event whose keysym the layouts cannot type, with the sentence
// that tells why; nothing when all can be typed.
std::optional<KeyboardSession::Untypable> first_untypable(const LayoutCoverage& coverage,
                                                          std::span<const KeyEvent> events);

}  // namespace tavrino
