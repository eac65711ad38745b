// SPDX-License-Identifier: MIT
// tavrino_bench_key_watch WINDOW TABS RESULT
//   Watches the key events that reach the X window WINDOW (X lets any client
//   listen to another's key events) while a typist types into it, and times
//   the run: from the first key press that reaches the window to the moment
//   the window's program answers a _NET_WM_PING sent once the last Tab was
//   pressed (once TABS Tab presses have come, or, when a typist lost some,
//   once standard input is closed and no key has come for a moment). The
//   program handles its events in order, so its answer means every key has
//   been put into its field. Presses are counted, not releases: Xvfb
//   reports a release in front of each XTEST press as well. Prints "ready"
//   once listening; writes "FIRST LAST DONE PRESSES TABS" to RESULT: the
//   monotonic clock in nanoseconds at the first key press, at the last key
//   event and at the answer (0 without one), the key and Tab presses seen.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/x11/target_sync.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIdleMs = 3000;
constexpr int kStartMs = 120000;
constexpr std::chrono::milliseconds kPingTimeout{10000};

long long nanoseconds(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: tavrino_bench_key_watch WINDOW TABS RESULT\n", stderr);
    return 64;
  }
  const Window window = std::strtoul(argv[1], nullptr, 0);
  const long tabs_wanted = std::strtol(argv[2], nullptr, 10);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("cannot open the display\n", stderr);
    return 1;
  }
  // The typist never remaps the Tab key, so its keycode stays valid.
  const unsigned tab = XKeysymToKeycode(display, XK_Tab);
  XSelectInput(display, window, KeyPressMask | KeyReleaseMask);
  XSync(display, False);
  std::puts("ready");
  std::fflush(stdout);

  Clock::time_point first{}, last{};
  long presses = 0, tabs = 0;
  bool typist_done = false;
  while (tabs < tabs_wanted) {
    while (XPending(display) > 0 && tabs < tabs_wanted) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != KeyPress && event.type != KeyRelease) continue;
      last = Clock::now();
      if (event.type == KeyPress && presses++ == 0) first = last;
      if (event.type == KeyPress && event.xkey.keycode == tab) ++tabs;
    }
    if (tabs >= tabs_wanted) break;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const int timeout = typist_done ? kIdleMs : presses == 0 ? kStartMs : -1;
    const int ready = poll(fds, typist_done ? 1 : 2, timeout);
    if (ready == 0) break;  // the typist has stopped short
    if (!typist_done && (fds[1].revents & (POLLIN | POLLHUP)) != 0) {
      char byte;
      if (read(STDIN_FILENO, &byte, 1) <= 0) typist_done = true;
    }
  }
  Clock::time_point done{};
  if (presses > 0 && tavrino::wm_ping(display, window, kPingTimeout))
    done = Clock::now();
  XCloseDisplay(display);

  const std::string result = std::to_string(presses ? nanoseconds(first) : 0) + " " +
                             std::to_string(presses ? nanoseconds(last) : 0) + " " +
                             std::to_string(done == Clock::time_point{} ? 0 : nanoseconds(done)) +
                             " " + std::to_string(presses) + " " + std::to_string(tabs) + "\n";
  const std::string partial = std::string(argv[3]) + ".part";
  FILE* file = std::fopen(partial.c_str(), "w");
  if (file == nullptr) return 1;
  std::fputs(result.c_str(), file);
  if (std::fclose(file) != 0) return 1;
  return std::rename(partial.c_str(), argv[3]) == 0 ? 0 : 1;
}
