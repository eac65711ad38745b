// SPDX-License-Identifier: MIT
// The keyboard layout the target reads key presses with, asked of Windows:
// the layout of the thread that owns the foreground window.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <optional>

#include "platform/win32/input_translator.h"

namespace tavrino {

// The layout of the thread that owns the foreground window now.
HKL foreground_layout();

// That layout, for the translator: the keys it has, their scan codes and
// dead keys, from ToUnicodeEx and friends, and whether it has AltGr.
class ForegroundLayout final : public KeyLayout {
 public:
  ForegroundLayout() : layout_(foreground_layout()) {}

  SHORT key_for(wchar_t c) const override;
  WORD scan_code(BYTE vk) const override;
  bool types(BYTE vk, BYTE shift_state, wchar_t c) const override;
  bool has_altgr() const override;

 private:
  HKL layout_;
  mutable std::optional<bool> altgr_;  // asked of Windows once, when first needed
};

}  // namespace tavrino
