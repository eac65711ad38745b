// SPDX-License-Identifier: MIT
// What the keyboard sees on its X connection while it types: Esc pressed in
// any window, and a change of keyboard layout (another group, or other
// symbols on the layout's keys). The playback changes the keyboard mapping
// itself when it puts characters onto spare keycodes, and the server
// announces a new keyboard description whenever the keys come from another
// device than before (the XTEST device and the real keyboard take turns),
// with the same symbols; neither is a change of layout. No X connection is
// needed here: interruption_events.h turns the X events into calls, and
// reads the mapping when asked to.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/x11/held_keys.h"
#include "platform/x11/spare_keycodes.h"
#include "playback/keyboard.h"

namespace tavrino {

// Keycodes first to first + count - 1.
struct KeycodeRange {
  unsigned first = 0;
  unsigned count = 0;
};

// A change of the keyboard mapping as XKB reports it: the keycodes whose
// symbols, actions, behaviours, explicit components or modifier bindings
// changed, and whether the key types or the virtual modifiers changed, which
// belong to no keycode.
struct MappingChange {
  std::vector<KeycodeRange> keys;
  bool key_types = false;
  bool virtual_modifiers = false;
};

// Whether `change` is the playback's own remapping: it touches keycodes,
// every one of them in `own` (the spare keycodes the playback may remap),
// and nothing that belongs to no keycode. A new layout changes the keys the
// layout has, which are never spare.
bool is_own_remap(const MappingChange& change, const KeycodeSet& own);

// Whether the keys of `now` give other symbols than those of `before`, the
// keycodes in `own` aside (their symbols are the playback's). A keycode
// missing from one counts as giving nothing there.
bool layout_differs(std::span<const KeycodeMapping> before, std::span<const KeycodeMapping> now,
                    const KeycodeSet& own);

class InterruptionWatch {
 public:
  InterruptionWatch() = default;
  // `group`: the keyboard group (layout) active when typing began.
  explicit InterruptionWatch(unsigned group) : group_(group) {}

  // The mapping of every keycode when typing began, and the spare keycodes
  // the playback remaps (see is_own_remap). Until this is known, a change of
  // mapping is looked at once it is.
  void set_layout(std::vector<KeycodeMapping> layout, const KeycodeSet& own);

  // Esc was pressed somewhere.
  void escape_pressed();
  // The active group is `group` now.
  void group_is(unsigned group);
  // XKB reports a change of mapping, or a new keyboard description.
  void mapping_changed(const MappingChange& change);
  void keyboard_replaced();

  // Whether the mapping must be read and handed to mapping_is(): a change
  // was reported that may be one of layout.
  bool needs_mapping() const { return look_ && known_ && !layout_changed_; }
  // The mapping of every keycode now.
  void mapping_is(std::span<const KeycodeMapping> now);

  // Whether the layout has changed since typing began.
  bool layout_changed() const { return layout_changed_; }
  // How often Esc was pressed so far.
  unsigned escapes() const { return escapes_; }

 private:
  unsigned group_ = 0;
  std::vector<KeycodeMapping> layout_;
  KeycodeSet own_;
  bool known_ = false;
  bool look_ = false;
  unsigned escapes_ = 0;
  bool layout_changed_ = false;
};

}  // namespace tavrino
