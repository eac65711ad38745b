// SPDX-License-Identifier: MIT
#include "window/controls.h"

namespace tavrino {

std::int32_t settopmost(WindowPlacement& placement, WindowHandle window, bool on) {
  // Position and size are ignored under these flags; the window keeps both.
  constexpr std::uint32_t kKeepPlaceAndSize = kSwpNosize | kSwpNomove;
  if (on) {
    return placement.set_window_pos(window, kHwndTopmost, 0, 0, 0, 0, kKeepPlaceAndSize);
  }
  // Only making the window topmost is ever asked for; the way back exists for
  // symmetry and its result is not worth passing on.
  (void)placement.set_window_pos(window, kHwndNotopmost, 0, 0, 0, 0, kKeepPlaceAndSize);
  return 0;
}

std::vector<FileFilter> split_filter(std::u16string_view filter) {
  std::vector<FileFilter> pairs;
  std::size_t pos = 0;
  while (pos < filter.size()) {
    const std::size_t description_end = filter.find(u'|', pos);
    if (description_end == std::u16string_view::npos) break;  // no pattern follows
    const std::size_t pattern_start = description_end + 1;
    if (pattern_start >= filter.size()) break;  // "description|" at the very end
    std::size_t pattern_end = filter.find(u'|', pattern_start);
    if (pattern_end == std::u16string_view::npos) pattern_end = filter.size();
    pairs.push_back({std::u16string(filter.substr(pos, description_end - pos)),
                     std::u16string(filter.substr(pattern_start, pattern_end - pattern_start))});
    pos = pattern_end + 1;
  }
  return pairs;
}

}  // namespace tavrino
