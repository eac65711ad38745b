// SPDX-License-Identifier: MIT
#include "playback/window_focus.h"

#include <algorithm>

namespace tavrino {

Focus focus_of(std::span<const FocusedWindow> windows) {
  if (windows.empty()) return {};
  const bool own =
      std::any_of(windows.begin(), windows.end(), [](const FocusedWindow& w) { return w.ours; });
  return {own ? Focus::Kind::own : Focus::Kind::other, windows.front().window};
}

Focus focus_seen(const std::function<bool()>& own_window_active,
                 const std::function<Focus()>& platform) {
  if (own_window_active && own_window_active()) return {Focus::Kind::own, 0};
  return platform();
}

}  // namespace tavrino
