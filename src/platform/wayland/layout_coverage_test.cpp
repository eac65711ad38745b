// SPDX-License-Identifier: MIT
#include "platform/wayland/layout_coverage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <xkbcommon/xkbcommon.h>

#include "base/text.h"
#include "playback/key_string.h"

namespace tavrino {
namespace {

// The keymap text a compositor with these layouts hands to its clients.
std::string keymap_text(const char* layouts) {
  std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
      xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref);
  const xkb_rule_names names = {"evdev", "pc105", layouts, "", ""};
  std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS),
      xkb_keymap_unref);
  if (!keymap) return {};
  char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
  std::string copy(text);
  std::free(text);
  // As wl_keyboard.keymap hands it over: with its terminating zero.
  copy.push_back('\0');
  return copy;
}

TEST(LayoutCoverage, AValueIsTypableWhenEveryLayoutHasItsKeysOnTheFirstThreeLevels) {
  struct Case {
    const char* layouts;
    std::u16string value;
    std::optional<std::size_t> untypable;  // the event
    std::u16string reason_has;
  };
  const Case cases[] = {
      {"us", u"45{TAB}7,5~", std::nullopt, u""},
      {"us", u"Zoe +(ab)^c%{F4}", std::nullopt, u""},
      {"us", u"Zoë", 2, u"layout has no key for \"ë\""},
      {"de", u"Zoë äß", 2, u"no key for \"ë\""},
      {"de", u"äß€@", std::nullopt, u""},  // € and @ on AltGr, the third level
      // Polish has ó and ź on AltGr, Ł only on AltGr with Shift, the fourth
      // level.
      {"pl", u"óźł", std::nullopt, u""},
      {"pl", u"Łódź", 0, u"no key for \"Ł\""},
      {"us", u"中", 0, u"no key for \"中\""},
      // Both layouts have digits; only German has ä, and the desktop types in
      // the layout in use.
      {"us,de", u"45", std::nullopt, u""},
      {"us,de", u"4ä", 1, u"not every one of this desktop's keyboard layouts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.layouts) + ": " + utf16_to_utf8(c.value));
    const std::string text = keymap_text(c.layouts);
    ASSERT_FALSE(text.empty());
    const auto coverage = LayoutCoverage::from_keymap_text(text);
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

TEST(LayoutCoverage, AControlCharacterHasNoKeyOnAnyLayout) {
  const auto coverage = LayoutCoverage::from_keymap_text(keymap_text("us"));
  ASSERT_TRUE(coverage);
  const KeyEvents events = {KeyEvent::of_character(u'4'), KeyEvent::of_character(0x01)};
  const auto untypable = first_untypable(*coverage, events);
  ASSERT_TRUE(untypable);
  EXPECT_EQ(untypable->event, 1u);
  EXPECT_EQ(untypable->reason, u"no key produces U+0001.");
}

TEST(LayoutCoverage, AKeymapThatDoesNotCompileIsRefused) {
  EXPECT_FALSE(LayoutCoverage::from_keymap_text("xkb_keymap { nonsense"));
  EXPECT_FALSE(LayoutCoverage::from_keymap_text(""));
}

}  // namespace
}  // namespace tavrino
