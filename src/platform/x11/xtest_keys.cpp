// SPDX-License-Identifier: MIT
#include "platform/x11/xtest_keys.h"

#include <utility>

#include "platform/x11/xlib.h"

namespace tavrino {

void XTestKeys::begin(Display* display, XErrors& errors, Sent sent) {
  display_ = display;
  errors_ = &errors;
  sent_ = std::move(sent);
  state_atom_ = XInternAtom(display, "_NET_WM_STATE", 0);
}

void XTestKeys::key(unsigned keycode, bool down) {
  // A press right after the release of the same keycode is what a target
  // could take for autorepeat.
  const bool doubled = down && last_ && !last_->down && last_->keycode == keycode;
  unsigned long delay_ms = 0;
  if (doubled && !separate()) {
    // XTEST's delay puts the press into a later millisecond than the release.
    delay_ms = 1;
  }
  XTestFakeKeyEvent(display_, keycode, down ? 1 : 0, delay_ms);
  if (sent_) sent_(keycode, down);
  last_ = KeyAction{keycode, down};
  if (keycode < down_.size()) down_[keycode] = down;
}

void XTestKeys::release_all() {
  for (unsigned keycode = 0; keycode < down_.size(); ++keycode) {
    if (down_[keycode]) key(keycode, false);
  }
}

// A client message between a release and the press of the same keycode: the
// target's next event after the release is then no key press, whatever their
// times. It is sent to the focus window, and so to the program that made it;
// _NET_WM_STATE with no state named asks for nothing, and toolkits drop it
// without a word (it is meant for the root window). Costs nothing but the
// request, where a later millisecond would cost a millisecond per doubled
// key. False without a focus window to send it to.
bool XTestKeys::separate() {
  if (focus_window_ == 0) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = focus_window_;
  event.xclient.message_type = state_atom_;
  event.xclient.format = 32;
  // The focus window may be gone by now; that is no failure of a keystroke.
  errors_->tolerated.push_back(NextRequest(display_));
  XSendEvent(display_, focus_window_, 0, NoEventMask, &event);
  return true;
}

}  // namespace tavrino
