// SPDX-License-Identifier: MIT
#include "platform/x11/autorepeat.h"

namespace tavrino {

bool taken_for_autorepeat(const std::optional<KeyAction>& previous, const KeyAction& next) {
  return next.down && previous && !previous->down && previous->keycode == next.keycode;
}

}  // namespace tavrino
