// SPDX-License-Identifier: MIT
#include "platform/win32/send_input_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "playback/typekeys.h"
#include "sheet/result_sheet.h"

namespace tavrino {
namespace {

// Scan codes of a PC keyboard, by where the key sits: the key left of Enter
// on the bottom row types Z on a US keyboard and Y on a German one.
constexpr WORD kScanOf[][2] = {
    {'B', 0x30},     {'Q', 0x10},    {VK_SHIFT, 0x2A},  {VK_CONTROL, 0x1D},
    {VK_MENU, 0x38}, {VK_TAB, 0x0F}, {VK_DELETE, 0x53}, {VK_RMENU, 0x38},
};

// A keyboard layout as a table: which key and shift state types each
// character, where the keys sit, and which keys are dead.
class FakeLayout final : public KeyLayout {
 public:
  SHORT key_for(wchar_t c) const override {
    const auto it = keys.find(c);
    return it == keys.end() ? SHORT{-1} : it->second;
  }
  WORD scan_code(BYTE vk) const override {
    const auto it = scans.find(vk);
    return it == scans.end() ? WORD{0} : it->second;
  }
  bool types(BYTE vk, BYTE shift_state, wchar_t c) const override {
    if (dead.count({vk, shift_state}) > 0) return false;
    return key_for(c) == static_cast<SHORT>(shift_state << 8 | vk);
  }
  bool has_altgr() const override { return altgr; }

