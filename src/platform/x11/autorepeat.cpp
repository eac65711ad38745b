// SPDX-License-Identifier: MIT
#include "platform/x11/autorepeat.h"

namespace tavrino {

bool needs_later_time(const std::optional<KeyAction>& previous, const KeyAction& next) {
  return next.down && previous && !previous->down && previous->keycode == next.keycode;
}

}  // namespace tavrino
