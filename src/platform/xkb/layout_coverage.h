// SPDX-License-Identifier: MIT
// Which keysyms a desktop's own keymap can type, for a keyboard that sends
// keysyms and leaves it to the compositor to find their keys (the
// remote-desktop portal). The compositor looks only in the layout the user
// has switched to, and presses Shift or AltGr for a key's second or third
// level itself, so a keysym counts as typable when every layout of the
// keymap has it on one of those three levels: whichever layout is active
// when typing starts, it is found. No connection to a display is needed here.
#pragma once

#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/xkb/keysyms.h"

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

}  // namespace tavrino