  bool altgr = false;
  std::map<wchar_t, SHORT> keys;
  std::map<BYTE, WORD> scans;
  std::set<std::pair<BYTE, BYTE>> dead;  // vk and shift state
};

constexpr SHORT kShift = 0x100;
constexpr SHORT kAltGr = 0x600;

FakeLayout common_layout() {
  FakeLayout layout;
  for (wchar_t c = L'a'; c <= L'z'; ++c) {
    layout.keys[c] = static_cast<SHORT>(c - L'a' + 'A');
    layout.keys[static_cast<wchar_t>(c - L'a' + L'A')] =
        static_cast<SHORT>(kShift | (c - L'a' + 'A'));
  }
  for (wchar_t c = L'0'; c <= L'9'; ++c) layout.keys[c] = static_cast<SHORT>(c);
  layout.keys[L' '] = VK_SPACE;
  for (const auto& [vk, scan] : kScanOf) layout.scans[static_cast<BYTE>(vk)] = scan;
  return layout;
}

FakeLayout us_layout() {
  FakeLayout layout = common_layout();
  layout.keys[L'-'] = VK_OEM_MINUS;
  layout.keys[L'@'] = kShift | '2';
  layout.keys[L'^'] = kShift | '6';
  // Characters a layout gives only with Ctrl, or with a state no key press
  // gives: they must not go as those keys.
  layout.keys[L'\u00A4'] = 0x200 | 'X';
  layout.keys[L'\u00A5'] = 0x800 | 'X';
  layout.scans['Y'] = 0x15;
  layout.scans['Z'] = 0x2C;
  layout.scans[VK_OEM_MINUS] = 0x0C;
  return layout;
}

constexpr BYTE kDeCircumflexKey = VK_OEM_5;
constexpr BYTE kDeAcuteKey = VK_OEM_6;

FakeLayout de_layout() {
  FakeLayout layout = common_layout();
  layout.altgr = true;
  layout.keys[L'-'] = VK_OEM_MINUS;
  layout.keys[L'@'] = kAltGr | 'Q';
  layout.keys[L'\u20AC'] = kAltGr | 'E';
  layout.keys[L'{'] = kAltGr | '7';
  layout.keys[L'^'] = kDeCircumflexKey;
  layout.keys[L'\u00B0'] = kShift | kDeCircumflexKey;  // °, on the same key
  layout.keys[L'\u00B4'] = kDeAcuteKey;                // ´
  layout.keys[L'`'] = kShift | kDeAcuteKey;
  layout.dead = {{kDeCircumflexKey, 0}, {kDeAcuteKey, 0}, {kDeAcuteKey, 1}};
  layout.scans['Y'] = 0x2C;
  layout.scans['Z'] = 0x15;
  layout.scans[VK_OEM_MINUS] = 0x35;
  layout.scans[kDeCircumflexKey] = 0x29;
  layout.scans[kDeAcuteKey] = 0x0D;
  return layout;
}

// AZERTY: @ and { on the digit row with AltGr.
FakeLayout fr_layout() {
  FakeLayout layout = common_layout();
  layout.altgr = true;
  layout.keys[L'@'] = kAltGr | '0';
  layout.keys[L'\u20AC'] = kAltGr | 'E';
  layout.keys[L'{'] = kAltGr | '4';
  return layout;
}

// Polish (programmers): US keys, and AltGr for the Polish letters and the
// euro sign.
FakeLayout pl_layout() {
  FakeLayout layout = common_layout();
  layout.altgr = true;
  layout.keys[L'@'] = kShift | '2';
  layout.keys[L'{'] = kShift | VK_OEM_4;
  layout.keys[L'\u20AC'] = kAltGr | 'U';
  layout.keys[L'\u0142'] = kAltGr | 'L';           // ł
  layout.keys[L'\u0141'] = kShift | kAltGr | 'L';  // Ł
  return layout;
}

KeyEvents text(std::u32string_view chars) {
  KeyEvents events;
  for (char32_t c : chars) events.push_back(KeyEvent::of_character(c));
  return events;
}

KeyEvents held(Modifier m, const KeyEvents& inner) {
  KeyEvents events{KeyEvent::press_of(m)};
  events.insert(events.end(), inner.begin(), inner.end());
  events.push_back(KeyEvent::release_of(m));
  return events;
}

KeyEvents keys(std::initializer_list<Key> list) {
  KeyEvents events;
  for (Key k : list) events.push_back(KeyEvent::of_key(k));
  return events;
}

std::string vk_name(WORD vk) {
  static const std::map<WORD, const char*> kNames = {
      {VK_SHIFT, "Shift"},     {VK_CONTROL, "Ctrl"},   {VK_MENU, "Alt"},      {VK_CAPITAL, "Caps"},
      {VK_TAB, "Tab"},         {VK_BACK, "BS"},        {VK_SPACE, "Space"},   {VK_DELETE, "Del"},
      {VK_LEFT, "Left"},       {VK_NEXT, "PgDn"},      {VK_DIVIDE, "Divide"}, {VK_ADD, "Add"},
      {VK_CANCEL, "Break"},    {VK_SNAPSHOT, "PrtSc"}, {VK_F4, "F4"},         {VK_F16, "F16"},
      {VK_OEM_MINUS, "Minus"}, {kMenuMaskKey, "Mask"}, {VK_RMENU, "RAlt"},
  };
  if (const auto it = kNames.find(vk); it != kNames.end()) return it->second;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
    return std::string(1, static_cast<char>(vk));
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", vk);
  return hex;
}

// "a↓ a↑" for Unicode packets (uXXXX beyond ASCII), "[Del*]↓" for virtual
// keys, with * for the extended flag.
std::string describe_inputs(const std::vector<INPUT>& inputs) {
  std::string out;
  for (const INPUT& input : inputs) {
    if (!out.empty()) out += ' ';
    const KEYBDINPUT& k = input.ki;
    if ((k.dwFlags & KEYEVENTF_UNICODE) != 0) {
      if (k.wScan >= 0x20 && k.wScan < 0x7F) {
        out += static_cast<char>(k.wScan);
      } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "u%04X", k.wScan);
        out += hex;
      }
    } else {
      out += '[';
      out += vk_name(k.wVk);
      if ((k.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0) out += '*';
      out += ']';
    }
    out += (k.dwFlags & KEYEVENTF_KEYUP) != 0 ? "\xE2\x86\x91" : "\xE2\x86\x93";  // ↑ ↓
  }
  return out;
}

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

TEST(InputTranslator, TypesCharactersWithTheLayoutsKeys) {
  const FakeLayout us = us_layout();
  const FakeLayout de = de_layout();
  struct Case {
    const char* name;
    const FakeLayout& layout;
    KeyEvents events;
    const char* expected;
  };
  const Case cases[] = {
      {"Shift for a capital, a sign's own key", us, text(U"B-2"),
       "[Shift]↓ [B]↓ [B]↑ [Shift]↑ [Minus]↓ [Minus]↑ [2]↓ [2]↑"},
      {"no key for the euro sign", us, text(U"\u20AC"), "u20AC↓ u20AC↑"},
      {"a dead circumflex", de, text(U"^1"), "^↓ ^↑ [1]↓ [1]↑"},
      {"a dead acute, shifted and not", de, text(U"\u00B4`"), "u00B4↓ u00B4↑ `↓ `↑"},
      {"a live character on a dead key", de, text(U"\u00B0"), "[Shift]↓ [DC]↓ [DC]↑ [Shift]↑"},
      {"the circumflex is live on another layout", us, text(U"^"), "[Shift]↓ [6]↓ [6]↑ [Shift]↑"},
      {"Ctrl alone would be a shortcut", us, text(U"\u00A4"), "u00A4↓ u00A4↑"},
      {"a state no key press gives", us, text(U"\u00A5"), "u00A5↓ u00A5↑"},
      {"beyond U+FFFF as surrogates", us, text(U"\U0001F600"), "uD83D↓ uD83D↑ uDE00↓ uDE00↑"},
      {"ctrl with a key press", us, held(Modifier::ctrl, text(U"c")), "[Ctrl]↓ [C]↓ [C]↑ [Ctrl]↑"},
      {"shift group", us, held(Modifier::shift, text(U"ab")),
       "[Shift]↓ [A]↓ [A]↑ [B]↓ [B]↑ [Shift]↑"},
      {"shift held for a shifted character", us, held(Modifier::shift, text(U"A")),
       "[Shift]↓ [A]↓ [A]↑ [Shift]↑"},
      {"ctrl with a shifted character", us, held(Modifier::ctrl, text(U"A")),
       "[Ctrl]↓ [Shift]↓ [A]↓ [A]↑ [Shift]↑ [Ctrl]↑"},
      {"nested modifiers", us, held(Modifier::ctrl, held(Modifier::shift, text(U"a"))),
       "[Ctrl]↓ [Shift]↓ [A]↓ [A]↑ [Shift]↑ [Ctrl]↑"},
      {"alt alone is masked", us, held(Modifier::alt, {}), "[Alt]↓ [Mask]↓ [Mask]↑ [Alt]↑"},
      {"alt with shift alone is masked", us, held(Modifier::alt, held(Modifier::shift, {})),
       "[Alt]↓ [Shift]↓ [Shift]↑ [Mask]↓ [Mask]↑ [Alt]↑"},
      {"alt with a key is not masked", us, held(Modifier::alt, keys({Key::f4})),
       "[Alt]↓ [F4]↓ [F4]↑ [Alt]↑"},
      {"alt with a character is not masked", us, held(Modifier::alt, text(U"a")),
       "[Alt]↓ [A]↓ [A]↑ [Alt]↑"},
      {"extended keys flagged", us, keys({Key::delete_key, Key::left, Key::pgdn, Key::divide}),
       "[Del*]↓ [Del*]↑ [Left*]↓ [Left*]↑ [PgDn*]↓ [PgDn*]↑ [Divide*]↓ [Divide*]↑"},
      {"plain keys not flagged", us, keys({Key::tab, Key::add, Key::f16, Key::backspace}),
       "[Tab]↓ [Tab]↑ [Add]↓ [Add]↑ [F16]↓ [F16]↑ [BS]↓ [BS]↑"},
      {"break and print screen", us, keys({Key::break_key, Key::prtsc}),
       "[Break*]↓ [Break*]↑ [PrtSc*]↓ [PrtSc*]↑"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(translate(c.events, c.layout), c.expected) << c.name;
  }
}

TEST(InputTranslator, PressesAltGrAsAKeyboardSendsIt) {
  const FakeLayout de = de_layout();
  const FakeLayout fr = fr_layout();
  const FakeLayout pl = pl_layout();
  FakeLayout de_without_altgr = de_layout();
  de_without_altgr.altgr = false;
  struct Case {
    const char* name;
    const FakeLayout& layout;
    KeyEvents events;
    const char* expected;
  };
  const Case cases[] = {
      {"de @", de, text(U"@"), "[RAlt*]↓ [Q]↓ [Q]↑ [RAlt*]↑"},
      {"de euro", de, text(U"\u20AC"), "[RAlt*]↓ [E]↓ [E]↑ [RAlt*]↑"},
      {"de ł has no key", de, text(U"\u0142"), "u0142↓ u0142↑"},
      {"de {", de, text(U"{"), "[RAlt*]↓ [7]↓ [7]↑ [RAlt*]↑"},
      {"fr @", fr, text(U"@"), "[RAlt*]↓ [0]↓ [0]↑ [RAlt*]↑"},
      {"fr euro", fr, text(U"\u20AC"), "[RAlt*]↓ [E]↓ [E]↑ [RAlt*]↑"},
      {"fr ł has no key", fr, text(U"\u0142"), "u0142↓ u0142↑"},
      {"fr {", fr, text(U"{"), "[RAlt*]↓ [4]↓ [4]↑ [RAlt*]↑"},
      {"pl @ with Shift", pl, text(U"@"), "[Shift]↓ [2]↓ [2]↑ [Shift]↑"},
      {"pl euro", pl, text(U"\u20AC"), "[RAlt*]↓ [U]↓ [U]↑ [RAlt*]↑"},
      {"pl ł", pl, text(U"\u0142"), "[RAlt*]↓ [L]↓ [L]↑ [RAlt*]↑"},
      {"pl { with Shift", pl, text(U"{"), "[Shift]↓ [DB]↓ [DB]↑ [Shift]↑"},
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
  for (const Case& c : cases) {
    EXPECT_EQ(translate(c.events, c.layout), c.expected) << c.name;
  }
}

TEST(InputTranslator, UnicodeOnlySendsEveryPlainCharacterAsAPacket) {
  const FakeLayout de = de_layout();
  const struct {
    KeyEvents events;
    const char* expected;
  } cases[] = {
      {text(U"B-2"), "B↓ B↑ -↓ -↑ 2↓ 2↑"},
      // A shortcut needs its key whatever the switch says.
      {held(Modifier::ctrl, text(U"c")), "[Ctrl]↓ [C]↓ [C]↑ [Ctrl]↑"},
      {keys({Key::tab}), "[Tab]↓ [Tab]↑"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(translate(c.events, de, true), c.expected) << "case " << (&c - cases);
  }
}

TEST(InputTranslator, KeysCarryTheLayoutsScanCodes) {
  // Each record: the virtual key and its scan code, "Z:2C".
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
  const FakeLayout us = us_layout();
  const FakeLayout de = de_layout();
  EXPECT_EQ(scans(text(U"zy"), us), "Z:2C Y:15");
  EXPECT_EQ(scans(text(U"zy"), de), "Z:15 Y:2C");
  EXPECT_EQ(scans(text(U"B-"), us), "Shift:2A B:30 Minus:0C");
  EXPECT_EQ(scans(text(U"-"), de), "Minus:35");
  EXPECT_EQ(scans(text(U"@"), de), "RAlt:38 Q:10");
  FakeLayout de_without_alt_scans = de_layout();
  de_without_alt_scans.scans.erase(VK_RMENU);
  EXPECT_EQ(scans(text(U"@"), de_without_alt_scans), "RAlt:38 Q:10");
  EXPECT_EQ(scans(keys({Key::tab, Key::delete_key}), us), "Tab:0F Del:53");
}

TEST(InputTranslator, RefusesCharactersItCannotType) {
  struct Case {
    KeyEvents events;
    const char16_t* must_mention;
  };
  const Case cases[] = {
      {held(Modifier::ctrl, text(U"\u00E9")), u"Ctrl"},
      {held(Modifier::alt, held(Modifier::shift, text(U"\u00E9"))), u"Shift+Alt"},
      {held(Modifier::shift, text(U"\U0001F600")), u"\U0001F600"},
      {text(U"a\x01"), u"control character U+0001"},
      {text(U"\x7f"), u"control character U+007F"},
  };
  const FakeLayout layout = us_layout();
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

// The desktop as a test sets it up; it records every SendInput call.
class FakeDesktop final : public Desktop {
 public:
  Status open(std::function<void()> release_all) override {
    log.push_back("open");
    release_all_ = std::move(release_all);
    return open_result;
  }
  void close() override { log.push_back("close"); }
  Focus focus() override { return focus_now; }
  HeldKeys held_keys() override { return {}; }
  std::unique_ptr<KeyLayout> target_layout() override {
    return std::make_unique<FakeLayout>(layout);
  }
  std::uintptr_t layout_id() override { return layout_now; }
  bool caps_lock_on() override { return caps; }
  void watch_escape(bool on) override { log.push_back(on ? "watch" : "unwatch"); }
  bool escape_pressed() override { return escape; }
  UINT send_input(std::span<INPUT> inputs) override {
    calls.emplace_back(inputs.begin(), inputs.end());
    log.push_back("send " + describe_inputs(calls.back()));
    if (after_send) after_send(*this);
    return std::min<UINT>(static_cast<UINT>(inputs.size()), accept);
  }
  void settle() override { ++settles; }

  // The keyboard's emergency release, as the console handler would call it.
  void console_closes() { release_all_(); }

  std::vector<std::string> log;
  std::vector<std::vector<INPUT>> calls;
  Status open_result = Status::success();
  Focus focus_now{Focus::Kind::other, 7};
  FakeLayout layout = us_layout();
  std::uintptr_t layout_now = 1;
  bool caps = false;
  bool escape = false;
  UINT accept = UINT_MAX;  // records taken per call
  int settles = 0;
  std::function<void(FakeDesktop&)> after_send;

 private:
  std::function<void()> release_all_;
};

std::vector<std::string> sends(const FakeDesktop& desktop) {
  std::vector<std::string> out;
  for (const auto& call : desktop.calls) out.push_back(describe_inputs(call));
  return out;
}

TEST(SendInputKeyboard, SendsAValueInOneCall) {
  FakeDesktop desktop;
  SendInputKeyboard keyboard(desktop);
  KeyEvents value = text(U"B");
  const KeyEvents shifted = held(Modifier::shift, text(U"ab"));
  value.insert(value.end(), shifted.begin(), shifted.end());
  value.push_back(KeyEvent::of_key(Key::tab));
  ASSERT_TRUE(keyboard.begin().ok());
  ASSERT_TRUE(keyboard.prepare(value).ok());
  const Keyboard::Sent sent = keyboard.send(value);
  keyboard.end();
  EXPECT_TRUE(sent.status.ok());
  EXPECT_EQ(sent.delivered, value.size());
  EXPECT_EQ(desktop.log, (std::vector<std::string>{
                             "open", "watch",
                             "send [Shift]↓ [B]↓ [B]↑ [Shift]↑ [Shift]↓ [A]↓ [A]↑ [B]↓ [B]↑ "
                             "[Shift]↑ [Tab]↓ [Tab]↑",
                             "unwatch", "close"}));
}

TEST(SendInputKeyboard, TypesPlainCharactersAsPacketsWhenAskedTo) {
  FakeDesktop desktop;
  SendInputKeyboard keyboard(desktop, {.unicode_only = true});
  const KeyEvents value = text(U"B-2");
  ASSERT_TRUE(keyboard.prepare(value).ok());
  keyboard.send(value);
  EXPECT_EQ(sends(desktop), std::vector<std::string>{"B↓ B↑ -↓ -↑ 2↓ 2↑"});
}

TEST(SendInputKeyboard, RefusesInPrepareBeforeAnythingIsSent) {
  FakeDesktop desktop;
  desktop.caps = true;
  SendInputKeyboard keyboard(desktop);
  KeyEvents all = text(U"fine");
  const KeyEvents bad = held(Modifier::ctrl, text(U"\u00E9"));
  all.insert(all.end(), bad.begin(), bad.end());
  EXPECT_FALSE(keyboard.prepare(all).ok());
  keyboard.end();
  EXPECT_TRUE(desktop.calls.empty()) << "not even Caps Lock";
}

TEST(SendInputKeyboard, BeginFailsWhileAnotherPlaybackTypes) {
  FakeDesktop desktop;
  desktop.open_result = Status::failure(another_playback_message());
  SendInputKeyboard keyboard(desktop);
  const Status begun = keyboard.begin();
  ASSERT_FALSE(begun.ok());
  EXPECT_EQ(begun.message().rfind(u"Another tavrino is typing", 0), 0u);
  keyboard.end();
  EXPECT_EQ(desktop.log, std::vector<std::string>{"open"}) << "no hook, nothing to close";
}

TEST(SendInputKeyboard, LetsGoOfEveryKeyOnEveryWayOut) {
  // Ctrl and Alt pressed and never released by the events themselves, as
  // when a playback stops in the middle of "^%(...)".
  const KeyEvents pressed{KeyEvent::press_of(Modifier::ctrl), KeyEvent::press_of(Modifier::alt)};
  using Owned = std::unique_ptr<SendInputKeyboard>;
  const struct {
    const char* name;
    std::function<void(Owned&, FakeDesktop&)> way_out;
  } cases[] = {
      {"end", [](Owned& keyboard, FakeDesktop&) { keyboard->end(); }},
      {"the console closes", [](Owned&, FakeDesktop& desktop) { desktop.console_closes(); }},
      {"the keyboard goes away", [](Owned& keyboard, FakeDesktop&) { keyboard.reset(); }},
  };
  for (const auto& c : cases) {
    FakeDesktop desktop;
    desktop.caps = true;
    auto keyboard = std::make_unique<SendInputKeyboard>(desktop);
    ASSERT_TRUE(keyboard->begin().ok());
    ASSERT_TRUE(keyboard->prepare(pressed).ok());
    keyboard->send(pressed);
    c.way_out(keyboard, desktop);
    ASSERT_EQ(desktop.calls.size(), 3u) << c.name;
    EXPECT_EQ(describe_inputs(desktop.calls[2]), "[Mask]↓ [Mask]↑ [Alt]↑ [Ctrl]↑ [Caps]↓ [Caps]↑")
        << c.name;
  }
}

TEST(SendInputKeyboard, SendsNothingOnceTheConsoleHasClosed) {
  FakeDesktop desktop;
  SendInputKeyboard keyboard(desktop);
  const KeyEvents value = text(U"45");
  ASSERT_TRUE(keyboard.begin().ok());
  ASSERT_TRUE(keyboard.prepare(value).ok());
  desktop.console_closes();
  const Keyboard::Sent sent = keyboard.send(value);
  EXPECT_EQ(sent.delivered, 0u);
  EXPECT_FALSE(sent.status.ok());
  EXPECT_TRUE(desktop.calls.empty());
  // The next playback types again.
  keyboard.end();
  ASSERT_TRUE(keyboard.begin().ok());
  ASSERT_TRUE(keyboard.prepare(value).ok());
  EXPECT_EQ(keyboard.send(value).delivered, value.size());
}

TEST(SendInputKeyboard, CountsWhatWentInWhenInputIsBlocked) {
  // "a", then Ctrl+C, then Tab: records A↓ A↑ Ctrl↓ C↓ C↑ Ctrl↑ Tab↓ Tab↑.
  KeyEvents events = text(U"a");
  const KeyEvents ctrl_c = held(Modifier::ctrl, text(U"c"));
  events.insert(events.end(), ctrl_c.begin(), ctrl_c.end());
  events.push_back(KeyEvent::of_key(Key::tab));
  struct Case {
    UINT accept;
    std::size_t delivered;
    const char* cleanup;  // a second call that lets go of what is still down
  };
  const Case cases[] = {
      {0, 0, nullptr},        {1, 0, "[A]↑"},    {2, 1, nullptr},  {3, 2, "[Ctrl]↑"},
      {4, 2, "[C]↑ [Ctrl]↑"}, {5, 3, "[Ctrl]↑"}, {7, 4, "[Tab]↑"},
  };
  for (const Case& c : cases) {
    FakeDesktop desktop;
    desktop.accept = c.accept;
    SendInputKeyboard keyboard(desktop);
    ASSERT_TRUE(keyboard.prepare(events).ok());
    const Keyboard::Sent sent = keyboard.send(events);
    keyboard.end();
    EXPECT_EQ(sent.delivered, c.delivered) << "accepting " << c.accept;
    ASSERT_FALSE(sent.status.ok());
    EXPECT_NE(sent.status.message().find(u"elevated"), std::u16string::npos);
    ASSERT_EQ(desktop.calls.size(), c.cleanup != nullptr ? 2u : 1u) << "accepting " << c.accept;
    if (c.cleanup != nullptr) {
      EXPECT_EQ(describe_inputs(desktop.calls[1]), c.cleanup);
    }
  }
}

TEST(SendInputKeyboard, SaysWhyWindowsTookNoKeys) {
  using enum Focus::Kind;
  const struct {
    Focus focus_after;  // where the focus is when SendInput has taken nothing
    std::u16string expected;
  } cases[] = {
      {{secure, 0}, secure_desktop_message()},
      {{other, 7}, blocked_input_message()},
      {{none, 0}, blocked_input_message()},
      {{elevated, 7}, blocked_input_message()},
  };
  for (const auto& c : cases) {
    FakeDesktop desktop;
    desktop.accept = 0;
    SendInputKeyboard keyboard(desktop);
    const KeyEvents value = text(U"45");
    ASSERT_TRUE(keyboard.prepare(value).ok());
    desktop.focus_now = c.focus_after;
    const Keyboard::Sent sent = keyboard.send(value);
    EXPECT_EQ(sent.delivered, 0u);
    EXPECT_EQ(sent.status.message(), c.expected) << "case " << (&c - cases);
  }
}

TEST(SendInputKeyboard, SaysWhatInterruptsTyping) {
  constexpr Focus kTarget{Focus::Kind::other, 7};
  const struct {
    const char* name;
    bool escape;
    Focus focus;
    std::uintptr_t layout;
    std::optional<StopReason> expected;
  } cases[] = {
      {"all well", false, kTarget, 1, std::nullopt},
      {"Esc", true, kTarget, 1, StopReason::escape},
      {"Esc before a new layout", true, kTarget, 2, StopReason::escape},
      {"the target's layout changed", false, kTarget, 2, StopReason::layout_changed},
      // Another window's layout is no change: the focus check stops typing.
      {"another window", false, {Focus::Kind::other, 8}, 2, std::nullopt},
  };
  for (const auto& c : cases) {
    FakeDesktop desktop;
    SendInputKeyboard keyboard(desktop);
    ASSERT_TRUE(keyboard.begin().ok());
    ASSERT_TRUE(keyboard.prepare(text(U"1")).ok());
    desktop.escape = c.escape;
    desktop.focus_now = c.focus;
    desktop.layout_now = c.layout;
    const int settles_before = desktop.settles;
    EXPECT_EQ(keyboard.interruption(), c.expected) << c.name;
    EXPECT_EQ(keyboard.focus(), c.focus) << c.name;
    EXPECT_EQ(desktop.settles, settles_before + 2) << "both wait for what was sent: " << c.name;
  }
}

ResultSheet sheet_of(std::initializer_list<std::u16string> values) {
  ResultSheet sheet;
  for (const std::u16string& value : values) {
    sheet.itemvalue[static_cast<std::size_t>(sheet.itemcount)] = value;
    ++sheet.itemcount;
  }
  return sheet;
}

TEST(SendInputKeyboard, APlaybackStopsAtEscWithNoKeyDown) {
  // Esc is pressed while the second value, which holds Shift, goes out.
  FakeDesktop desktop;
  desktop.caps = true;
  desktop.after_send = [](FakeDesktop& d) {
    if (d.calls.size() == 4) d.escape = true;
  };
  SendInputKeyboard keyboard(desktop);
  const Status result = typekeys(sheet_of({u"45", u"+ab", u"x"}), keyboard);
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.message().find(u"Esc was pressed"), std::u16string::npos);
  EXPECT_EQ(sends(desktop), (std::vector<std::string>{
                                "[Caps]↓ [Caps]↑",
                                "[4]↓ [4]↑ [5]↓ [5]↑",
                                "[Tab]↓ [Tab]↑",
                                "[Shift]↓ [A]↓ [A]↑ [Shift]↑ [B]↓ [B]↑",
                                "[Caps]↓ [Caps]↑",
                            }));
  EXPECT_EQ(desktop.log.back(), "close");
}

}  // namespace
}  // namespace tavrino
