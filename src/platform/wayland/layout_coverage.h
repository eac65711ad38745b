// SPDX-License-Identifier: MIT
// Which keysyms a desktop's own keymap can type, for a keyboard that sends
// keysyms and leaves it to the compositor to find their keys (the
// remote-desktop portal). The compositor looks only in the layout the user
// has switched to, and presses Shift or AltGr for a key's second or third
// level itself, so a keysym counts as typable when every layout of the
// keymap has it on one of those three levels: whichever layout is active
// when typing starts, it is found. No Wayland connection is needed here.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/x11/keysyms.h"
#include "playback/keyboard.h"

namespace tavrino {

class LayoutCoverage {
 public:
  // Reads a keymap in XKB's text format, as wl_keyboard.keymap hands it to
  // every client. Nothing when xkbcommon cannot compile it.
  static std::optional<LayoutCoverage> from_keymap_text(std::string_view text);

  // Whether the compositor can type `keysym` whatever layout is active.
  bool types(KeySymbol keysym) const;
  // Whether at least one layout has it.
  bool in_some(KeySymbol keysym) const;

 private:
  // The keysyms on levels 1 to 3 of each layout.
  std::vector<std::unordered_set<KeySymbol>> layouts_;
};

// The keysym a keysym-sending keyboard sends for an event: a character's or
// named key's own, and Shift_L, Control_L or Alt_L for a modifier.
KeySymbol portal_keysym(const KeyEvent& event);

// The first event whose keysym the layouts cannot type, with the sentence
// that tells why; nothing when all can be typed.
std::optional<KeyboardSession::Untypable> first_untypable(const LayoutCoverage& coverage,
                                                          std::span<const KeyEvent> events);

}  // namespace tavrino
