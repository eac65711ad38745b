// SPDX-License-Identifier: MIT
#include "platform/x11/target_sync.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

// The window's title, from _NET_WM_NAME (UTF-8) or WM_NAME; empty if none.
std::string title_of(Display* display, Window window) {
  const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", 0);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", 0);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, net_wm_name, 0, 256, 0, utf8, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr && format == 8) {
    title.assign(reinterpret_cast<const char*>(data), items);
  }
  if (data != nullptr) XFree(data);
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) title = name;
    if (name != nullptr) XFree(name);
  }
  return title;
}

bool answers_ping(Display* display, Window window, Atom ping) {
  Atom* protocols = nullptr;
  int count = 0;
  bool answers = false;
  if (XGetWMProtocols(display, window, &protocols, &count) != 0) {
    answers = std::find(protocols, protocols + count, ping) != protocols + count;
    XFree(protocols);
  }
  return answers;
}

bool made_here(Display* display, Window window) {
  const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", 0);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  bool ours = false;
  if (XGetWindowProperty(display, window, pid_atom, 0, 1, 0, XA_CARDINAL, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr) {
    ours = format == 32 && items == 1 &&
           *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
  }
  if (data != nullptr) XFree(data);
  return ours;
}

void send_ping(Display* display, Window window, Atom protocols, Atom ping, unsigned long token) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(ping);
  event.xclient.data.l[1] = static_cast<long>(token);
  event.xclient.data.l[2] = static_cast<long>(window);
  XSendEvent(display, window, 0, NoEventMask, &event);
}

}  // namespace

bool wm_ping(Display* display, unsigned long window, std::chrono::milliseconds timeout) {
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", 0);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", 0);
  const Window root = DefaultRootWindow(display);
  // Programs send the answer to the root window with the masks of the
  // window manager; Qt uses StructureNotify, GTK SubstructureNotify.
  XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);
  send_ping(display, window, protocols, ping, 1);
  XFlush(display);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool answered = false;
  while (!answered && std::chrono::steady_clock::now() < deadline) {
    while (!answered && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      answered = event.type == ClientMessage && event.xclient.message_type == protocols &&
                 static_cast<Atom>(event.xclient.data.l[0]) == ping &&
                 static_cast<unsigned long>(event.xclient.data.l[2]) == window;
    }
    if (answered) break;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 20);
  }
  XSelectInput(display, root, NoEventMask);
  return answered;
}

void TargetSync::find(Display* display, unsigned long focus) {
  stop();
  display_ = display;
  root_ = DefaultRootWindow(display);
  protocols_ = XInternAtom(display, "WM_PROTOCOLS", 0);
  ping_ = XInternAtom(display, "_NET_WM_PING", 0);
  const Atom wm_state = XInternAtom(display, "WM_STATE", 0);
  answers_ = TargetAnswers(0, 0, protocols_, ping_);
  if (focus == 0 || focus == PointerRoot || focus == root_) return;

  // From the focus (perhaps a field inside a window) up to the root: the
  // first window with a title or a window manager's state names the
  // program, and the first that answers pings is the one to ask.
  Window window = focus;
  std::string title;
  for (int depth = 0; window != 0 && depth < 32; ++depth) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool managed = XGetWindowProperty(display, window, wm_state, 0, 0, 0, AnyPropertyType,
                                            &type, &format, &items, &after, &data) == Success &&
                         type != 0;
    if (data != nullptr) XFree(data);
    if (top_level_ == 0 && managed) top_level_ = window;
    if (title.empty()) title = title_of(display, window);
    if (window_ == 0 && answers_ping(display, window, ping_)) {
      if (made_here(display, window)) break;
      window_ = window;
      if (top_level_ == 0) top_level_ = window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int child_count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &child_count) == 0) break;
    if (children != nullptr) XFree(children);
    if (parent == root) {
      if (top_level_ == 0) top_level_ = window;
      break;
    }
    window = parent;
  }
  name_ = program_name(title);
  answers_ = TargetAnswers(top_level_, window_, protocols_, ping_);
  // Programs send the answer to the root window with the masks of the
  // window manager; Qt uses StructureNotify, GTK SubstructureNotify.
  XSelectInput(display, root_, StructureNotifyMask | SubstructureNotifyMask);
  if (top_level_ != 0) XSelectInput(display, top_level_, StructureNotifyMask);
}

void TargetSync::stop() {
  if (display_ == nullptr) return;
  XSelectInput(display_, root_, NoEventMask);
  if (top_level_ != 0 && !answers_.gone()) XSelectInput(display_, top_level_, NoEventMask);
  display_ = nullptr;
  top_level_ = window_ = 0;
  answers_ = TargetAnswers();
  name_.clear();
}

void TargetSync::ask() {
  const unsigned long token = answers_.ask();
  if (window_ == 0 || answers_.gone()) return;
  send_ping(display_, window_, protocols_, ping_, token);
}

bool TargetSync::take(const XEvent& event) {
  TargetEvent taken;
  if (event.type == DestroyNotify) {
    taken.type = TargetEvent::Type::destroyed;
    taken.window = event.xdestroywindow.window;
  } else if (event.type == ClientMessage) {
    taken.type = TargetEvent::Type::client_message;
    taken.window = event.xclient.window;
    taken.message_type = event.xclient.message_type;
    std::copy(event.xclient.data.l, event.xclient.data.l + 3, taken.data);
  }
  return answers_.take(taken);
}

}  // namespace tavrino
