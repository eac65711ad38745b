// SPDX-License-Identifier: MIT
// The Desktop (desktop.h) as Windows answers it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/win32/desktop.h"
#include "platform/win32/playback_lock.h"

namespace tavrino {

class KeyboardHook;

class Win32Desktop final : public Desktop {
 public:
  Win32Desktop();
  ~Win32Desktop() override;

  Status open(std::function<void()> release_all) override;
  void close() override;
  // From the foreground window's process and integrity level, and the
  // input desktop (see classify_focus).
  Focus focus() override;
  std::unique_ptr<KeyLayout> target_layout() override;
  std::uintptr_t layout_id() override;
  bool caps_lock_on() override;
  UINT send_input(std::span<INPUT> inputs) override;

  bool key_down(BYTE vk) override;
  bool start_hook() override;
  void stop_hook() override;
  void take_hook_keys(std::vector<HookKey>& keys) override;
  void wait_for_hook(std::chrono::milliseconds most) override;
  std::u16string key_name(const HookKey& key) override;
  bool responsive(std::uint64_t window, std::chrono::milliseconds wait) override;
  bool window_exists(std::uint64_t window) override;
  std::u16string window_title(std::uint64_t window) override;
  bool secure_desktop() override;

 private:
  std::optional<DWORD> own_level_;  // this process's integrity level, read once
  PlaybackLock lock_;
  bool open_ = false;
  std::unique_ptr<KeyboardHook> hook_;
};

}  // namespace tavrino
