// SPDX-License-Identifier: MIT
// For the tests of the Windows keyboard: keyboard layouts as tables (US,
// German, French, Polish), key events written short, and SendInput records
// as readable text ("[Shift]↓ [B]↓ [B]↑ [Shift]↑", "u20AC↓ u20AC↑"), so that
// what a translation gives is checked in one comparison.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/input_translator.h"
#include "playback/key_event.h"

namespace tavrino {

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

// A US keyboard, which has no AltGr; it also gives two characters with
// Ctrl and with a state no key press gives.
FakeLayout us_layout();
// A German keyboard: AltGr for @, the euro sign and {, and dead keys for the
// circumflex and the acute.
FakeLayout de_layout();
// AZERTY: @ and { on the digit row with AltGr.
FakeLayout fr_layout();
// Polish (programmers): US keys, and AltGr for the Polish letters and the
// euro sign.
FakeLayout pl_layout();

// Each character typed by itself.
KeyEvents text(std::u32string_view chars);
// `inner` with modifier `m` held around it.
KeyEvents held(Modifier m, const KeyEvents& inner);
// Each named key tapped.
KeyEvents keys(std::initializer_list<Key> list);

// A virtual key's short name: "Shift", "Del", "Q", or its number in hex.
std::string vk_name(WORD vk);
// "a↓ a↑" for Unicode packets (uXXXX beyond ASCII), "[Del*]↓" for virtual
// keys, with * for the extended flag.
std::string describe_inputs(const std::vector<INPUT>& inputs);

}  // namespace tavrino
