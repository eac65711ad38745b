// SPDX-License-Identifier: MIT
#include "platform/wayland/virtual_keymap.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include <xkbcommon/xkbcommon.h>

#include "base/text.h"
#include "playback/key_string.h"

namespace tavrino {
namespace {

KeyEvents events_of(std::u16string_view keys) {
  ParsedKeys parsed = parse_key_string(keys);
  EXPECT_FALSE(parsed.error) << utf16_to_utf8(keys);
  return parsed.events;
}

// A keymap compiled from its text as a client compiles what the compositor
// hands on, with no include path: the text must need none.
class Compiled {
 public:
  explicit Compiled(const std::string& text)
      : context_(xkb_context_new(static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES |
                                                                XKB_CONTEXT_NO_ENVIRONMENT_NAMES)),
                 xkb_context_unref),
        keymap_(xkb_keymap_new_from_string(context_.get(), text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                           XKB_KEYMAP_COMPILE_NO_FLAGS),
                xkb_keymap_unref) {}

  bool ok() const { return keymap_ != nullptr; }

  // The keysym `keycode` gives with the real modifiers `mods` down.
  xkb_keysym_t keysym(std::uint32_t keycode, std::uint32_t mods) const {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap_.get()),
                                                                 xkb_state_unref);
    xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, 0);
    return xkb_state_key_get_one_sym(state.get(), keycode);
  }

  // The modifiers that pressing `keycode` sets, by the keymap's own actions.
  bool key_sets(std::uint32_t keycode, const char* modifier) const {
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_state_new(keymap_.get()),
                                                                 xkb_state_unref);
    xkb_state_update_key(state.get(), keycode, XKB_KEY_DOWN);
    return xkb_state_mod_name_is_active(state.get(), modifier, XKB_STATE_MODS_DEPRESSED) == 1;
  }

 private:
  std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context_;
  std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap_;
};

std::uint32_t mods_for(const VirtualStroke& stroke) {
  return stroke.shift ? kVirtualShiftMask : 0;
}

TEST(VirtualKeymap, EveryCharacterAndKeyOfAValueIsOnItsKeymap) {
  const std::u16string values[] = {
      u"45 7,5",
      u"Zoë Müller Łódź €",
      u"ÄÖÜäöü ß Yz A{+}",
      u"中文 😀 ₹ Ω",
      u"a{TAB}b~{BS}{F13}{ADD}{DIVIDE}{LEFT}",
      u"{{}{}}{(}{)}{[}{]}{^}{%}{~}",
  };
  for (const std::u16string& value : values) {
    SCOPED_TRACE(utf16_to_utf8(value));
    const KeyEvents events = events_of(value);
    const std::vector<VirtualKeymap> keymaps = plan_virtual_keymaps(events);
    ASSERT_EQ(keymaps.size(), 1u);
    EXPECT_EQ(keymaps[0].begin, 0u);
    EXPECT_EQ(keymaps[0].end, events.size());
    const Compiled compiled(virtual_keymap_text(keymaps[0]));
    ASSERT_TRUE(compiled.ok()) << virtual_keymap_text(keymaps[0]);
    std::set<std::uint32_t> keycodes;
    for (const KeyEvent& event : events) {
      const KeySymbol keysym = keysym_of(event);
      if (keysym == kNoSymbol) continue;
      const auto stroke = keymaps[0].find(keysym);
      ASSERT_TRUE(stroke) << keysym;
      EXPECT_GE(stroke->keycode, kVirtualFirstKeycode);
      EXPECT_LE(stroke->keycode, kVirtualLastKeycode);
      EXPECT_EQ(compiled.keysym(stroke->keycode, mods_for(*stroke)), keysym);
      keycodes.insert(stroke->keycode);
    }
    // No character shares a key with a modifier.
    EXPECT_EQ(keycodes.count(kVirtualShiftKeycode), 0u);
    EXPECT_EQ(keycodes.count(kVirtualControlKeycode), 0u);
    EXPECT_EQ(keycodes.count(kVirtualAltKeycode), 0u);
  }
}

