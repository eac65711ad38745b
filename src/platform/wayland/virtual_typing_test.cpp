// SPDX-License-Identifier: MIT
#include "platform/wayland/virtual_typing.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "base/unicode.h"
#include "playback/key_string.h"

namespace tavrino {
namespace {

std::u16string name_of(KeySymbol keysym) {
  for (int k = 0; k <= static_cast<int>(Key::divide); ++k) {
    if (keysym_for_key(static_cast<Key>(k)) == keysym) return key_name(static_cast<Key>(k));
  }
  return to_text(keysym);
}

// A compositor as far as typing goes: it keeps the keymap it was handed
// and the modifiers it was told, and writes down what each key press types
// with them: "[keymap 1]" for a keymap handed over ("[keymap 1 shift]" with
// Shift held on it), then the characters and "{TAB}" for a named key.
class FakeCompositor final : public VirtualKeyboardOutput {
 public:
  Status keymap(const VirtualKeymap& keymap, std::uint32_t mods_now, bool first) override {
    if (first != typed_log.empty()) typed_log += u"[wrong first]";
    keymap_ = keymap;
    mods = mods_now;
    typed_log += u"[keymap " + to_text(static_cast<std::int64_t>(number_of(keymap))) +
                 ((mods & kVirtualShiftMask) != 0 ? u" shift]" : u"]");
    return Status::success();
  }
  void key(std::uint32_t keycode, bool down) override {
    if (!down || keycode == kVirtualShiftKeycode || keycode == kVirtualControlKeycode ||
        keycode == kVirtualAltKeycode) {
      return;
    }
    for (const VirtualKey& key : keymap_.keys) {
      if (key.keycode != keycode) continue;
      const KeySymbol keysym = (mods & kVirtualShiftMask) != 0 ? key.level2 : key.level1;
      const char32_t c = character_of_keysym(keysym);
      if ((mods & kVirtualControlMask) != 0) typed_log += u"^";
      typed_log += types_text(keysym) ? code_point_text(c) : u"{" + name_of(keysym) + u"}";
      return;
    }
    typed_log += u"[no key " + to_text(keycode) + u"]";
  }
  void modifiers(std::uint32_t mods_now) override { mods = mods_now; }

  // Keymaps are told apart by where their stretch of events begins.
  std::size_t number_of(const VirtualKeymap& keymap) const {
    for (std::size_t i = 0; i < planned.size(); ++i) {
      if (planned[i].begin == keymap.begin && planned[i].keys == keymap.keys) return i;
    }
    return planned.size();
  }

  std::vector<VirtualKeymap> planned;
  std::u16string typed_log;
  std::uint32_t mods = 0;

 private:
  VirtualKeymap keymap_;
};

TEST(VirtualTyping, KeymapsSwitchInTheMiddleOfAPlaybackWithoutChangingWhatIsTyped) {
  struct Case {
    const char* what;
    std::u16string keys;
    std::size_t per_keymap;  // characters on each keymap
    std::u16string typed;
  };
  const Case cases[] = {
      {"one keymap", u"abc", 3, u"[keymap 0]abc"},
      {"a switch", u"abcd", 2, u"[keymap 0]ab[keymap 1]cd"},
      // Shift held by the key string stays held on the next keymap.
      {"a held Shift", u"+(abc)", 2, u"[keymap 0]AB[keymap 1 shift]C"},
      {"a held Ctrl", u"^(abc)d", 2, u"[keymap 0]^a^b[keymap 1]^cd"},
      // The Shift pressed for a capital does not carry over.
      {"a capital before the switch", u"aBc", 2, u"[keymap 0]aB[keymap 1]c"},
      {"a capital after it", u"abC", 2, u"[keymap 0]ab[keymap 1]C"},
      // Both cases of a letter share its key.
      {"both cases on one key", u"aAbB", 1, u"[keymap 0]aA[keymap 1]bB"},
      // Named keys are on every keymap: no switch for them.
      {"named keys", u"a{TAB}b~a", 1, u"[keymap 0]a{TAB}[keymap 1]b{ENTER}[keymap 2]a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ParsedKeys parsed = parse_key_string(c.keys);
    ASSERT_FALSE(parsed.error);
    FakeCompositor compositor;
    compositor.planned = plan_virtual_keymaps(parsed.events, c.per_keymap);
    VirtualTyping typing(compositor);
    ASSERT_TRUE(typing.begin(parsed.events, c.per_keymap));
    for (const KeyEvent& event : parsed.events) ASSERT_TRUE(typing.send(event));
    typing.release_extra();
    EXPECT_EQ(utf16_to_utf8(compositor.typed_log), utf16_to_utf8(c.typed));
    typing.finish();
    EXPECT_EQ(compositor.mods, 0u);
  }
}

TEST(VirtualTyping, ACharacterOfAnEarlierKeymapTakesThatKeymapAgain) {
  const ParsedKeys parsed = parse_key_string(u"abcd");
  FakeCompositor compositor;
  compositor.planned = plan_virtual_keymaps(parsed.events, 2);
  VirtualTyping typing(compositor);
  ASSERT_TRUE(typing.begin(parsed.events, 2));
  for (const KeyEvent& event : parsed.events) ASSERT_TRUE(typing.send(event));
  ASSERT_TRUE(typing.send(KeyEvent::of_character(U'b')));
  EXPECT_EQ(utf16_to_utf8(compositor.typed_log), "[keymap 0]ab[keymap 1]cd[keymap 0]b");
  // A character no keymap has is refused, and nothing is sent for it.
  EXPECT_FALSE(typing.send(KeyEvent::of_character(U'z')));
  EXPECT_EQ(utf16_to_utf8(compositor.typed_log), "[keymap 0]ab[keymap 1]cd[keymap 0]b");
}

}  // namespace
}  // namespace tavrino
