// SPDX-License-Identifier: MIT
#include "platform/xkb/modifier_tracker.h"

#include <algorithm>

namespace tavrino {

const ModifierKey& ModifierTracker::key(Modifier modifier) const {
  switch (modifier) {
    case Modifier::ctrl:
      return keys_.control;
    case Modifier::alt:
      return keys_.alt;
    case Modifier::shift:
      break;
  }
  return keys_.shift;
}

KeyActions ModifierTracker::press(Modifier modifier) {
  KeyActions actions;
  set_extra(0, actions);
  const ModifierKey& pressed = key(modifier);
  if (pressed.keycode == 0) return actions;
  if (!holds(modifier)) actions.push_back({pressed.keycode, true});
  held_.push_back(modifier);
  held_mask_ |= pressed.mask;
  return actions;
}

KeyActions ModifierTracker::release(Modifier modifier) {
  KeyActions actions;
  set_extra(0, actions);
  const auto it = std::find(held_.rbegin(), held_.rend(), modifier);
  if (it == held_.rend()) return actions;
  held_.erase(std::next(it).base());
  if (!holds(modifier)) actions.push_back({key(modifier).keycode, false});
  update_held_mask();
  return actions;
}

KeyActions ModifierTracker::stroke(unsigned needed) {
  KeyActions actions;
  // Never take away a modifier the key string holds: "+a" is Shift with the
  // key of "a".
  set_extra(needed & ~held_mask_, actions);
  return actions;
}

KeyActions ModifierTracker::release_extra() {
  KeyActions actions;
  set_extra(0, actions);
  return actions;
}

KeyActions ModifierTracker::finish() {
  KeyActions actions;
  set_extra(0, actions);
  for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
    // An earlier press of the same modifier releases it there.
    if (std::find(std::next(it), held_.rend(), *it) == held_.rend()) {
      actions.push_back({key(*it).keycode, false});
    }
  }
  held_.clear();
  held_mask_ = 0;
  return actions;
}

// Puts the extra Shift and level 3 into the state `wanted` asks for, leaving
// those already in that state alone.
void ModifierTracker::set_extra(unsigned wanted, KeyActions& actions) {
  for (const ModifierKey* modifier : {&keys_.shift, &keys_.level3}) {
    if (modifier->keycode == 0) continue;
    const bool want = (wanted & modifier->mask) != 0;
    const bool down = (extra_ & modifier->mask) != 0;
    if (want == down) continue;
    actions.push_back({modifier->keycode, want});
    extra_ ^= modifier->mask;
  }
}

bool ModifierTracker::holds(Modifier modifier) const {
  return std::find(held_.begin(), held_.end(), modifier) != held_.end();
}

void ModifierTracker::update_held_mask() {
  held_mask_ = 0;
  for (const Modifier modifier : held_) held_mask_ |= key(modifier).mask;
}

}  // namespace tavrino
