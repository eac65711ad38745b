// SPDX-License-Identifier: MIT
#include "platform/x11/focused_window.h"

#include <deque>
#include <utility>
#include <vector>

#include "platform/x11/xlib.h"

namespace tavrino {

namespace {

// How far up and down the window tree the search goes; window trees of
// programs and window managers are shallow.
constexpr int kMaxDepth = 16;
constexpr int kMaxTransients = 4;

bool has_property(Display* display, Window window, Atom property) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  const int got = XGetWindowProperty(display, window, property, 0, 0, 0, AnyPropertyType, &type,
                                     &format, &items, &after, &data);
  if (data != nullptr) XFree(data);
  return got == Success && type != 0;
}

std::optional<std::int64_t> pid_of(Display* display, Window window) {
  const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", 0);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<std::int64_t> pid;
  if (XGetWindowProperty(display, window, pid_atom, 0, 1, 0, XA_CARDINAL, &type, &format, &items,
                         &after, &data) == Success &&
      data != nullptr && format == 32 && items == 1) {
    pid = static_cast<std::int64_t>(*reinterpret_cast<unsigned long*>(data));
  }
  if (data != nullptr) XFree(data);
  return pid;
}

std::optional<std::string> machine_of(Display* display, Window window) {
  XTextProperty text{};
  if (XGetWMClientMachine(display, window, &text) == 0 || text.value == nullptr) {
    return std::nullopt;
  }
  std::string machine(reinterpret_cast<const char*>(text.value), text.nitems);
  XFree(text.value);
  return machine;
}

// The parent of `window`, and whether it is a root window; nothing when the
// server does not say.
std::optional<std::pair<Window, bool>> parent_of(Display* display, Window window) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return std::nullopt;
  if (children != nullptr) XFree(children);
  return std::make_pair(parent, parent == root);
}

// The first window below `top` (breadth first) that carries WM_STATE.
Window client_below(Display* display, Window top, Atom wm_state) {
  std::deque<std::pair<Window, int>> queue{{top, 0}};
  while (!queue.empty()) {
    const auto [window, depth] = queue.front();
    queue.pop_front();
    if (window != top && has_property(display, window, wm_state)) return window;
    if (depth >= 2) continue;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) continue;
    for (unsigned i = 0; i < count; ++i) queue.emplace_back(children[i], depth + 1);
    if (children != nullptr) XFree(children);
  }
  return 0;
}

WindowFacts facts_of(Display* display, Window window) {
  return {window, pid_of(display, window), machine_of(display, window)};
}

}  // namespace

FocusFacts read_focus(Display* display) {
  FocusFacts facts;
  Window focus = 0;
  int revert_to = 0;
  XGetInputFocus(display, &focus, &revert_to);
  if (focus == 0) return facts;
  if (focus == PointerRoot) {
    facts.input = FocusFacts::Input::pointer_root;
    return facts;
  }
  for (int screen = 0; screen < ScreenCount(display); ++screen) {
    if (focus == RootWindow(display, screen)) {
      facts.input = FocusFacts::Input::root;
      return facts;
    }
  }
  facts.input = FocusFacts::Input::window;

  const Atom wm_state = XInternAtom(display, "WM_STATE", 0);
  Window window = focus;
  Window client = 0;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    if (has_property(display, window, wm_state)) {
      client = window;
      break;
    }
    const auto parent = parent_of(display, window);
    if (!parent) return facts;
    if (parent->second) break;  // `window` is a child of the root
    window = parent->first;
  }
  if (client == 0) {
    client = client_below(display, window, wm_state);
    if (client == 0) client = window;
  }

  facts.top_levels.push_back(facts_of(display, client));
  Window owner = client;
  for (int i = 0; i < kMaxTransients; ++i) {
    Window transient_for = 0;
    if (XGetTransientForHint(display, owner, &transient_for) == 0 || transient_for == 0 ||
        transient_for == owner) {
      break;
    }
    facts.top_levels.push_back(facts_of(display, transient_for));
    owner = transient_for;
  }
  return facts;
}

}  // namespace tavrino
