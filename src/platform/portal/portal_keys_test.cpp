// SPDX-License-Identifier: MIT
#include "platform/portal/portal_keys.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/text.h"
#include "platform/xkb/test_keymaps.h"
#include "playback/key_string.h"

namespace tavrino {
namespace {

TEST(PortalKeys, TheFirstEventNoLayoutTypesIsNamedWithWhatTheLayoutsLack) {
  struct Case {
    const char* layouts;
    std::u16string value;
    std::optional<std::size_t> untypable;  // the event
    std::u16string reason_has;
  };
  const Case cases[] = {
      // Modifiers are keysyms too (Shift_L, Control_L, Alt_L).
      {"us", u"Zoe +(ab)^c%{F4}~", std::nullopt, u""},
      {"us", u"Zo\u00eb", 2, u"layout has no key for \"\u00eb\""},
      {"de", u"\u00e4\u00df\u20ac@", std::nullopt, u""},
      {"pl", u"\u0141\u00f3d\u017a", 0, u"no key for \"\u0141\""},
      {"us,de", u"+(4)\u00e4", 3, u"not every one of this desktop's keyboard layouts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layouts) + ": " + utf16_to_utf8(c.value));
    const auto coverage = LayoutCoverage::from_keymap_text(keymap_text_for(c.layouts));
    ASSERT_TRUE(coverage);
    const ParsedKeys parsed = parse_key_string(c.value);
    ASSERT_FALSE(parsed.error);
    const auto untypable = first_untypable(*coverage, parsed.events);
    ASSERT_EQ(untypable.has_value(), c.untypable.has_value());
    if (!untypable) continue;
    EXPECT_EQ(untypable->event, *c.untypable);
    EXPECT_NE(untypable->reason.find(c.reason_has), std::u16string::npos)
        << utf16_to_utf8(untypable->reason);
  }
}

}  // namespace
}  // namespace tavrino
