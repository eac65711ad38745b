// SPDX-License-Identifier: MIT
// Which modifier keys are down during a playback, and which presses and
// releases keep them right. No connection to a display is needed here: the
// keyboard (XTEST, the Wayland virtual keyboard) turns the answers into
// keystrokes.
//
// Two kinds of modifier presses meet on one keyboard: those the key string
// asks for ("+a", "^(ab)"), which stay down until their release event, and
// the "extra" Shift and level 3 (AltGr) that a character needs on its key
// ("A", "@" on a German layout), which are pressed on our own. An extra
// press never takes away a modifier the key string holds, and stays down
// from one character to the next while they need it, so a run of capitals
// is typed under one Shift press.
#pragma once

#include <vector>

#include "playback/key_event.h"

namespace tavrino {

// A modifier key: the keycode to press and the real modifiers it sets (a
// mask of Shift, Control, Mod1, ... as XKB numbers them). An absent one has
// keycode 0.
struct ModifierKey {
  unsigned keycode = 0;
  unsigned mask = 0;
};

// The modifier keys of the layout that a playback presses.
struct ModifierKeys {
  ModifierKey shift, control, alt, level3;
};

// One key press or release to send.
struct KeyAction {
  unsigned keycode = 0;
  bool down = false;
  bool operator==(const KeyAction&) const = default;
};
using KeyActions = std::vector<KeyAction>;

class ModifierTracker {
 public:
  ModifierTracker() = default;
  explicit ModifierTracker(const ModifierKeys& keys) : keys_(keys) {}

  // The key of a modifier the key string names (shift, ctrl, alt).
  const ModifierKey& key(Modifier modifier) const;

  // The real modifiers the key string holds down now.
  unsigned held() const { return held_mask_; }

  // The key string presses `modifier`: the extra modifiers go up first, then
  // its key goes down unless the key string holds it already (it then takes
  // one more release to come up). Tracks nothing when the layout has no key
  // for it; the caller refuses such an event.
  KeyActions press(Modifier modifier);

  // The key string releases `modifier`: the extra modifiers go up first,
  // then its key, once the releases match the presses. A release without a
  // press (after a press that failed) only lifts the extra modifiers.
  KeyActions release(Modifier modifier);

  // A key that gives its symbol with the real modifiers `needed` down is
  // about to be pressed: the extra Shift and level 3 go down or up to
  // provide what `needed` asks for beyond what the key string holds, and
  // those already right stay as they are. Modifiers other than Shift and
  // level 3 in `needed` are left to the key string.
  KeyActions stroke(unsigned needed);

  // Lifts the extra modifiers, e.g. before the keystrokes so far are
  // waited on, or at the end of a send.
  KeyActions release_extra();

  // Releases everything still down: the extra modifiers, then each modifier
  // of the key string once, however often it was pressed, in the reverse
  // order of their first presses. Afterwards nothing is held.
  KeyActions finish();

 private:
  void set_extra(unsigned wanted, KeyActions& actions);
  bool holds(Modifier modifier) const;
  void update_held_mask();

  ModifierKeys keys_;
  // The key string's presses without their release yet, in the order made.
  std::vector<Modifier> held_;
  unsigned held_mask_ = 0;
  // The extra Shift and level 3 that are down.
  unsigned extra_ = 0;
};

}  // namespace tavrino
