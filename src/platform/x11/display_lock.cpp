// SPDX-License-Identifier: MIT
#include "platform/x11/display_lock.h"

#include "platform/x11/keymap.h"
#include "platform/x11/xlib.h"

namespace tavrino {

bool DisplayLock::take(Display* display) {
  release();
  const Atom selection = XInternAtom(display, "_TAVRINO_TYPING", 0);
  // A selection needs a window to own it: an unmapped one of this connection,
  // which the server destroys with the connection, and the selection with it.
  const Window window = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0,
                                      InputOnly, CopyFromParent, 0, nullptr);
  ServerHold hold(display);
  const bool free = XGetSelectionOwner(display, selection) == 0;
  if (free) XSetSelectionOwner(display, selection, window, CurrentTime);
  hold.release();
  const bool taken = free && XGetSelectionOwner(display, selection) == window;
  if (!taken) {
    XDestroyWindow(display, window);
    XFlush(display);
    return false;
  }
  display_ = display;
  window_ = window;
  selection_ = selection;
  return true;
}

void DisplayLock::release() {
  if (display_ == nullptr) return;
  XSetSelectionOwner(display_, selection_, 0, CurrentTime);
  XDestroyWindow(display_, window_);
  XFlush(display_);
  display_ = nullptr;
  window_ = 0;
}

}  // namespace tavrino
