// SPDX-License-Identifier: MIT
#include "platform/x11/focus_facts.h"

#include "playback/window_focus.h"

namespace tavrino {

namespace {

bool made_here(const WindowFacts& window, std::int64_t own_pid, std::string_view own_host) {
  if (!window.pid || *window.pid != own_pid) return false;
  // A process id means this process only on this machine; a window of a
  // remote program (ssh -X) may carry the same number.
  return !window.machine || window.machine->empty() || *window.machine == own_host;
}

}  // namespace

Focus classify_focus(const FocusFacts& facts, std::int64_t own_pid, std::string_view own_host) {
  if (facts.input != FocusFacts::Input::window) return {Focus::Kind::none, 0};
  std::vector<FocusedWindow> windows;
  for (const WindowFacts& window : facts.top_levels) {
    windows.push_back({window.window, made_here(window, own_pid, own_host)});
  }
  return focus_of(windows);
}

}  // namespace tavrino
