// SPDX-License-Identifier: MIT
#include "platform/x11/session_watch.h"

#include <poll.h>

#include <algorithm>

#include "base/text.h"
#include "platform/xkb/key_messages.h"

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

bool is_down(const char (&bits)[32], unsigned keycode) {
  return keycode < 256 && ((static_cast<unsigned char>(bits[keycode / 8]) >> (keycode % 8)) & 1);
}

// Autorepeat lets go of a key for an instant between two presses, so Esc
// counts as let go once it has been up for kEscapeUp; it is waited for at
// most kEscapeWait.
constexpr std::chrono::milliseconds kEscapeUp{120};
constexpr std::chrono::milliseconds kEscapeWait{3000};

// What the user's key `keycode` is, by its symbol in `group`.
UserKey classify(Display* display, unsigned group, unsigned keycode) {
  const KeySym keysym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), group, 0);
  if (keysym == XK_Escape) return {UserKey::Kind::escape, HeldKey::shift, {}};
  if (const auto held = held_key_of(static_cast<KeySymbol>(keysym))) {
    return {UserKey::Kind::modifier, *held, {}};
  }
  std::u16string name = u"A key";
  if (const char32_t c = character_of_keysym(static_cast<KeySymbol>(keysym)); c >= 0x20) {
    name = shown(c);
  } else if (const char* symbol = XKeysymToString(keysym); symbol != nullptr) {
    name = utf8_to_utf16(symbol);
  }
  return {UserKey::Kind::other, HeldKey::shift, std::move(name)};
}

}  // namespace

void SessionWatch::begin(Display* display, XErrors& errors, int xkb_event_base, unsigned group) {
  display_ = display;
  errors_ = &errors;
  interruptions_.start(display, xkb_event_base, group);
}

void SessionWatch::find_target() {
  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(display_, &focus, &revert_to);
  target_.find(display_, focus);
}

void SessionWatch::start(std::vector<unsigned> escape_keycodes, unsigned group) {
  escape_keycodes_ = escape_keycodes;
  interruptions_.grab_escape(std::move(escape_keycodes));
  typing_ = TypingWatch(
      [display = display_, group](unsigned keycode) { return classify(display, group, keycode); });
  (void)tap_.start(display_);

  // The modifiers the user holds now; the raw events tell the changes.
  char bits[32] = {};
  XQueryKeymap(display_, bits);
  for (unsigned keycode = 8; keycode < 256; ++keycode) {
    if (is_down(bits, keycode)) typing_.user_holds(keycode);
  }

  // Another program that takes the keyboard moves its focus away from the
  // window typed into for as long as it holds it: FocusOut and FocusIn with
  // the modes of a grab.
  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(display_, &focus, &revert_to);
  if (focus != 0 && focus != PointerRoot) {
    focus_selected_ = focus;
    const long target_mask = focus == target_.top_level() ? StructureNotifyMask : 0;
    XSelectInput(display_, focus, FocusChangeMask | target_mask);
  }
  // A grab taken before that shows only by taking the keyboard ourselves:
  // a grab of our own succeeds (and goes at once) unless another holds one.
  const int grabbed = XGrabKeyboard(display_, DefaultRootWindow(display_), 0, GrabModeAsync,
                                    GrabModeAsync, CurrentTime);
  if (grabbed == GrabSuccess) {
    XUngrabKeyboard(display_, CurrentTime);
  } else if (grabbed == AlreadyGrabbed || grabbed == GrabFrozen) {
    typing_.grab_began();
  }
}

void SessionWatch::stop() {
  if (display_ == nullptr) return;
  interruptions_.stop();
  tap_.stop();
  target_.stop();
  if (focus_selected_ != 0) XSelectInput(display_, focus_selected_, NoEventMask);
  focus_selected_ = 0;
  display_ = nullptr;
}

void SessionWatch::read() {
  if (display_ == nullptr || errors_->lost) return;
  ErrorTrap trap(display_, *errors_);
  XEvent event;
  while (XPending(display_) > 0) {
    XNextEvent(display_, &event);
    if (const auto input = tap_.read(event)) {
      const bool down = input->kind == RawInput::Kind::key_press;
      if (input->kind == RawInput::Kind::button_press) {
        typing_.button(input->detail);
      } else if (input->xtest) {
        typing_.xtest_key(input->detail, down);
      } else {
        typing_.user_key(input->detail, down);
      }
      continue;
    }
    if (target_.take(event)) continue;
    if ((event.type == FocusOut || event.type == FocusIn) &&
        event.xfocus.window == focus_selected_) {
      if (event.xfocus.mode == NotifyGrab && event.type == FocusOut) typing_.grab_began();
      if (event.xfocus.mode == NotifyUngrab && event.type == FocusIn) typing_.grab_ended();
      continue;
    }
    const bool layout_was_changed = interruptions_.watch().layout_changed();
    if (interruptions_.take(event)) {
      interruptions_.settle();
      if (!layout_was_changed && interruptions_.watch().layout_changed()) typing_.layout_changed();
    }
  }
}

void SessionWatch::wait(std::chrono::milliseconds most) {
  if (display_ == nullptr || errors_->lost) return;
  // What has arrived already is read into the queue first; the connection
  // then becomes readable only for something new.
  if (XEventsQueued(display_, QueuedAfterReading) == 0) {
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(most.count()));
  }
  read();
}

KeyboardWatch SessionWatch::watch(bool lost) const {
  KeyboardWatch watch;
  // Esc comes through the grab while the grab is this session's (the
  // server then keeps the key's raw events from it), and as a raw event
  // while another program's grab takes it.
  watch.escapes = std::max(typing_.escapes(), interruptions_.watch().escapes());
  watch.held = typing_.held();
  watch.grabbed = typing_.grabbed();
  watch.disturbed = typing_.disturbed();
  watch.target_gone = target_.answers().gone();
  if (lost) watch.broken = connection_lost();
  return watch;
}

bool SessionWatch::escape_down() const {
  if (display_ == nullptr) return false;
  char bits[32] = {};
  XQueryKeymap(display_, bits);
  return std::any_of(escape_keycodes_.begin(), escape_keycodes_.end(),
                     [&](unsigned keycode) { return is_down(bits, keycode); });
}

bool SessionWatch::escape_pressed() const {
  return typing_.escapes() > 0 || interruptions_.watch().escapes() > 0;
}

void SessionWatch::wait_for_escape_up(const std::function<bool()>& quit_requested) {
  if (!escape_pressed() && !escape_down()) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point started = Clock::now();
  Clock::time_point up_since = started;
  while (Clock::now() - up_since < kEscapeUp && Clock::now() - started < kEscapeWait &&
         !errors_->lost && !(quit_requested && quit_requested())) {
    if (escape_down()) up_since = Clock::now();
    if (Clock::now() - up_since < kEscapeUp) wait(std::chrono::milliseconds(20));
  }
}

}  // namespace tavrino
