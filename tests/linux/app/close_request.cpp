// SPDX-License-Identifier: MIT
// tavrino_close_request WINDOW
// Asks the top-level WINDOW (an X window id, decimal or 0x hexadecimal) to
// close, as a window manager's close button does: a WM_DELETE_WINDOW client
// message. A program whose event loop runs answers it; one that is frozen
// does not. Exit status 0 when the request was sent, 1 when WINDOW does not
// take WM_DELETE_WINDOW or there is no display, 2 for a usage error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: tavrino_close_request WINDOW\n", stderr);
    return 2;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  Display* const display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("tavrino_close_request: cannot open the display\n", stderr);
    return 1;
  }
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  Atom* taken = nullptr;
  int count = 0;
  bool takes_delete = false;
  if (XGetWMProtocols(display, window, &taken, &count) != 0) {
    for (int i = 0; i < count; ++i) takes_delete = takes_delete || taken[i] == delete_window;
    XFree(taken);
  }
  if (!takes_delete) {
    std::fprintf(stderr, "tavrino_close_request: window %s does not take WM_DELETE_WINDOW\n",
                 argv[1]);
    XCloseDisplay(display);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(delete_window);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
