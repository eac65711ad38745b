// SPDX-License-Identifier: MIT
#include "platform/win32/input_translator.h"

#include <string>

#include "base/text.h"
#include "base/unicode.h"

namespace tavrino {
namespace {

constexpr BYTE kModifierKeys[3] = {VK_SHIFT, VK_CONTROL, VK_MENU};  // by Modifier
constexpr int kShiftIndex = static_cast<int>(Modifier::shift);
constexpr int kCtrlIndex = static_cast<int>(Modifier::ctrl);
constexpr WORD kRightAltScan = 0x38;  // with the extended flag: E0 38
constexpr int kAltIndex = static_cast<int>(Modifier::alt);

INPUT unicode_input(wchar_t unit, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wScan = unit;
  input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

// Shift, AltGr (which key_for gives as Ctrl+Alt) or both: the states
// a character may need by itself. With Ctrl or Alt alone the key would be a
// shortcut, and the other bits (Hankaku and the like) no key press gives.
bool typable_shift_state(BYTE needs) {
  return needs == 0 || needs == 1 || needs == 6 || needs == 7;
}

}  // namespace

INPUT key_input(BYTE vk, WORD scan, bool extended, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = scan;
  input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

bool is_extended_key(BYTE vk) {
  switch (vk) {
    case VK_CANCEL:  // Ctrl+Pause's code
    case VK_PRIOR:
    case VK_NEXT:
    case VK_END:
    case VK_HOME:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
    case VK_SNAPSHOT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
      return true;
    default:
      return false;
  }
}

VirtualKey virtual_key_of(Key key) {
  const BYTE vk = [key]() -> BYTE {
    switch (key) {
      case Key::backspace:
        return VK_BACK;
      case Key::break_key:
        return VK_CANCEL;
      case Key::capslock:
        return VK_CAPITAL;
      case Key::delete_key:
        return VK_DELETE;
      case Key::down:
        return VK_DOWN;
      case Key::end:
        return VK_END;
      case Key::enter:
        return VK_RETURN;
      case Key::escape:
        return VK_ESCAPE;
      case Key::help:
        return VK_HELP;
      case Key::home:
        return VK_HOME;
      case Key::insert:
        return VK_INSERT;
      case Key::left:
        return VK_LEFT;
      case Key::numlock:
        return VK_NUMLOCK;
      case Key::pgdn:
        return VK_NEXT;
      case Key::pgup:
        return VK_PRIOR;
      case Key::prtsc:
        return VK_SNAPSHOT;
      case Key::right:
        return VK_RIGHT;
      case Key::scrolllock:
        return VK_SCROLL;
      case Key::tab:
        return VK_TAB;
      case Key::up:
        return VK_UP;
      case Key::add:
        return VK_ADD;
      case Key::subtract:
        return VK_SUBTRACT;
      case Key::multiply:
        return VK_MULTIPLY;
      case Key::divide:
        return VK_DIVIDE;
      default:
        break;
    }
    // F1 to F16 are consecutive in both enumerations.
    return static_cast<BYTE>(VK_F1 + static_cast<int>(key) - static_cast<int>(Key::f1));
  }();
  return {vk, is_extended_key(vk)};
}

void InputTranslator::add_vk(BYTE vk, bool extended, bool up, std::vector<INPUT>& inputs) const {
  WORD scan = vk == kMenuMaskKey ? 0 : layout_.scan_code(vk);
  // Right Alt sits at one place on every PC keyboard; a layout that names no
  // scan code for it (Wine's) must not leave AltGr without one, since
  // virtual-machine consoles read the scan code.
  if (vk == VK_RMENU && scan == 0) scan = kRightAltScan;
  inputs.push_back(key_input(vk, scan, extended, up));
}

void InputTranslator::tap_vk(BYTE vk, bool extended, std::vector<INPUT>& inputs) {
  add_vk(vk, extended, false, inputs);
  add_vk(vk, extended, true, inputs);
  alt_alone_ = false;
}

bool InputTranslator::any_held() const {
  return held_[0] > 0 || held_[1] > 0 || held_[2] > 0;
}

InputTranslator::PlainKey InputTranslator::plain_key(char32_t c) {
  if (unicode_only_ || c > 0xFFFF) return {};
  if (const auto known = plain_keys_.find(c); known != plain_keys_.end()) return known->second;
  PlainKey key;
  const auto unit = static_cast<wchar_t>(c);
  const SHORT found = layout_.key_for(unit);
  if (found != -1) {
    const BYTE vk = LOBYTE(found);
    const BYTE needs = HIBYTE(found);
    // A dead key would only mark the next character; a key that types
    // something else under this state is no key for `c` either.
    if (vk != 0 && typable_shift_state(needs) && layout_.types(vk, needs, unit)) key = {vk, needs};
  }
  plain_keys_.emplace(c, key);
  return key;
}

void InputTranslator::add_packet(char32_t c, std::vector<INPUT>& inputs) {
  // Above U+FFFF a character goes as its two surrogate units.
  for (const char16_t unit : code_point_text(c)) {
    inputs.push_back(unicode_input(static_cast<wchar_t>(unit), false));
    inputs.push_back(unicode_input(static_cast<wchar_t>(unit), true));
  }
  alt_alone_ = false;
}

void InputTranslator::add_with_modifiers(BYTE vk, BYTE needs, std::vector<INPUT>& inputs) {
  // Ctrl+Alt is AltGr on a layout that has it: right Alt alone, to which
  // Windows adds the left Ctrl. Not while the key string holds Ctrl or Alt:
  // Windows lets go of the Ctrl it added when right Alt goes up, and the
  // target would see the string's own Ctrl go up with it.
  constexpr BYTE kCtrlAlt = 6;
  const bool altgr = (needs & kCtrlAlt) == kCtrlAlt && layout_.has_altgr() &&
                     held_[kCtrlIndex] == 0 && held_[kAltIndex] == 0;
  if (altgr) needs &= static_cast<BYTE>(~kCtrlAlt);
  // 1 Shift, 2 Ctrl, 4 Alt: the Modifier order. Those the key string holds
  // already are down.
  bool extra[3] = {false, false, false};
  for (int m = 0; m < 3; ++m) {
    if ((needs & (1 << m)) != 0 && held_[m] == 0) {
      extra[m] = true;
      add_vk(kModifierKeys[m], false, false, inputs);
    }
  }
  if (altgr) add_vk(VK_RMENU, true, false, inputs);
  tap_vk(vk, is_extended_key(vk), inputs);
  if (altgr) add_vk(VK_RMENU, true, true, inputs);
  for (int m = 2; m >= 0; --m) {
    if (extra[m]) add_vk(kModifierKeys[m], false, true, inputs);
  }
}

Status InputTranslator::add_key_press(char32_t c, std::vector<INPUT>& inputs) {
  // A layout maps UTF-16 units to keys, so no layout has a key for a
  // character past U+FFFF.
  const SHORT key = c > 0xFFFF ? SHORT{-1} : layout_.key_for(static_cast<wchar_t>(c));
  if (key == -1) {
    std::u16string held;
    for (int m = 0; m < 3; ++m) {
      if (held_[m] > 0)
        held +=
            (held.empty() ? u"" : u"+") + std::u16string(modifier_name(static_cast<Modifier>(m)));
    }
    return Status::failure(u"The character " + quoted(code_point_text(c)) +
                           u" cannot be typed with " + held +
                           u" held: the keyboard layout of the window with the focus has no key "
                           u"for it.");
  }
  add_with_modifiers(LOBYTE(key), HIBYTE(key) & 7, inputs);
  return Status::success();
}

Status InputTranslator::add(const KeyEvent& event, std::vector<INPUT>& inputs) {
  switch (event.type) {
    case KeyEvent::Type::character: {
      const char32_t c = event.character;
      if (!any_held()) {
        const PlainKey key = plain_key(c);
        if (key.vk == 0) {
          add_packet(c, inputs);
        } else {
          add_with_modifiers(key.vk, key.shift_state, inputs);
        }
        return Status::success();
      }
      return add_key_press(c, inputs);
    }
    case KeyEvent::Type::key: {
      const VirtualKey key = virtual_key_of(event.key);
      tap_vk(key.vk, key.extended, inputs);
      return Status::success();
    }
    case KeyEvent::Type::press: {
      const int m = static_cast<int>(event.modifier);
      if (held_[m]++ == 0) {
        add_vk(kModifierKeys[m], false, false, inputs);
        if (m == kAltIndex) alt_alone_ = true;
      }
      return Status::success();
    }
    case KeyEvent::Type::release: {
      const int m = static_cast<int>(event.modifier);
      if (held_[m] > 0 && --held_[m] == 0) {
        if (m == kAltIndex && alt_alone_) tap_vk(kMenuMaskKey, false, inputs);
        add_vk(kModifierKeys[m], false, true, inputs);
      }
      return Status::success();
    }
  }
  return Status::success();
}

void InputTranslator::release_all(std::vector<INPUT>& inputs) {
  for (int m = kShiftIndex; m < 3; ++m) {
    while (held_[m] > 0) {
      (void)add(KeyEvent::release_of(static_cast<Modifier>(m)), inputs);
    }
  }
}

}  // namespace tavrino
