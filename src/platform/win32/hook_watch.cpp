// SPDX-License-Identifier: MIT
#include "platform/win32/hook_watch.h"

namespace tavrino {
namespace {

bool is_modifier(DWORD vk) {
  switch (vk) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
      return true;
    default:
      return false;
  }
}

bool is_alt(DWORD vk) {
  return vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU;
}

// On a layout with AltGr, Windows puts a left Ctrl of its own in front of
// the right Alt, with this scan code. It is no key of anyone's: the right
// Alt alone already counts as AltGr.
constexpr DWORD kAltGrCtrlScan = 0x21D;

}  // namespace

ULONG_PTR own_record_info(std::uint32_t number) {
  static_assert(sizeof(ULONG_PTR) == 8, "the record number needs the lower half of dwExtraInfo");
  return (kOwnInputTag << 32) | number;
}

std::optional<std::uint32_t> own_record_number(const HookKey& key) {
  if ((key.key.flags & LLKHF_INJECTED) == 0 || (key.key.dwExtraInfo >> 32) != kOwnInputTag) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(key.key.dwExtraInfo & 0xFFFFFFFFU);
}

void HookWatch::user_holds(BYTE vk) {
  if (vk == VK_ESCAPE) escape_down_ = true;
  if (is_modifier(vk)) user_keys_[vk] = 0x80;
}

void HookWatch::sent(std::uint32_t record, std::size_t event, bool down) {
  expected_.push_back({record, event, down});
}

std::size_t HookWatch::handled_events() const {
  return expected_.empty() ? sent_events_ : expected_.front().event;
}

void HookWatch::disturb(Disturbance::Kind kind, std::size_t after, std::u16string key) {
  if (!disturbed_) disturbed_ = Disturbance{kind, after, std::move(key)};
}

void HookWatch::layout_changed(std::size_t after) {
  disturb(Disturbance::Kind::layout, after);
}

void HookWatch::own(std::uint32_t record) {
  seen_own_ = true;
  // Records the hook was skipped for went on all the same.
  while (!expected_.empty() && expected_.front().record < record) expected_.pop_front();
  // One that was not expected (a release as the playback ends) changes
  // nothing of what is watched.
  if (expected_.empty() || expected_.front().record != record) return;
  const Sent sent = expected_.front();
  expected_.pop_front();
  if (!sent.down) return;
  alt_alone_ = false;
  // A key that went through while the user held a modifier did not reach
  // the target as sent: Ctrl turns a digit into a shortcut.
  if (const HeldKeys keys = held(); !keys.empty()) {
    disturb(Disturbance::Kind::key, sent.event, held_keys_text(keys));
  }
}

void HookWatch::saw(const HookKey& key) {
  if (const auto record = own_record_number(key)) return own(*record);
  const DWORD vk = key.key.vkCode;
  const bool down = key.down();
  if (vk == VK_ESCAPE && (key.key.flags & LLKHF_INJECTED) == 0) {
    // Held down, Esc repeats; only a new press asks again.
    if (down && !escape_down_) ++escapes_;
    escape_down_ = down;
    return;
  }
  if (vk == VK_LCONTROL && key.key.scanCode == kAltGrCtrlScan) return;
  if (is_modifier(vk)) {
    const bool repeat = down && user_keys_[vk] != 0;
    if (!repeat && down) alt_alone_ = is_alt(vk);
    if (!down && is_alt(vk) && alt_alone_) {
      // Alt pressed and let go with no key in between makes the target's
      // menu bar take the keys that come after it.
      alt_alone_ = false;
      disturb(Disturbance::Kind::key, handled_events(), u"Alt");
    }
    user_keys_[vk] = down ? 0x80 : 0;
    return;
  }
  if (!down) return;
  alt_alone_ = false;
  disturb(Disturbance::Kind::key, handled_events(), name_ ? name_(key) : u"A key");
}

HeldKeys HookWatch::held() const {
  return held_modifiers(user_keys_);
}

}  // namespace tavrino