TEST(VirtualKeymap, ModifierKeysSetTheirModifiersAndShiftMakesCapitalsOfLetters) {
  const KeyEvents events = events_of(u"a+(b)^c%d7{TAB}");
  const VirtualKeymap keymap = plan_virtual_keymaps(events).at(0);
  const Compiled compiled(virtual_keymap_text(keymap));
  ASSERT_TRUE(compiled.ok());
  EXPECT_TRUE(compiled.key_sets(kVirtualShiftKeycode, XKB_MOD_NAME_SHIFT));
  EXPECT_TRUE(compiled.key_sets(kVirtualControlKeycode, XKB_MOD_NAME_CTRL));
  EXPECT_TRUE(compiled.key_sets(kVirtualAltKeycode, XKB_MOD_NAME_ALT));

  // A letter's key gives its capital under a held Shift, as on a real
  // keyboard; other characters come out the same.
  const auto b = keymap.find(u'b');
  ASSERT_TRUE(b);
  EXPECT_FALSE(b->shift);
  EXPECT_EQ(compiled.keysym(b->keycode, kVirtualShiftMask), static_cast<xkb_keysym_t>(u'B'));
  EXPECT_EQ(keymap.find(u'B'), (VirtualStroke{b->keycode, true}));
  const auto seven = keymap.find(u'7');
  ASSERT_TRUE(seven);
  EXPECT_EQ(compiled.keysym(seven->keycode, kVirtualShiftMask), static_cast<xkb_keysym_t>(u'7'));
  // Shift+Tab is the back-tab programs know.
  const auto tab = keymap.find(0xff09);
  ASSERT_TRUE(tab);
  EXPECT_EQ(tab->keycode, 23u);
  EXPECT_EQ(compiled.keysym(tab->keycode, kVirtualShiftMask), 0xfe20u);
}

TEST(VirtualKeymap, PlaybacksWithMoreCharactersThanKeysGetOneKeymapPerStretch) {
  struct Case {
    std::u16string keys;
    std::size_t character_keys;
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
  };
  const Case cases[] = {
      // Capitals share their letter's key; repeats take no new key.
      {u"abAcBa", 3, {{0, 6}}},
      {u"abcd", 3, {{0, 3}, {3, 4}}},
      {u"ab{TAB}cd~ef", 2, {{0, 3}, {3, 6}, {6, 8}}},
      // Named keys and modifiers are on every keymap and take no key.
      {u"+({TAB}{F5})", 1, {{0, 4}}},
      {u"", 5, {{0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf16_to_utf8(c.keys));
    const KeyEvents events = events_of(c.keys);
    const std::vector<VirtualKeymap> keymaps = plan_virtual_keymaps(events, c.character_keys);
    ASSERT_EQ(keymaps.size(), c.stretches.size());
    for (std::size_t k = 0; k < keymaps.size(); ++k) {
      EXPECT_EQ(keymaps[k].begin, c.stretches[k].first);
      EXPECT_EQ(keymaps[k].end, c.stretches[k].second);
      for (std::size_t i = keymaps[k].begin; i < keymaps[k].end; ++i) {
        const KeySymbol keysym = keysym_of(events[i]);
        if (keysym != kNoSymbol) {
          EXPECT_TRUE(keymaps[k].find(keysym)) << i;
        }
      }
    }
  }

  // With every free keycode in use: a thousand different characters.
  std::u16string many;
  for (char16_t c = 0x4e00; c < 0x4e00 + 1000; ++c) many += c;
  const KeyEvents events = events_of(many);
  const std::vector<VirtualKeymap> keymaps = plan_virtual_keymaps(events);
  ASSERT_GT(keymaps.size(), 4u);
  EXPECT_EQ(keymaps.back().end, events.size());
  for (const VirtualKeymap& keymap : keymaps) {
    EXPECT_LE(keymap.keys.size(), kVirtualLastKeycode - kVirtualFirstKeycode + 1);
    EXPECT_TRUE(Compiled(virtual_keymap_text(keymap)).ok());
  }
}

}  // namespace
}  // namespace tavrino
