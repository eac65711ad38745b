// SPDX-License-Identifier: MIT
#include "platform/win32/keys_down.h"

#include <iterator>

#include "platform/win32/input_translator.h"

namespace tavrino {
namespace {

// The record that lets go of what `down` pressed.
INPUT release_of(const INPUT& down) {
  INPUT up = down;
  up.ki.dwFlags |= KEYEVENTF_KEYUP;
  return up;
}

// Whether two records are of the same key: the same virtual key, or the same
// unit of a Unicode packet.
bool same_key(const INPUT& a, const INPUT& b) {
  const bool unicode = (a.ki.dwFlags & KEYEVENTF_UNICODE) != 0;
  if (unicode != ((b.ki.dwFlags & KEYEVENTF_UNICODE) != 0)) return false;
  return unicode ? a.ki.wScan == b.ki.wScan : a.ki.wVk == b.ki.wVk;
}

}  // namespace

bool is_down(const INPUT& input) {
  return (input.ki.dwFlags & KEYEVENTF_KEYUP) == 0;
}

void KeysDown::went_in(std::span<const INPUT> inputs) {
  for (const INPUT& input : inputs) {
    if (is_down(input)) {
      down_.push_back(input);
      continue;
    }
    for (auto it = down_.rbegin(); it != down_.rend(); ++it) {
      if (same_key(*it, input)) {
        down_.erase(std::next(it).base());
        break;
      }
    }
  }
}

std::vector<INPUT> KeysDown::release_all() {
  std::vector<INPUT> releases;
  for (const INPUT& down : down_) {
    if (down.ki.wVk == VK_MENU && (down.ki.dwFlags & KEYEVENTF_UNICODE) == 0) {
      releases.push_back(key_input(kMenuMaskKey, 0, false, false));
      releases.push_back(key_input(kMenuMaskKey, 0, false, true));
      break;
    }
  }
  for (auto it = down_.rbegin(); it != down_.rend(); ++it) releases.push_back(release_of(*it));
  down_.clear();
  return releases;
}

}  // namespace tavrino
