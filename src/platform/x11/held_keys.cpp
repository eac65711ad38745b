// SPDX-License-Identifier: MIT
#include "platform/x11/held_keys.h"

#include <algorithm>

namespace tavrino {

KeycodeSet keycode_set(std::span<const unsigned> keycodes) {
  KeycodeSet set;
  for (const unsigned keycode : keycodes) {
    if (keycode != 0 && keycode < set.size()) set.set(keycode);
  }
  return set;
}

std::optional<HeldKey> held_key_of(KeySymbol keysym) {
  switch (keysym) {
    case 0xffe1:  // Shift_L
    case 0xffe2:  // Shift_R
      return HeldKey::shift;
    case 0xffe3:  // Control_L
    case 0xffe4:  // Control_R
      return HeldKey::ctrl;
    case 0xffe7:  // Meta_L
    case 0xffe8:  // Meta_R
    case 0xffe9:  // Alt_L
    case 0xffea:  // Alt_R
      return HeldKey::alt;
    case 0xfe03:  // ISO_Level3_Shift
    case 0xff7e:  // Mode_switch
    case 0xfe11:  // ISO_Level5_Shift
      return HeldKey::altgr;
    case 0xffeb:  // Super_L
    case 0xffec:  // Super_R
    case 0xffed:  // Hyper_L
    case 0xffee:  // Hyper_R
      return HeldKey::super;
    default:
      return std::nullopt;
  }
}

HeldKeys held_keys_of(const KeycodeSet& down, std::span<const BoundKey> bound,
                      const KeycodeSet& ours) {
  HeldKeys held;
  for (const BoundKey& key : bound) {
    if (key.keycode >= down.size() || !down[key.keycode] || ours[key.keycode]) continue;
    const std::optional<HeldKey> kind = held_key_of(key.keysym);
    if (kind && std::find(held.begin(), held.end(), *kind) == held.end()) held.push_back(*kind);
  }
  std::sort(held.begin(), held.end());
  return held;
}

}  // namespace tavrino
