// SPDX-License-Identifier: MIT
#include "platform/win32/send_input_keyboard.h"

#include <string>
#include <utility>

#include "base/text.h"
#include "base/unicode.h"

namespace tavrino {
namespace {

constexpr BYTE kModifierKeys[3] = {VK_SHIFT, VK_CONTROL, VK_MENU};  // by Modifier
constexpr int kShiftIndex = static_cast<int>(Modifier::shift);
constexpr int kAltIndex = static_cast<int>(Modifier::alt);

INPUT unicode_input(wchar_t unit, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wScan = unit;
  input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

// Control characters have no key; as Unicode input some act as shortcuts
// (U+0001 selects all in many edit controls), so none may go out. Line breaks
// and tabs in a value arrive here as the Enter and Tab keys instead.
bool is_control(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

ForegroundLayout::ForegroundLayout() {
  // The target is whatever has the focus, and the focus lives in the
  // foreground window's thread; its layout turns key presses into characters.
  HWND foreground = GetForegroundWindow();
  DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  layout_ = GetKeyboardLayout(thread);
}

SHORT ForegroundLayout::key_for(wchar_t c) const {
  return VkKeyScanExW(c, layout_);
}

WORD ForegroundLayout::scan_code(BYTE vk) const {
  return static_cast<WORD>(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_));
}

VirtualKey virtual_key_of(Key key) {
  switch (key) {
    case Key::backspace:
      return {VK_BACK, false};
    case Key::break_key:
      return {VK_CANCEL, true};  // Ctrl+Pause's code, on the extended block
    case Key::capslock:
      return {VK_CAPITAL, false};
    case Key::delete_key:
      return {VK_DELETE, true};
    case Key::down:
      return {VK_DOWN, true};
    case Key::end:
      return {VK_END, true};
    case Key::enter:
      return {VK_RETURN, false};
    case Key::escape:
      return {VK_ESCAPE, false};
    case Key::help:
      return {VK_HELP, false};
    case Key::home:
      return {VK_HOME, true};
    case Key::insert:
      return {VK_INSERT, true};
    case Key::left:
      return {VK_LEFT, true};
    case Key::numlock:
      return {VK_NUMLOCK, true};
    case Key::pgdn:
      return {VK_NEXT, true};
    case Key::pgup:
      return {VK_PRIOR, true};
    case Key::prtsc:
      return {VK_SNAPSHOT, true};
    case Key::right:
      return {VK_RIGHT, true};
    case Key::scrolllock:
      return {VK_SCROLL, false};
    case Key::tab:
      return {VK_TAB, false};
    case Key::up:
      return {VK_UP, true};
    case Key::add:
      return {VK_ADD, false};
    case Key::subtract:
      return {VK_SUBTRACT, false};
    case Key::multiply:
      return {VK_MULTIPLY, false};
    case Key::divide:
      return {VK_DIVIDE, true};
    default:
      break;
  }
  // F1 to F16 are consecutive in both enumerations.
  const int function = static_cast<int>(key) - static_cast<int>(Key::f1);
  return {static_cast<BYTE>(VK_F1 + function), false};
}

void InputTranslator::add_vk(BYTE vk, bool extended, bool up, std::vector<INPUT>& inputs) const {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = vk == kMenuMaskKey ? 0 : layout_.scan_code(vk);
  input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
  inputs.push_back(input);
}

void InputTranslator::tap_vk(BYTE vk, bool extended, std::vector<INPUT>& inputs) {
  add_vk(vk, extended, false, inputs);
  add_vk(vk, extended, true, inputs);
  alt_alone_ = false;
}

bool InputTranslator::any_held() const {
  return held_[0] > 0 || held_[1] > 0 || held_[2] > 0;
}

void InputTranslator::add_character(char32_t c, std::vector<INPUT>& inputs) {
  // Above U+FFFF a character goes as its two surrogate units.
  for (const char16_t unit : code_point_text(c)) {
    inputs.push_back(unicode_input(static_cast<wchar_t>(unit), false));
    inputs.push_back(unicode_input(static_cast<wchar_t>(unit), true));
  }
  alt_alone_ = false;
}

Status InputTranslator::add_key_press(wchar_t c, std::vector<INPUT>& inputs) {
  const SHORT key = layout_.key_for(c);
  if (key == -1) {
    std::u16string held;
    for (int m = 0; m < 3; ++m) {
      if (held_[m] > 0)
        held +=
            (held.empty() ? u"" : u"+") + std::u16string(modifier_name(static_cast<Modifier>(m)));
    }
    return Status::failure(u"The character " + quoted(std::u16string(1, static_cast<char16_t>(c))) +
                           u" cannot be typed with " + held +
                           u" held: the keyboard layout of the window with the focus has no key "
                           u"for it.");
  }
  const BYTE vk = LOBYTE(key);
  const BYTE needs = HIBYTE(key) & 7;  // 1 Shift, 2 Ctrl, 4 Alt: the Modifier order
  bool extra[3] = {false, false, false};
  for (int m = 0; m < 3; ++m) {
    if ((needs & (1 << m)) != 0 && held_[m] == 0) {
      extra[m] = true;
      add_vk(kModifierKeys[m], false, false, inputs);
    }
  }
  tap_vk(vk, false, inputs);
  for (int m = 2; m >= 0; --m) {
    if (extra[m]) add_vk(kModifierKeys[m], false, true, inputs);
  }
  return Status::success();
}

Status InputTranslator::add(const KeyEvent& event, std::vector<INPUT>& inputs) {
  switch (event.type) {
    case KeyEvent::Type::character: {
      const char32_t c = event.character;
      if (is_control(c)) {
        return Status::failure(u"The control character " + code_point_name(c) +
                               u" cannot be typed.");
      }
      if (!any_held()) {
        add_character(c, inputs);
        return Status::success();
      }
      if (c > 0xFFFF) {
        // No layout has a key for a character outside the 16-bit range.
        return Status::failure(u"The character " + quoted(code_point_text(c)) +
                               u" cannot be typed with a modifier key held: no keyboard layout "
                               u"has a key for it.");
      }
      return add_key_press(static_cast<wchar_t>(c), inputs);
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

std::u16string blocked_input_message() {
  return u"Windows did not pass all the keystrokes on: an elevated window (one running as "
         u"administrator) cannot receive keystrokes from a program that is not elevated, so "
         u"start tavrino as administrator too; otherwise another program is blocking input.";
}

SendInputKeyboard::SendInputKeyboard()
    : SendInputKeyboard([] { return std::make_unique<ForegroundLayout>(); },
                        [](std::span<INPUT> inputs) {
                          return SendInput(static_cast<UINT>(inputs.size()), inputs.data(),
                                           sizeof(INPUT));
                        }) {}

SendInputKeyboard::SendInputKeyboard(LayoutSource target_layout, InputSink send_input)
    : target_layout_(std::move(target_layout)), send_input_(std::move(send_input)) {}

Status SendInputKeyboard::begin() {
  return Status::success();
}

Focus SendInputKeyboard::focus() {
  return {};
}

HeldKeys SendInputKeyboard::held_keys() {
  return {};
}

std::optional<StopReason> SendInputKeyboard::interruption() {
  return std::nullopt;
}

Status SendInputKeyboard::prepare(std::span<const KeyEvent> all_events) {
  layout_ = target_layout_();
  // A dry run over the whole playback finds a character the layout cannot
  // type before a single key has gone out.
  InputTranslator check(*layout_);
  std::vector<INPUT> scratch;
  for (const KeyEvent& event : all_events) {
    if (Status status = check.add(event, scratch); !status) {
      layout_.reset();
      return status;
    }
  }
  translator_.emplace(*layout_);
  return Status::success();
}

Keyboard::Sent SendInputKeyboard::send(std::span<const KeyEvent> events) {
  if (!translator_) {
    return {0, Status::failure(u"The keyboard was used before it was prepared.")};
  }
  std::vector<INPUT> inputs;
  std::vector<std::size_t> ends;  // records up to the end of each event
  Status translated = Status::success();
  for (const KeyEvent& event : events) {
    translated = translator_->add(event, inputs);
    if (!translated) break;
    ends.push_back(inputs.size());
  }
  // One call for all records, so that no keystroke of the user's can land in
  // the middle of a value.
  const UINT inserted = inputs.empty() ? 0 : send_input_(inputs);
  if (inserted >= inputs.size()) {
    return {ends.size(), std::move(translated)};
  }
  std::size_t delivered = 0;
  while (delivered < ends.size() && ends[delivered] <= inserted) ++delivered;
  // Let no modifier stay down that the records which did go in pressed.
  bool down[3] = {false, false, false};
  for (UINT i = 0; i < inserted; ++i) {
    for (int m = 0; m < 3; ++m) {
      if (inputs[i].ki.wVk == kModifierKeys[m]) {
        down[m] = (inputs[i].ki.dwFlags & KEYEVENTF_KEYUP) == 0;
      }
    }
  }
  std::vector<INPUT> releases;
  for (int m = 0; m < 3; ++m) {
    if (!down[m]) continue;
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = kModifierKeys[m];
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    releases.push_back(input);
  }
  if (!releases.empty()) send_input_(releases);
  // What the key string still holds is released by the caller; this
  // translator would only repeat it.
  std::vector<INPUT> dropped;
  translator_->release_all(dropped);
  return {delivered, Status::failure(blocked_input_message())};
}

void SendInputKeyboard::end() {
  // SendInput has put every record into the system's input stream by the
  // time it returns; nothing of the layout needs undoing.
  translator_.reset();
  layout_.reset();
}

}  // namespace tavrino
