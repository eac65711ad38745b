// SPDX-License-Identifier: MIT
#include "platform/win32/send_input_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tavrino {
namespace {

// A US-like layout, with AltGr+E for the euro sign and no key for "é".
class FakeLayout final : public KeyLayout {
 public:
  SHORT key_for(wchar_t c) const override {
    if (c >= L'a' && c <= L'z') return static_cast<SHORT>(c - L'a' + 'A');
    if (c >= L'A' && c <= L'Z') return static_cast<SHORT>(0x100 | c);
    if (c >= L'0' && c <= L'9') return static_cast<SHORT>(c);
    if (c == L'!') return 0x100 | '1';
    if (c == L'\x20AC') return 0x600 | 'E';
    return -1;
  }
  WORD scan_code(BYTE vk) const override { return static_cast<WORD>(0x100 + vk); }
};

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
  switch (vk) {
    case VK_SHIFT:
      return "Shift";
    case VK_CONTROL:
      return "Ctrl";
    case VK_MENU:
      return "Alt";
    case VK_TAB:
      return "Tab";
    case VK_RETURN:
      return "Enter";
    case VK_BACK:
      return "BS";
    case VK_ESCAPE:
      return "Esc";
    case VK_DELETE:
      return "Del";
    case VK_LEFT:
      return "Left";
    case VK_NEXT:
      return "PgDn";
    case VK_DIVIDE:
      return "Divide";
    case VK_ADD:
      return "Add";
    case VK_CANCEL:
      return "Break";
    case VK_SNAPSHOT:
      return "PrtSc";
    case VK_F4:
      return "F4";
    case VK_F16:
      return "F16";
    case kMenuMaskKey:
      return "Mask";
    default:
      break;
  }
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

std::string translate(const KeyEvents& events, std::vector<INPUT>* records = nullptr) {
  FakeLayout layout;
  InputTranslator translator(layout);
  std::vector<INPUT> inputs;
  for (const KeyEvent& event : events) {
    Status status = translator.add(event, inputs);
    if (!status) return "error";
  }
  if (records != nullptr) *records = inputs;
  return describe_inputs(inputs);
}

TEST(InputTranslator, TurnsEventsIntoRecords) {
  const KeyEvents alt_alone = held(Modifier::alt, {});
  struct Case {
    const char* name;
    KeyEvents events;
    const char* expected;
  };
  const Case cases[] = {
      {"plain text as Unicode", text(U"a1"), "a↓ a↑ 1↓ 1↑"},
      {"no layout key needed", text(U"\u00E9"), "u00E9↓ u00E9↑"},
      {"beyond U+FFFF as surrogates", text(U"\U0001F600"), "uD83D↓ uD83D↑ uDE00↓ uDE00↑"},
      {"ctrl with a key press", held(Modifier::ctrl, text(U"c")), "[Ctrl]↓ [C]↓ [C]↑ [Ctrl]↑"},
      {"shift group", held(Modifier::shift, text(U"ab")), "[Shift]↓ [A]↓ [A]↑ [B]↓ [B]↑ [Shift]↑"},
      {"shift held for a shifted character", held(Modifier::shift, text(U"A")),
       "[Shift]↓ [A]↓ [A]↑ [Shift]↑"},
      {"ctrl with a shifted character", held(Modifier::ctrl, text(U"A")),
       "[Ctrl]↓ [Shift]↓ [A]↓ [A]↑ [Shift]↑ [Ctrl]↑"},
      {"shift then digit gives its shifted key", held(Modifier::shift, text(U"1")),
       "[Shift]↓ [1]↓ [1]↑ [Shift]↑"},
      {"alt with an AltGr character adds only ctrl", held(Modifier::alt, text(U"\u20AC")),
       "[Alt]↓ [Ctrl]↓ [E]↓ [E]↑ [Ctrl]↑ [Alt]↑"},
      {"nested modifiers", held(Modifier::ctrl, held(Modifier::shift, text(U"a"))),
       "[Ctrl]↓ [Shift]↓ [A]↓ [A]↑ [Shift]↑ [Ctrl]↑"},
      {"alt alone is masked", alt_alone, "[Alt]↓ [Mask]↓ [Mask]↑ [Alt]↑"},
      {"alt with shift alone is masked", held(Modifier::alt, held(Modifier::shift, {})),
       "[Alt]↓ [Shift]↓ [Shift]↑ [Mask]↓ [Mask]↑ [Alt]↑"},
      {"alt with a key is not masked", held(Modifier::alt, keys({Key::f4})),
       "[Alt]↓ [F4]↓ [F4]↑ [Alt]↑"},
      {"extended keys flagged", keys({Key::delete_key, Key::left, Key::pgdn, Key::divide}),
       "[Del*]↓ [Del*]↑ [Left*]↓ [Left*]↑ [PgDn*]↓ [PgDn*]↑ [Divide*]↓ [Divide*]↑"},
      {"plain keys not flagged", keys({Key::tab, Key::add, Key::f16, Key::backspace}),
       "[Tab]↓ [Tab]↑ [Add]↓ [Add]↑ [F16]↓ [F16]↑ [BS]↓ [BS]↑"},
      {"break and print screen", keys({Key::break_key, Key::prtsc}),
       "[Break*]↓ [Break*]↑ [PrtSc*]↓ [PrtSc*]↑"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(translate(c.events), c.expected) << c.name;
  }
}

TEST(InputTranslator, VirtualKeysCarryTheLayoutsScanCode) {
  std::vector<INPUT> records;
  translate(held(Modifier::ctrl, text(U"c")), &records);
  ASSERT_EQ(records.size(), 4u);
  for (const INPUT& input : records) {
    EXPECT_EQ(input.type, static_cast<DWORD>(INPUT_KEYBOARD));
    EXPECT_EQ(input.ki.wScan, 0x100 + input.ki.wVk);
  }
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
  for (const Case& c : cases) {
    FakeLayout layout;
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

struct Recorder {
  std::vector<std::vector<INPUT>> calls;
  UINT accept = UINT_MAX;  // records taken per call
};

SendInputKeyboard keyboard_over(Recorder& recorder) {
  return SendInputKeyboard([] { return std::make_unique<FakeLayout>(); },
                           [&recorder](std::span<INPUT> inputs) {
                             recorder.calls.emplace_back(inputs.begin(), inputs.end());
                             return std::min<UINT>(static_cast<UINT>(inputs.size()),
                                                   recorder.accept);
                           });
}

TEST(SendInputKeyboard, SendsAValueInOneCall) {
  Recorder recorder;
  SendInputKeyboard keyboard = keyboard_over(recorder);
  KeyEvents value = held(Modifier::shift, text(U"ab"));
  value.push_back(KeyEvent::of_key(Key::tab));
  ASSERT_TRUE(keyboard.prepare(value).ok());
  const Keyboard::Sent sent = keyboard.send(value);
  keyboard.end();
  EXPECT_TRUE(sent.status.ok());
  EXPECT_EQ(sent.delivered, value.size());
  ASSERT_EQ(recorder.calls.size(), 1u);
  EXPECT_EQ(describe_inputs(recorder.calls[0]),
            "[Shift]↓ [A]↓ [A]↑ [B]↓ [B]↑ [Shift]↑ [Tab]↓ [Tab]↑");
}

TEST(SendInputKeyboard, RefusesInBeginBeforeAnythingIsSent) {
  Recorder recorder;
  SendInputKeyboard keyboard = keyboard_over(recorder);
  KeyEvents all = text(U"fine");
  const KeyEvents bad = held(Modifier::ctrl, text(U"\u00E9"));
  all.insert(all.end(), bad.begin(), bad.end());
  EXPECT_FALSE(keyboard.prepare(all).ok());
  EXPECT_TRUE(recorder.calls.empty());
}

TEST(SendInputKeyboard, CountsWhatWentInWhenInputIsBlocked) {
  // "a", then Ctrl+C, then Tab: records a↓ a↑ Ctrl↓ C↓ C↑ Ctrl↑ Tab↓ Tab↑.
  KeyEvents events = text(U"a");
  const KeyEvents ctrl_c = held(Modifier::ctrl, text(U"c"));
  events.insert(events.end(), ctrl_c.begin(), ctrl_c.end());
  events.push_back(KeyEvent::of_key(Key::tab));
  struct Case {
    UINT accept;
    std::size_t delivered;
    const char* cleanup;  // a second call that lets go of a stuck modifier
  };
  const Case cases[] = {
      {0, 0, nullptr},   {1, 0, nullptr},
      {2, 1, nullptr},   {3, 2, "[Ctrl]↑"},  // Ctrl went down, C did not
      {5, 3, "[Ctrl]↑"}, {7, 4, nullptr},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    recorder.accept = c.accept;
    SendInputKeyboard keyboard = keyboard_over(recorder);
    ASSERT_TRUE(keyboard.prepare(events).ok());
    const Keyboard::Sent sent = keyboard.send(events);
    keyboard.end();
    EXPECT_EQ(sent.delivered, c.delivered) << "accepting " << c.accept;
    ASSERT_FALSE(sent.status.ok());
    EXPECT_NE(sent.status.message().find(u"elevated"), std::u16string::npos);
    ASSERT_EQ(recorder.calls.size(), c.cleanup != nullptr ? 2u : 1u) << "accepting " << c.accept;
    if (c.cleanup != nullptr) {
      EXPECT_EQ(describe_inputs(recorder.calls[1]), c.cleanup);
    }
  }
}

}  // namespace
}  // namespace tavrino
