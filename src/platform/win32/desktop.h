// SPDX-License-Identifier: MIT
// What the Windows keyboard asks of the desktop it types on: where the
// focus is, the target's keyboard layout, the Caps Lock light, one playback
// at a time, and what the keyboard hook sees while typing goes on.
// Win32Desktop (win32_desktop.h) asks Windows; tests put a fake of their own
// in its place.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "platform/win32/hook_key.h"
#include "platform/win32/input_translator.h"
#include "playback/keyboard.h"

namespace tavrino {

class Desktop {
 public:
  virtual ~Desktop() = default;

  // Starts a playback's hold on the desktop: only one playback at a time may
  // type, so this fails while another tavrino types. `release_all` is called
  // from another thread when the console the program is attached to closes
  // or gets Ctrl+C; the program ends right after it returns.
  virtual Status open(std::function<void()> release_all) = 0;
  // Ends what open() started. Never fails.
  virtual void close() = 0;

  // The foreground window: none, one of this process's windows, or another
  // program's.
  virtual Focus focus() = 0;
  // The keyboard layout of the foreground window's thread, and a number
  // that tells one layout from another.
  virtual std::unique_ptr<KeyLayout> target_layout() = 0;
  virtual std::uintptr_t layout_id() = 0;
  // Whether Caps Lock is on for the target.
  virtual bool caps_lock_on() = 0;

  // As SendInput: returns how many records went into the input stream. The
  // records carry their tag and number already.
  virtual UINT send_input(std::span<INPUT> inputs) = 0;

  // What typing watches while it goes on.
  //
  // Whether `vk` is down on the keyboard now, as GetAsyncKeyState says.
  virtual bool key_down(BYTE vk) = 0;
  // Starts the low-level keyboard hook, which from then on notes every key
  // event in the order Windows handles it, and keeps the user's Esc from the
  // window it was meant for. False when Windows refuses the hook.
  virtual bool start_hook() = 0;
  virtual void stop_hook() = 0;
  // Moves what the hook has seen since the last call to the end of `keys`.
  virtual void take_hook_keys(std::vector<HookKey>& keys) = 0;
  // Waits up to `most` for the hook to see another key.
  virtual void wait_for_hook(std::chrono::milliseconds most) = 0;
  // How a message names the key: "\"x\"", "F5", "Caps Lock".
  virtual std::u16string key_name(const HookKey& key) = 0;
  // Whether the program of `window` reads its messages: Windows does not
  // count it as hung and, when `wait` is more than nothing, it answers a
  // message within `wait`.
  virtual bool responsive(std::uint64_t window, std::chrono::milliseconds wait) = 0;
  virtual bool window_exists(std::uint64_t window) = 0;
  virtual std::u16string window_title(std::uint64_t window) = 0;
  // Whether a desktop that no program may type into has the input: the lock
  // screen, a UAC prompt, Ctrl+Alt+Del.
  virtual bool secure_desktop() = 0;
};

}  // namespace tavrino
