// SPDX-License-Identifier: MIT
#include "platform/win32/window_geometry.h"

#include <algorithm>

#include "window/layout.h"

namespace tavrino {

int average_char_width(int sample_width) {
  return std::max(1, (sample_width / 26 + 1) / 2);
}

std::vector<int> value_tab_stops(int widest_short, int narrowest_long, int widest, int space,
                                 int average) {
  // The value column, rounded up to a whole stop unit.
  const int last = ((widest + 2 * space) * 4 + average - 1) / average;
  if (widest_short < 0) return {last};
  // The first unit right of every short name: a tab goes to the first stop
  // beyond where the text ends.
  const int first = std::min(widest_short * 4 / average + 1, last - 1);
  const bool fits = narrowest_long < 0 || first * average / 4 <= narrowest_long;
  return {fits ? first : last - 1, last};
}

int pixels_of(int twips, UINT dpi) {
  return MulDiv(twips, static_cast<int>(dpi), 1440);
}

SIZE window_size_for(DWORD style, DWORD ex_style, UINT dpi) {
  RECT rect{0, 0, pixels_of(kClientWidthTwips, dpi), pixels_of(kClientHeightTwips, dpi)};
  AdjustWindowRectExForDpi(&rect, style, FALSE, ex_style, dpi);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

int list_cut(int window_height, int work_height, int list_height, int min_list_height) {
  const int too_tall = window_height - work_height;
  return std::clamp(too_tall, 0, std::max(0, list_height - min_list_height));
}

}  // namespace tavrino
