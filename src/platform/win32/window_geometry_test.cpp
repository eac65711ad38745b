// SPDX-License-Identifier: MIT
#include "platform/win32/window_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrino {
namespace {

TEST(WindowGeometry, ListPaneTabStops) {
  // 8 pixels to the character: a stop unit is 2 pixels; the widest name
  // ends at 70 pixels, blanks are 4 wide, so the values start at 78 (unit 39).
  const struct {
    int widest_short, narrowest_long, widest;
    std::vector<int> stops;
  } cases[] = {
      {-1, 60, 70, {39}},      // long names only: one tab each
      {30, -1, 30, {16, 19}},  // short names only: two tabs each
      {30, 60, 70, {16, 39}},  // every short name left of every long one
      {30, 32, 70, {16, 39}},  // ... also when only just
      {64, 60, 70, {38, 39}},  // a short name wider than a long one
      {70, -1, 70, {36, 39}},  // the first stop just right of the names
  };
  for (const auto& c : cases) {
    EXPECT_EQ(value_tab_stops(c.widest_short, c.narrowest_long, c.widest, 4, 8), c.stops)
        << c.widest_short << " " << c.narrowest_long;
  }
  EXPECT_EQ(average_char_width(26 * 2 * 7), 7);
  EXPECT_EQ(average_char_width(26 * 2 * 7 - 20), 7);  // rounded, as Windows does
}

}  // namespace
}  // namespace tavrino
