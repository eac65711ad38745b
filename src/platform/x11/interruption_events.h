// SPDX-License-Identifier: MIT
// The X side of what must stop a playback: on the keyboard's own X
// connection, Esc through a passive grab of the Escape key on the root
// window, so that Esc pressed in any window comes here instead of going to
// the target, and a change of layout through XKB events. What they mean is
// decided in interruption_watch.h.
#pragma once

#include <vector>

#include "platform/x11/held_keys.h"
#include "platform/x11/interruption_watch.h"

struct _XDisplay;
union _XEvent;

namespace tavrino {

class InterruptionEvents {
 public:
  InterruptionEvents() = default;
  InterruptionEvents(const InterruptionEvents&) = delete;
  InterruptionEvents& operator=(const InterruptionEvents&) = delete;

  // Selects the XKB events (`xkb_event_base` from XkbQueryExtension);
  // `group`: the active group.
  void start(_XDisplay* display, int xkb_event_base, unsigned group);
  // Grabs `escape_keycodes` with any modifiers. When another program has
  // grabbed Esc already, they are grabbed with as many of the usual lock
  // states as are free; Esc then stops the playback where that program does
  // not take it first. Traps its own X errors.
  void grab_escape(std::vector<unsigned> escape_keycodes);
  // Reads the mapping of every keycode as the layout typing begins with;
  // `own`: the spare keycodes, whose remapping is the playback's own.
  void set_layout(const KeycodeSet& own);
  // Lets go of the grab and the events. Nothing without a start().
  void stop();

  // Whether `keycode` is grabbed: the playback's own Esc must not go to
  // this grab, so it lets go of the grab around it.
  bool grabs(unsigned keycode) const;
  void suspend_grab();
  void resume_grab();

  // Takes `event` into the watch when it is one of the watch's (Esc
  // through the grab, a change of group or mapping); false otherwise.
  bool take(const _XEvent& event);
  // After a run of take(): reads the mapping once, when a change may have
  // been one of layout.
  void settle();

  const InterruptionWatch& watch() const { return watch_; }

 private:
  void grab();
  void ungrab();

  _XDisplay* display_ = nullptr;
  int xkb_event_base_ = 0;
  std::vector<unsigned> escape_keycodes_;
  bool grabbed_ = false;
  InterruptionWatch watch_;
};

}  // namespace tavrino
