// SPDX-License-Identifier: MIT
#include "sheet/result_sheet.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tavrino {
namespace {

TEST(SplitList, CutsAtEverySeparatorAndKeepsEmptyPieces) {
  std::u16string long_list = u"x";
  for (int k = 0; k < 1000; ++k) long_list += u"_%_x";
  const struct {
    std::u16string item;
    std::vector<std::string> pieces;
  } cases[] = {
      {u"", {}},
      {u"Ann", {"Ann"}},
      {u"Ann_%_Bob_%_Cy", {"Ann", "Bob", "Cy"}},
      {u"a_%__%_b", {"a", "", "b"}},
      {u"_%_a", {"", "a"}},
      {u"a_%_", {"a", ""}},
      {u"_%_", {"", ""}},
      {u"_%_%_", {"", "%_"}},   // left to right, never overlapping
      {u"a_%%_b", {"a_%%_b"}},  // no exact separator
      {u"a_%_ _%_b", {"a", " ", "b"}},
      {long_list, std::vector<std::string>(1001, "x")},
  };
  for (const auto& c : cases) {
    const auto pieces = split_list(c.item);
    std::vector<std::string> got;
    for (const auto& piece : pieces) got.push_back(utf16_to_utf8(piece));
    EXPECT_EQ(got, c.pieces) << utf16_to_utf8(c.item).substr(0, 40);
    EXPECT_EQ(arraycount(pieces), static_cast<std::int32_t>(c.pieces.size()));
  }
}

}  // namespace
}  // namespace tavrino
