// SPDX-License-Identifier: MIT
#include "platform/x11/interruption_events.h"

#include <algorithm>
#include <utility>

#include "platform/x11/error_trap.h"

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

constexpr unsigned long kXkbEvents =
    XkbNewKeyboardNotifyMask | XkbMapNotifyMask | XkbStateNotifyMask;

MappingChange change_of(const XkbMapNotifyEvent& map) {
  MappingChange change;
  change.key_types = (map.changed & XkbKeyTypesMask) != 0;
  change.virtual_modifiers = (map.changed & XkbVirtualModsMask) != 0;
  const auto add = [&](unsigned mask, int first, int count) {
    if ((map.changed & mask) != 0 && count > 0) {
      change.keys.push_back({static_cast<unsigned>(first), static_cast<unsigned>(count)});
    }
  };
  add(XkbKeySymsMask, map.first_key_sym, map.num_key_syms);
  add(XkbKeyActionsMask, map.first_key_act, map.num_key_acts);
  add(XkbKeyBehaviorsMask, map.first_key_behavior, map.num_key_behaviors);
  add(XkbExplicitComponentsMask, map.first_key_explicit, map.num_key_explicit);
  add(XkbModifierMapMask, map.first_modmap_key, map.num_modmap_keys);
  add(XkbVirtualModMapMask, map.first_vmodmap_key, map.num_vmodmap_keys);
  return change;
}

// The mapping of every keycode, as the core protocol lists it.
std::vector<KeycodeMapping> read_all_mappings(Display* display) {
  int low = 0, high = 0, per = 0;
  XDisplayKeycodes(display, &low, &high);
  KeySym* all = XGetKeyboardMapping(display, static_cast<KeyCode>(low), high - low + 1, &per);
  std::vector<KeycodeMapping> mappings;
  if (all == nullptr) return mappings;
  for (int keycode = low; keycode <= high; ++keycode) {
    const KeySym* first = all + (keycode - low) * per;
    mappings.push_back({static_cast<unsigned>(keycode), KeycodeSymbols(first, first + per)});
  }
  XFree(all);
  return mappings;
}

}  // namespace

void InterruptionEvents::start(Display* display, int xkb_event_base, unsigned group) {
  display_ = display;
  xkb_event_base_ = xkb_event_base;
  watch_ = InterruptionWatch(group);
  XkbSelectEvents(display_, XkbUseCoreKbd, kXkbEvents, kXkbEvents);
  // Of the state, only the group: the playback's own Shift presses change
  // the modifiers all the time.
  XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
                        XkbGroupStateMask);
}

void InterruptionEvents::grab_escape(std::vector<unsigned> escape_keycodes) {
  ungrab();
  escape_keycodes_ = std::move(escape_keycodes);
  grab();
}

void InterruptionEvents::set_layout(const KeycodeSet& own) {
  if (display_ == nullptr) return;
  watch_.set_layout(read_all_mappings(display_), own);
}

void InterruptionEvents::stop() {
  if (display_ == nullptr) return;
  ungrab();
  XkbSelectEvents(display_, XkbUseCoreKbd, kXkbEvents, 0);
  display_ = nullptr;
  escape_keycodes_.clear();
}

bool InterruptionEvents::grabs(unsigned keycode) const {
  return grabbed_ && std::find(escape_keycodes_.begin(), escape_keycodes_.end(), keycode) !=
                         escape_keycodes_.end();
}

void InterruptionEvents::suspend_grab() {
  ungrab();
}

void InterruptionEvents::resume_grab() {
  grab();
}

void InterruptionEvents::grab() {
  if (display_ == nullptr || grabbed_ || escape_keycodes_.empty()) return;
  const Window root = DefaultRootWindow(display_);
  // Errors of requests sent before go to whoever traps them, not to the
  // grab's own trap.
  XSync(display_, 0);
  XErrors errors;
  {
    ErrorTrap trap(display_, errors);
    for (const unsigned keycode : escape_keycodes_) {
      XGrabKey(display_, static_cast<int>(keycode), AnyModifier, root, 0, GrabModeAsync,
               GrabModeAsync);
    }
    XSync(display_, 0);
  }
  if (errors.serial != 0) {
    // Someone holds a grab on Esc with some modifiers, and a grab with any
    // modifiers conflicts with it as a whole. Esc alone, with Caps Lock or
    // Num Lock on, is what a user presses to stop.
    const unsigned num_lock = Mod2Mask;
    for (const unsigned modifiers : {0u, unsigned{LockMask}, num_lock, LockMask | num_lock}) {
      XErrors each;
      ErrorTrap trap(display_, each);
      for (const unsigned keycode : escape_keycodes_) {
        XGrabKey(display_, static_cast<int>(keycode), modifiers, root, 0, GrabModeAsync,
                 GrabModeAsync);
      }
      XSync(display_, 0);
    }
  }
  grabbed_ = true;
}

void InterruptionEvents::ungrab() {
  if (display_ == nullptr || !grabbed_) return;
  // Letting go of a key that is not grabbed is no error, so there is
  // nothing to trap.
  for (const unsigned keycode : escape_keycodes_) {
    XUngrabKey(display_, static_cast<int>(keycode), AnyModifier, DefaultRootWindow(display_));
  }
  grabbed_ = false;
}

bool InterruptionEvents::take(const XEvent& event) {
  if (display_ == nullptr) return false;
  if (event.type == KeyPress) {
    const auto keycode = static_cast<unsigned>(event.xkey.keycode);
    if (std::find(escape_keycodes_.begin(), escape_keycodes_.end(), keycode) ==
        escape_keycodes_.end()) {
      return false;
    }
    watch_.escape_pressed();
    return true;
  }
  if (event.type != xkb_event_base_) return false;
  const auto& xkb = reinterpret_cast<const XkbEvent&>(event);
  switch (xkb.any.xkb_type) {
    case XkbStateNotify:
      if ((xkb.state.changed & XkbGroupStateMask) != 0) {
        watch_.group_is(static_cast<unsigned>(xkb.state.group));
      }
      break;
    case XkbNewKeyboardNotify:
      watch_.keyboard_replaced();
      break;
    case XkbMapNotify:
      watch_.mapping_changed(change_of(xkb.map));
      break;
    default:
      break;
  }
  return true;
}

void InterruptionEvents::settle() {
  // Once for all the changes read: a new layout comes with many events.
  if (display_ != nullptr && watch_.needs_mapping()) watch_.mapping_is(read_all_mappings(display_));
}

}  // namespace tavrino
