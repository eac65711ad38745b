// SPDX-License-Identifier: MIT
// tavrino_grab_keyboard MILLISECONDS
//
// Holds the keyboard as a menu, a launcher or a screen locker does: grabs it
// (XGrabKeyboard) for MILLISECONDS, then lets go. Prints "grabbed" once it
// holds the keyboard, and at the end "keys N": how many key presses came to
// it meanwhile, which went nowhere else.
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tavrino_grab_keyboard MILLISECONDS\n", stderr);
    return 2;
  }
  const auto hold = std::chrono::milliseconds(std::strtol(argv[1], nullptr, 10));
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  if (XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync,
                    CurrentTime) != GrabSuccess) {
    std::fputs("the keyboard is held by another program\n", stderr);
    return 1;
  }
  XSync(display, False);
  std::puts("grabbed");
  std::fflush(stdout);
  int keys = 0;
  const auto end = std::chrono::steady_clock::now() + hold;
  while (std::chrono::steady_clock::now() < end) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == KeyPress) ++keys;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 10);
  }
  XUngrabKeyboard(display, CurrentTime);
  XSync(display, False);
  std::printf("keys %d\n", keys);
  XCloseDisplay(display);
  return 0;
}
