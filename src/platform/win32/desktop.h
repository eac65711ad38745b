// SPDX-License-Identifier: MIT
// What the Windows keyboard asks of the desktop it types on: where the
// focus is, the target's keyboard layout, the Caps Lock light, one playback
// at a time, and what the keyboard hook sees while typing goes on.
// Win32Desktop asks Windows; tests put a fake of their own in its place.
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

#include "base/status.h"
#include "playback/keyboard.h"

namespace tavrino {

// The target's keyboard layout, as far as typing needs it.
class KeyLayout {
 public:
  virtual ~KeyLayout() = default;
  // As VkKeyScanExW: the virtual key in the low byte and the shift state it
  // needs in the high byte (1 Shift, 2 Ctrl, 4 Alt); -1 when no key of the
  // layout types `c`.
  virtual SHORT key_for(wchar_t c) const = 0;
  // As MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC): the key's scan code, 0 if none.
  virtual WORD scan_code(BYTE vk) const = 0;
  // Whether pressing `vk` with `shift_state` (as in key_for) types `c` at
  // once. Not for a dead key, which only marks the character typed after it,
  // nor for a key that types something else or nothing at all.
  virtual bool types(BYTE vk, BYTE shift_state, wchar_t c) const = 0;
  // Whether right Alt is AltGr on this layout (KLLF_ALTGR): pressed alone, it
  // makes Windows press left Ctrl with it, and the pair types what key_for
  // gives with Ctrl+Alt (shift state 6), as a real keyboard's AltGr does.
  virtual bool has_altgr() const = 0;
};

// Records that SendInput put into the input stream carry this in the upper
// half of dwExtraInfo, and their number in the lower half, so that the
// keyboard hook tells them from anyone else's and knows which one it sees.
inline constexpr ULONG_PTR kOwnInputTag = 0x74617672;  // "tavr"

// One key event as the low-level keyboard hook saw it.
struct HookKey {
  WPARAM message = WM_KEYDOWN;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
  KBDLLHOOKSTRUCT key{};
  bool down() const { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }
};

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

// What Windows tells of the foreground window and the desktop, which
// classify_focus decides by.
struct FocusFacts {
  std::uintptr_t foreground = 0;  // the foreground window; 0 for none
  DWORD owner_process = 0;        // the process that owns it
  DWORD own_process = 0;          // this program's
  // Mandatory integrity levels (SECURITY_MANDATORY_MEDIUM_RID and the like)
  // of the two processes; nothing for one that could not be opened or asked.
  std::optional<DWORD> owner_level;
  std::optional<DWORD> own_level;
  // The names of the desktop that takes keyboard input now and of this
  // program's own; the input desktop has none when it cannot be opened, as
  // the lock screen and the secure desktop of a UAC prompt cannot.
  std::optional<std::wstring> input_desktop;
  std::wstring own_desktop;
};

// What has the focus. A window of this process (a message box of this
// program is one too) is `own`. Windows drops, silently, the keys sent to a
// process of a higher integrity level (one running as administrator), so
// such a window is `elevated`, and so is one whose process cannot even be
// opened. With no foreground window, the focus is `secure` when the input
// desktop is not this program's (the session is locked, or a UAC prompt or
// Ctrl+Alt+Del is up), and `none` otherwise.
Focus classify_focus(const FocusFacts& facts);

// The modifier keys down in `key_state`, a table by virtual key as
// GetKeyboardState fills it (0x80 for down). It names left and right keys
// (VK_LSHIFT, VK_RMENU, ...). Windows presses left Ctrl along with AltGr,
// so right Alt with left Ctrl counts as AltGr alone.
HeldKeys held_modifiers(std::span<const BYTE, 256> key_state);

// Whether a low-level keyboard event is the user pressing Esc: a key going
// down, not one that a program put into the input stream (such as the
// playback's own {ESC}).
bool is_users_escape(WPARAM message, const KBDLLHOOKSTRUCT& key);

// One playback at a time in the user's session: a named mutex.
class PlaybackLock {
 public:
  explicit PlaybackLock(std::wstring name = L"Local\\tavrino.typing");
  ~PlaybackLock();
  PlaybackLock(const PlaybackLock&) = delete;
  PlaybackLock& operator=(const PlaybackLock&) = delete;
  // Takes the lock for the calling thread; false while another thread or
  // process holds it. Taking it twice from one thread is a mistake.
  bool acquire();
  void release();

 private:
  std::wstring name_;
  HANDLE mutex_ = nullptr;
};

class KeyboardHook;

// The Windows desktop.
class Win32Desktop final : public Desktop {
 public:
  Win32Desktop();
  ~Win32Desktop() override;

  Status open(std::function<void()> release_all) override;
  void close() override;
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

// The message when another tavrino is typing.
std::u16string another_playback_message();

}  // namespace tavrino
