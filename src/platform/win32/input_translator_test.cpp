// SPDX-License-Identifier: MIT
#include "platform/win32/input_translator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/fake_layout.h"

namespace tavrino {
namespace {

std::string translate(const KeyEvents& events, const FakeLayout& layout = us_layout(),
                      bool unicode_only = false, std::vector<INPUT>* records = nullptr) {
  InputTranslator translator(layout, unicode_only);
  std::vector<INPUT> inputs;
  for (const KeyEvent& event : events) {
    Status status = translator.add(event, inputs);
    if (!status) return "error";
  }
  if (records != nullptr) *records = inputs;
  return describe_inputs(inputs);
}

// Key events and the records they must become on `layout`.
struct Translation {
  const char* name;
  const FakeLayout& layout;
  KeyEvents events;
  const char* expected;
};

void expect_translations(std::span<const Translation> cases) {
  for (const Translation& c : cases) {
    EXPECT_EQ(translate(c.events, c.layout), c.expected) << c.name;
  }
}

TEST(InputTranslator, TypesCharactersWithTheLayoutsKeys) {
  const FakeLayout us = us_layout();
  const FakeLayout de = de_layout();
  const Translation cases[] = {
      {"Shift for a capital, a sign's own key", us, text(U"B-2"),
       "[Shift]↓ [B]↓ [B]↑ [Shift]↑ [Minus]↓ [Minus]↑ [2]↓ [2]↑"},
      {"no key for the euro sign", us, text(U"\u20AC"), "u20AC↓ u20AC↑"},
      {"a dead circumflex", de, text(U"^1"), "^↓ ^↑ [1]↓ [1]↑"},
      {"a dead acute, shifted and not", de, text(U"\u00B4`"), "u00B4↓ u00B4↑ `↓ `↑"},
      {"a live character on a dead key", de, text(U"\u00B0"), "[Shift]↓ [DC]↓ [DC]↑ [Shift]↑"},
      {"Ctrl alone would be a shortcut; a state no key press gives", us, text(U"\u00A4\u00A5"),
       "u00A4↓ u00A4↑ u00A5↓ u00A5↑"},
      {"beyond U+FFFF as surrogates", us, text(U"\U0001F600"), "uD83D↓ uD83D↑ uDE00↓ uDE00↑"},
      {"ctrl with a key press", us, held(Modifier::ctrl, text(U"c")), "[Ctrl]↓ [C]↓ [C]↑ [Ctrl]↑"},
      {"shift group", us, held(Modifier::shift, text(U"ab")),
       "[Shift]↓ [A]↓ [A]↑ [B]↓ [B]↑ [Shift]↑"},
      {"shift held for a shifted character", us, held(Modifier::shift, text(U"A")),
       "[Shift]↓ [A]↓ [A]↑ [Shift]↑"},
      {"ctrl with a shifted character", us, held(Modifier::ctrl, text(U"A")),
       "[Ctrl]↓ [Shift]↓ [A]↓ [A]↑ [Shift]↑ [Ctrl]↑"},
      {"alt alone is masked", us, held(Modifier::alt, {}), "[Alt]↓ [Mask]↓ [Mask]↑ [Alt]↑"},
      {"alt with shift alone is masked", us, held(Modifier::alt, held(Modifier::shift, {})),
       "[Alt]↓ [Shift]↓ [Shift]↑ [Mask]↓ [Mask]↑ [Alt]↑"},
      {"alt with a key is not masked", us, held(Modifier::alt, keys({Key::f4})),
       "[Alt]↓ [F4]↓ [F4]↑ [Alt]↑"},
      {"extended keys flagged, plain keys not", us,
       keys({Key::delete_key, Key::pgdn, Key::break_key, Key::tab, Key::add}),
       "[Del*]↓ [Del*]↑ [PgDn*]↓ [PgDn*]↑ [Break*]↓ [Break*]↑ [Tab]↓ [Tab]↑ [Add]↓ [Add]↑"},
  };
  expect_translations(cases);
}

TEST(InputTranslator, PressesAltGrAsAKeyboardSendsIt) {
  const FakeLayout de = de_layout();
  const FakeLayout fr = fr_layout();
  const FakeLayout pl = pl_layout();
  FakeLayout de_without_altgr = de_layout();
  de_without_altgr.altgr = false;
  // @, the euro sign, ł and { on each layout.
  const KeyEvents signs = text(U"@\u20AC\u0142{");
  const Translation cases[] = {
      {"de", de, signs,
       "[RAlt*]↓ [Q]↓ [Q]↑ [RAlt*]↑ [RAlt*]↓ [E]↓ [E]↑ [RAlt*]↑ u0142↓ u0142↑ "
       "[RAlt*]↓ [7]↓ [7]↑ [RAlt*]↑"},
      {"fr", fr, signs,
       "[RAlt*]↓ [0]↓ [0]↑ [RAlt*]↑ [RAlt*]↓ [E]↓ [E]↑ [RAlt*]↑ u0142↓ u0142↑ "
       "[RAlt*]↓ [4]↓ [4]↑ [RAlt*]↑"},
      {"pl", pl, signs,
       "[Shift]↓ [2]↓ [2]↑ [Shift]↑ [RAlt*]↓ [U]↓ [U]↑ [RAlt*]↑ [RAlt*]↓ [L]↓ [L]↑ [RAlt*]↑ "
       "[Shift]↓ [DB]↓ [DB]↑ [Shift]↑"},
      {"pl Ł with Shift and AltGr", pl, text(U"\u0141"),
       "[Shift]↓ [RAlt*]↓ [L]↓ [L]↑ [RAlt*]↑ [Shift]↑"},
      {"Ctrl+Alt on a layout without AltGr", de_without_altgr, text(U"@{"),
       "[Ctrl]↓ [Alt]↓ [Q]↓ [Q]↑ [Alt]↑ [Ctrl]↑ [Ctrl]↓ [Alt]↓ [7]↓ [7]↑ [Alt]↑ [Ctrl]↑"},
      {"Shift held by the string", de, held(Modifier::shift, text(U"@")),
       "[Shift]↓ [RAlt*]↓ [Q]↓ [Q]↑ [RAlt*]↑ [Shift]↑"},
      // Right Alt's release would let go of the Ctrl Windows adds, and so of
      // the string's own.
      {"Ctrl held by the string adds left Alt", de, held(Modifier::ctrl, text(U"@")),
       "[Ctrl]↓ [Alt]↓ [Q]↓ [Q]↑ [Alt]↑ [Ctrl]↑"},
      {"Alt held by the string adds left Ctrl", de, held(Modifier::alt, text(U"\u20AC")),
       "[Alt]↓ [Ctrl]↓ [E]↓ [E]↑ [Ctrl]↑ [Alt]↑"},
  };
  expect_translations(cases);
}

TEST(InputTranslator, UnicodeOnlySendsEveryPlainCharacterAsAPacket) {
  const FakeLayout de = de_layout();
  EXPECT_EQ(translate(text(U"B-2"), de, true), "B↓ B↑ -↓ -↑ 2↓ 2↑");
  // A shortcut and a named key need their keys whatever the switch says.
  EXPECT_EQ(translate(held(Modifier::ctrl, text(U"c")), de, true), "[Ctrl]↓ [C]↓ [C]↑ [Ctrl]↑");
  EXPECT_EQ(translate(keys({Key::tab}), de, true), "[Tab]↓ [Tab]↑");
}

TEST(InputTranslator, KeysCarryTheLayoutsScanCodes) {
  // Each record going down: the virtual key and its scan code, "Z:2C".
  const auto scans = [](const KeyEvents& events, const FakeLayout& layout) {
    std::vector<INPUT> records;
    translate(events, layout, false, &records);
    std::string out;
    for (const INPUT& input : records) {
      if ((input.ki.dwFlags & KEYEVENTF_KEYUP) != 0) continue;
      char entry[24];
      std::snprintf(entry, sizeof entry, "%s%s:%02X", out.empty() ? "" : " ",
                    vk_name(input.ki.wVk).c_str(), input.ki.wScan);
      out += entry;
    }
    return out;
  };
  EXPECT_EQ(scans(text(U"zyB-"), us_layout()), "Z:2C Y:15 Shift:2A B:30 Minus:0C");
  EXPECT_EQ(scans(text(U"zy"), de_layout()), "Z:15 Y:2C");
  // AltGr on right Alt's own scan code, also when the layout names none.
  EXPECT_EQ(scans(text(U"@"), de_layout()), "RAlt:38 Q:10");
  FakeLayout de_without_alt_scans = de_layout();
  de_without_alt_scans.scans.erase(VK_RMENU);
  EXPECT_EQ(scans(text(U"@"), de_without_alt_scans), "RAlt:38 Q:10");
}

// With a modifier held a character must be a key of the layout; what the
// parser refuses for every platform (control characters and the like)
// never gets here.
TEST(InputTranslator, RefusesWhatTheLayoutHasNoKeyForWithAModifierHeld) {
  struct Case {
    KeyEvents events;
    const char16_t* must_mention;
  };
  const Case cases[] = {
      {held(Modifier::ctrl, text(U"\u00E9")), u"Ctrl"},
      {held(Modifier::alt, held(Modifier::shift, text(U"\u00E9"))), u"Shift+Alt"},
      // Not taken for the key of its low 16 bits.
      {held(Modifier::shift, text(U"\U0001F600")), u"\U0001F600"},
  };
  FakeLayout layout = us_layout();
  layout.keys[L'\uF600'] = 'Q';
  for (const Case& c : cases) {
    InputTranslator translator(layout);
    std::vector<INPUT> inputs;
    Status last = Status::success();
    std::size_t before_failure = 0;
    for (const KeyEvent& event : c.events) {
      before_failure = inputs.size();
      last = translator.add(event, inputs);
      if (!last) break;
    }
    ASSERT_FALSE(last.ok());
    EXPECT_NE(last.message().find(c.must_mention), std::u16string::npos);
    EXPECT_EQ(inputs.size(), before_failure) << "a refused event adds no records";
  }
}

}  // namespace
}  // namespace tavrino
