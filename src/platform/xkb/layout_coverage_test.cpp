// SPDX-License-Identifier: MIT
#include "platform/xkb/layout_coverage.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/xkb/test_keymaps.h"

namespace tavrino {
namespace {

TEST(LayoutCoverage, AKeysymIsTypableWhenEveryLayoutHasItOnTheFirstThreeLevels) {
  struct Case {
    const char* layouts;
    char32_t c;
    bool types;    // every layout has it
    bool in_some;  // at least one has it
  };
  const Case cases[] = {
      {"us", U'~', true, true},  // level 2
      {"us", U'\u00eb', false, false},
      {"de", U'\u00e4', true, true},
      {"de", U'\u20ac', true, true},  // on AltGr, the third level
      // Polish has ł on AltGr, Ł only on AltGr with Shift, the fourth level,
      // which the compositor does not press.
      {"pl", U'\u0142', true, true},
      {"pl", U'\u0141', false, false},
      {"us", U'\u4e2d', false, false},
      // The desktop types in the layout in use: both have digits, only
      // German has ä.
      {"us,de", U'5', true, true},
      {"us,de", U'\u00e4', false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layouts) + " U+" + std::to_string(static_cast<unsigned>(c.c)));
    const std::string text = keymap_text_for(c.layouts);
    ASSERT_FALSE(text.empty());
    const auto coverage = LayoutCoverage::from_keymap_text(text);
    ASSERT_TRUE(coverage);
    const KeySymbol keysym = keysym_for_character(c.c);
    EXPECT_EQ(coverage->types(keysym), c.types);
    EXPECT_EQ(coverage->in_some(keysym), c.in_some);
  }
}

TEST(LayoutCoverage, AKeymapThatDoesNotCompileIsRefused) {
  EXPECT_FALSE(LayoutCoverage::from_keymap_text("xkb_keymap { nonsense"));
  EXPECT_FALSE(LayoutCoverage::from_keymap_text(""));
}

}  // namespace
}  // namespace tavrino
