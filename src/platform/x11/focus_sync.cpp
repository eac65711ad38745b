// SPDX-License-Identifier: MIT
#include "platform/x11/focus_sync.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

using Clock = std::chrono::steady_clock;

struct PingTarget {
  Window window = 0;
  Window root = 0;
};

// The top-level window of the focused program when that program answers
// _NET_WM_PING, else no window. The focus may be on a child window, so the
// search goes up to the root. A window of this very process cannot answer
// while we wait, so it gets no ping either.
PingTarget ping_target(Display* display, Window focus) {
  if (focus == 0 || focus == PointerRoot) return {};
  const Atom ping_atom = XInternAtom(display, "_NET_WM_PING", 0);
  const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", 0);
  Window window = focus;
  for (int depth = 0; window != 0 && depth < 32; ++depth) {
    Atom* protocols = nullptr;
    int count = 0;
    bool answers = false;
    if (XGetWMProtocols(display, window, &protocols, &count) != 0) {
      answers = std::find(protocols, protocols + count, ping_atom) != protocols + count;
      XFree(protocols);
    }
    if (answers) {
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      bool ours = false;
      if (XGetWindowProperty(display, window, pid_atom, 0, 1, 0, XA_CARDINAL, &type, &format,
                             &items, &after, &data) == Success &&
          data != nullptr) {
        ours = format == 32 && items == 1 &&
               *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
      }
      if (data != nullptr) XFree(data);
      Window root = 0;
      int x = 0, y = 0;
      unsigned width = 0, height = 0, border = 0, depth = 0;
      if (ours ||
          XGetGeometry(display, window, &root, &x, &y, &width, &height, &border, &depth) == 0) {
        return {};
      }
      return {window, root};
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int child_count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &child_count) == 0) return {};
    if (children != nullptr) XFree(children);
    if (parent == root) return {};
    window = parent;
  }
  return {};
}

int ping_answer(Display*, XEvent* event, XPointer protocols) {
  return event->type == ClientMessage &&
         event->xclient.message_type == *reinterpret_cast<Atom*>(protocols);
}

// Waits until something new arrives on the connection, at most `most` and
// no longer than a slice, so that a caller that gives up on a flag (a
// signal) sees it soon.
void wait_for_events(Display* display, std::chrono::milliseconds most) {
  constexpr std::chrono::milliseconds kSlice{20};
  // What has arrived already is read into the queue first; the connection
  // then becomes readable only for something new.
  XEventsQueued(display, QueuedAfterReading);
  pollfd fd{ConnectionNumber(display), POLLIN, 0};
  poll(&fd, 1, static_cast<int>(std::min(most, kSlice).count()));
}

}  // namespace

bool wait_for_focused_program(Display* display, Window window,
                              const std::function<bool()>& give_up) {
  const Clock::time_point start = Clock::now();
  XSync(display, 0);
  Window focus = window;
  int revert_to = 0;
  if (focus == 0) XGetInputFocus(display, &focus, &revert_to);
  const PingTarget target = ping_target(display, focus);
  // The ping is queued behind every keystroke sent before it, so its answer
  // means the program has read those keystrokes and looked up their keycodes.
  const bool answered =
      target.window != 0 && wm_ping(display, target.window, target.root, kPingTimeout, give_up);
  XSync(display, 0);
  if (answered) return true;
  if (target.window != 0) return false;
  // No ping to answer: the settling time, cut short only to give up.
  while (!(give_up && give_up())) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(start + kSettle - Clock::now());
    if (left.count() <= 0) return true;
    wait_for_events(display, left);
  }
  return false;
}

bool wm_ping(Display* display, Window window, Window root, std::chrono::milliseconds timeout,
             const std::function<bool()>& give_up) {
  static long token = 0;
  const long this_token = ++token;
  Atom protocols = XInternAtom(display, "WM_PROTOCOLS", 0);
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
    // Only the answers to pings are taken; other events stay queued for
    // whoever watches them (a key grabbed by the keyboard, XKB events).
    XEvent reply;
    while (!answered &&
           XCheckIfEvent(display, &reply, &ping_answer, reinterpret_cast<XPointer>(&protocols))) {
      answered = reply.xclient.data.l[0] == static_cast<long>(ping_atom) &&
                 reply.xclient.data.l[1] == this_token;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (answered || left.count() <= 0) break;
    wait_for_events(display, left);
  }
  XSelectInput(display, root, NoEventMask);
  return answered;
}

}  // namespace tavrino
