// SPDX-License-Identifier: MIT
#include "platform/x11/wm_ping.h"

#include <poll.h>

#include "platform/x11/xlib.h"

namespace tavrino {

bool wm_ping(Display* display, Window window, Window root, std::chrono::milliseconds timeout,
             const std::function<bool()>& give_up) {
  using Clock = std::chrono::steady_clock;
  static long token = 0;
  const long this_token = ++token;
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", 0);
  const Atom ping_atom = XInternAtom(display, "_NET_WM_PING", 0);
  // Programs send the answer to the root window with the masks of the
  // window manager; Qt uses StructureNotify, GTK SubstructureNotify.
  XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);

  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(ping_atom);
  event.xclient.data.l[1] = this_token;
  event.xclient.data.l[2] = static_cast<long>(window);
  XSendEvent(display, window, 0, NoEventMask, &event);
  XFlush(display);

  bool answered = false;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!answered && !(give_up && give_up())) {
    while (!answered && XPending(display) > 0) {
      XEvent reply;
      XNextEvent(display, &reply);
      answered = reply.type == ClientMessage && reply.xclient.message_type == protocols &&
                 reply.xclient.data.l[0] == static_cast<long>(ping_atom) &&
                 reply.xclient.data.l[1] == this_token;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (answered || left <= 0) break;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
  XSelectInput(display, root, NoEventMask);
  return answered;
}

}  // namespace tavrino
