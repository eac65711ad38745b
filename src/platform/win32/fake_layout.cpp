// SPDX-License-Identifier: MIT
#include "platform/win32/fake_layout.h"

#include <cstdio>

namespace tavrino {
namespace {

// Scan codes of a PC keyboard, by where the key sits: the key left of Enter
// on the bottom row types Z on a US keyboard and Y on a German one.
constexpr WORD kScanOf[][2] = {{'B', 0x30}, {'Q', 0x10}, {VK_SHIFT, 0x2A}, {VK_RMENU, 0x38}};

constexpr SHORT kShift = 0x100;
constexpr SHORT kAltGr = 0x600;

constexpr BYTE kDeCircumflexKey = VK_OEM_5;
constexpr BYTE kDeAcuteKey = VK_OEM_6;

FakeLayout common_layout() {
  FakeLayout layout;
  for (wchar_t c = L'a'; c <= L'z'; ++c) {
    layout.keys[c] = static_cast<SHORT>(c - L'a' + 'A');
    layout.keys[static_cast<wchar_t>(c - L'a' + L'A')] =
        static_cast<SHORT>(kShift | (c - L'a' + 'A'));
  }
  for (wchar_t c = L'0'; c <= L'9'; ++c) layout.keys[c] = static_cast<SHORT>(c);
  for (const auto& [vk, scan] : kScanOf) layout.scans[static_cast<BYTE>(vk)] = scan;
  return layout;
}

}  // namespace

FakeLayout us_layout() {
  FakeLayout layout = common_layout();
  layout.keys[L'-'] = VK_OEM_MINUS;
  // Characters a layout gives only with Ctrl, or with a state no key press
  // gives: they must not go as those keys.
  layout.keys[L'\u00A4'] = 0x200 | 'X';
  layout.keys[L'\u00A5'] = 0x800 | 'X';
  layout.scans['Y'] = 0x15;
  layout.scans['Z'] = 0x2C;
  layout.scans[VK_OEM_MINUS] = 0x0C;
  return layout;
}

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

FakeLayout fr_layout() {
  FakeLayout layout = common_layout();
  layout.altgr = true;
  layout.keys[L'@'] = kAltGr | '0';
  layout.keys[L'\u20AC'] = kAltGr | 'E';
  layout.keys[L'{'] = kAltGr | '4';
  return layout;
}

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
      {VK_SHIFT, "Shift"},  {VK_CONTROL, "Ctrl"}, {VK_MENU, "Alt"},        {VK_CAPITAL, "Caps"},
      {VK_TAB, "Tab"},      {VK_DELETE, "Del"},   {VK_NEXT, "PgDn"},       {VK_ADD, "Add"},
      {VK_CANCEL, "Break"}, {VK_F4, "F4"},        {VK_OEM_MINUS, "Minus"}, {kMenuMaskKey, "Mask"},
      {VK_RMENU, "RAlt"},
  };
  if (const auto it = kNames.find(vk); it != kNames.end()) return it->second;
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
    return std::string(1, static_cast<char>(vk));
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", vk);
  return hex;
}

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

}  // namespace tavrino
