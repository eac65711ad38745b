// SPDX-License-Identifier: MIT
// tavrino_bench_startup RUNS CAPTION -- COMMAND [ARG...]
//   Starts COMMAND RUNS times (after one warm-up start that is not counted)
//   on an X display with no window manager, and times each start: from just
//   before the process is created to the MapNotify of its top-level window
//   named CAPTION (the window is shown), and to its answer to a _NET_WM_PING
//   sent right after (its event loop is running and takes input). Each run
//   ends the process with SIGTERM. Prints one line per run and then
//   "median mapped_ms=X answering_ms=Y". Exit status 1 when a run failed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/target_sync.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::seconds kMapTimeout{30};
constexpr std::chrono::milliseconds kPingTimeout{10000};

std::string property(Display* display, Window window, Atom name) {
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, name, 0, 1024, False, AnyPropertyType, &type, &format,
                         &items, &after, &data) == Success &&
      data != nullptr) {
    if (format == 8) text.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
  }
  return text;
}

bool named(Display* display, Window window, const std::string& caption) {
  return property(display, window, XInternAtom(display, "_NET_WM_NAME", False)) == caption ||
         property(display, window, XA_WM_NAME) == caption;
}

double milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct Run {
  double mapped_ms = 0;
  double answering_ms = 0;
};

// The window named `caption` that gets mapped next, or nothing in time.
std::optional<Window> wait_for_map(Display* display, const std::string& caption) {
  const Clock::time_point deadline = Clock::now() + kMapTimeout;
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && named(display, event.xmap.window, caption)) {
        return event.xmap.window;
      }
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
}

std::optional<Run> run_once(Display* display, const std::string& caption, char** command) {
  // Top-level windows are children of the root: their MapNotify comes with
  // SubstructureNotify on it, as long as no window manager reparents them.
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    execvp(command[0], command);
    _exit(127);
  }
  std::optional<Run> run;
  if (const std::optional<Window> window = wait_for_map(display, caption)) {
    const Clock::time_point mapped = Clock::now();
    if (tavrino::wm_ping(display, *window, kPingTimeout)) {
      run = Run{milliseconds(mapped - start), milliseconds(Clock::now() - start)};
    }
  }
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  XSelectInput(display, DefaultRootWindow(display), NoEventMask);
  XSync(display, True);  // drops what the ended process left in the queue
  return run;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
    std::fputs("usage: tavrino_bench_startup RUNS CAPTION -- COMMAND [ARG...]\n", stderr);
    return 64;
  }
  const int runs = std::atoi(argv[1]);
  const std::string caption = argv[2];
  char** command = argv + 4;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr || runs < 1) {
    std::fputs("cannot open the display\n", stderr);
    return 1;
  }

  std::vector<double> mapped, answering;
  for (int i = 0; i <= runs; ++i) {
    const std::optional<Run> run = run_once(display, caption, command);
    if (!run) {
      std::fprintf(stderr, "start %d: no window named \"%s\" was shown and answered\n", i,
                   caption.c_str());
      XCloseDisplay(display);
      return 1;
    }
    if (i == 0) {
      std::printf("warm-up: mapped %.1f ms, answering %.1f ms (not counted)\n", run->mapped_ms,
                  run->answering_ms);
    } else {
      std::printf("run %d: mapped %.1f ms, answering %.1f ms\n", i, run->mapped_ms,
                  run->answering_ms);
      mapped.push_back(run->mapped_ms);
      answering.push_back(run->answering_ms);
    }
    std::fflush(stdout);
    // Let the server finish with the ended client before the next start.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  XCloseDisplay(display);
  std::printf("median mapped_ms=%.1f answering_ms=%.1f\n", median(mapped), median(answering));
  return 0;
}
