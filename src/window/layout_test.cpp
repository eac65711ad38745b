// SPDX-License-Identifier: MIT
#include "window/layout.h"

#include <gtest/gtest.h>

#include <set>

#include "window/fakes.h"
#include "window/form1.h"

namespace tavrino {
namespace {

struct Rect {
  int left, top, right, bottom;
  bool overlaps(const Rect& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
};

Rect rect_of(const ControlLayout& c) {
  return {c.left, c.top, c.left + c.width, c.top + c.height};
}

bool has_geometry(const ControlLayout& c) {
  return c.kind != ControlKind::timer && c.kind != ControlKind::common_dialog;
}

TEST(Layout, Invariants) {
  const auto controls = form1_layout();
  std::set<int> tab_indexes;
  std::set<std::string_view> names;
  for (const ControlLayout& c : controls) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(names.insert(c.name).second);
    if (c.tab_index >= 0) {
      EXPECT_TRUE(tab_indexes.insert(c.tab_index).second);
    }
    if (!has_geometry(c)) {
      EXPECT_EQ(c.tab_index, -1);
      continue;
    }
    // Every size converts to whole pixels at 96 DPI.
    for (int twips : {c.left, c.top, c.width, c.height}) EXPECT_EQ(twips % kTwipsPerPixel, 0);
    // Inside the client area, or inside the frame that holds it.
    const Rect r = rect_of(c);
    const Rect outer = c.parent
                           ? Rect{0, 0, layout_of(*c.parent).width, layout_of(*c.parent).height}
                           : Rect{0, 0, kClientWidthTwips, kClientHeightTwips};
    EXPECT_GE(r.left, outer.left);
    EXPECT_GE(r.top, outer.top);
    EXPECT_LE(r.right, outer.right);
    EXPECT_LE(r.bottom, outer.bottom);
    if (c.parent) {
      EXPECT_EQ(layout_of(*c.parent).kind, ControlKind::frame);
      // A child is created after its parent.
      EXPECT_LT(static_cast<int>(*c.parent), static_cast<int>(c.id));
    }
  }
  // Tab order starts with the countdown box, so it has the focus at start.
  EXPECT_EQ(*tab_indexes.begin(), 0);
  EXPECT_EQ(layout_of(ControlId::txtTime).tab_index, 0);
}

TEST(Layout, ControlsTakingInputDoNotOverlap) {
  std::vector<const ControlLayout*> inputs;
  for (const ControlLayout& c : form1_layout()) {
    const bool input = c.kind == ControlKind::push_button || c.kind == ControlKind::text_box;
    if (input && !c.parent) inputs.push_back(&c);
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    for (std::size_t j = i + 1; j < inputs.size(); ++j) {
      EXPECT_FALSE(rect_of(*inputs[i]).overlaps(rect_of(*inputs[j])))
          << inputs[i]->name << " and " << inputs[j]->name;
    }
  }
}

TEST(Controls, SplitFilter) {
  const struct {
    std::u16string_view filter;
    std::vector<FileFilter> pairs;
  } cases[] = {
      {kOpenFilter,
       {{u"Data Files (*.ipt) ", u"*.ipt"},
        {u"Text Files (*.txt) ", u"*.txt"},
        {u"All files (*.*) ", u"*.*"}}},
      {u"A|*.a", {{u"A", u"*.a"}}},
      {u"A|*.a|B|", {{u"A", u"*.a"}}},
      {u"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(split_filter(c.filter), c.pairs);
}

TEST(Controls, OfferedFiltersAddSpreadsheetFilesOnce) {
  const FileFilter spreadsheets{u"Spreadsheet Files (*.csv;*.tsv;*.txt) ", u"*.csv;*.tsv;*.txt"};
  const std::vector<FileFilter> offered = offered_filters(kOpenFilter);
  ASSERT_EQ(offered.size(), 4u);
  EXPECT_EQ(offered.front().pattern, u"*.ipt");
  EXPECT_EQ(offered.back(), spreadsheets);
  EXPECT_EQ(offered_filters(u"Spreadsheet Files (*.csv;*.tsv;*.txt) |*.csv;*.tsv;*.txt|"),
            std::vector<FileFilter>{spreadsheets});
}

}  // namespace
}  // namespace tavrino
