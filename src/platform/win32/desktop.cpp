// SPDX-License-Identifier: MIT
#include "platform/win32/desktop.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "platform/win32/keyboard_hook.h"
#include "platform/win32/wide.h"

namespace tavrino {
namespace {

// The keyboard layout of the thread that owns the foreground window, which is
// the layout the target reads key presses with.
HKL foreground_layout() {
  HWND foreground = GetForegroundWindow();
  const DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

class ForegroundLayout final : public KeyLayout {
 public:
  ForegroundLayout() : layout_(foreground_layout()) {}

  SHORT key_for(wchar_t c) const override { return VkKeyScanExW(c, layout_); }

  WORD scan_code(BYTE vk) const override {
    return static_cast<WORD>(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_));
  }

  bool types(BYTE vk, BYTE shift_state, wchar_t c) const override {
    // The character of a dead key, unshifted, comes with the top bit set.
    if (shift_state == 0 && (MapVirtualKeyExW(vk, MAPVK_VK_TO_CHAR, layout_) & 0x80000000U) != 0) {
      return false;
    }
    BYTE state[256] = {};
    if ((shift_state & 1) != 0) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
    if ((shift_state & 2) != 0) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
    if ((shift_state & 4) != 0) state[VK_MENU] = state[VK_LMENU] = 0x80;
    const UINT scan = MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_);
    // Flag 4 leaves this thread's pending dead key alone (Windows 10 1607
    // and later). Earlier versions keep a dead key pending after the call;
    // the same key again types it and clears it, so that the next key this
    // thread translates is not marked with it.
    constexpr UINT kKeepKeyboardState = 4;
    wchar_t typed[8] = {};
    const int count = ToUnicodeEx(vk, scan, state, typed, 8, kKeepKeyboardState, layout_);
    if (count < 0) {
      wchar_t scratch[8];
      for (int i = 0; i < 2; ++i) {
        if (ToUnicodeEx(vk, scan, state, scratch, 8, kKeepKeyboardState, layout_) >= 0) break;
      }
      return false;
    }
    return count == 1 && typed[0] == c;
  }

 private:
  HKL layout_;
};

// What the console handler calls, set between open() and close().
SRWLOCK exit_lock = SRWLOCK_INIT;
std::function<void()>* exit_release = nullptr;

BOOL WINAPI console_handler(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      AcquireSRWLockShared(&exit_lock);
      if (exit_release != nullptr) (*exit_release)();
      ReleaseSRWLockShared(&exit_lock);
      break;
    default:
      break;
  }
  // The default handling ends the program, as it would have anyway.
  return FALSE;
}

}  // namespace

Focus classify_focus(std::uintptr_t foreground, DWORD owner_process, DWORD own_process) {
  if (foreground == 0) return {Focus::Kind::none, 0};
  // A message box of this program is a window of its process too.
  if (owner_process == own_process) return {Focus::Kind::own, 0};
  return {Focus::Kind::other, foreground};
}

HeldKeys held_modifiers(std::span<const BYTE, 256> key_state) {
  const auto down = [&key_state](BYTE vk) { return (key_state[vk] & 0x80) != 0; };
  const bool altgr = down(VK_RMENU);
  const bool sided_ctrl = down(VK_LCONTROL) || down(VK_RCONTROL);
  const bool sided_alt = down(VK_LMENU) || down(VK_RMENU);
  HeldKeys keys;
  if (down(VK_SHIFT) || down(VK_LSHIFT) || down(VK_RSHIFT)) keys.push_back(HeldKey::shift);
  // The left Ctrl that Windows presses with AltGr is no Ctrl of the user's.
  if (down(VK_RCONTROL) || (down(VK_LCONTROL) && !altgr) ||
      (down(VK_CONTROL) && !sided_ctrl && !altgr)) {
    keys.push_back(HeldKey::ctrl);
  }
  if (down(VK_LMENU) || (down(VK_MENU) && !sided_alt)) keys.push_back(HeldKey::alt);
  if (altgr) keys.push_back(HeldKey::altgr);
  if (down(VK_LWIN) || down(VK_RWIN)) keys.push_back(HeldKey::super);
  return keys;
}

bool is_users_escape(WPARAM message, const KBDLLHOOKSTRUCT& key) {
  const bool going_down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  return going_down && key.vkCode == VK_ESCAPE && (key.flags & LLKHF_INJECTED) == 0;
}

PlaybackLock::PlaybackLock(std::wstring name) : name_(std::move(name)) {}

PlaybackLock::~PlaybackLock() {
  release();
}

bool PlaybackLock::acquire() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name_.c_str());
  // Without the mutex there is no telling; typing goes ahead rather than
  // being refused for good.
  if (mutex == nullptr) return true;
  const DWORD waited = WaitForSingleObject(mutex, 0);
  // Abandoned: a tavrino ended while typing; the lock is free now.
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    mutex_ = mutex;
    return true;
  }
  CloseHandle(mutex);
  return false;
}

void PlaybackLock::release() {
  if (mutex_ == nullptr) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
  mutex_ = nullptr;
}

std::u16string another_playback_message() {
  return u"Another tavrino is typing at the moment, so nothing was typed. Wait until it has "
         u"finished (or press Esc to stop it), then press START again.";
}

Win32Desktop::Win32Desktop() : hook_(std::make_unique<KeyboardHook>()) {}

Win32Desktop::~Win32Desktop() {
  stop_hook();
  close();
}

Status Win32Desktop::open(std::function<void()> release_all) {
  if (!lock_.acquire()) return Status::failure(another_playback_message());
  AcquireSRWLockExclusive(&exit_lock);
  delete exit_release;
  exit_release = new std::function<void()>(std::move(release_all));
  ReleaseSRWLockExclusive(&exit_lock);
  // Only matters when a console is attached; without one it changes nothing.
  SetConsoleCtrlHandler(&console_handler, TRUE);
  open_ = true;
  return Status::success();
}

void Win32Desktop::close() {
  if (!open_) return;
  SetConsoleCtrlHandler(&console_handler, FALSE);
  AcquireSRWLockExclusive(&exit_lock);
  delete exit_release;
  exit_release = nullptr;
  ReleaseSRWLockExclusive(&exit_lock);
  lock_.release();
  open_ = false;
}

Focus Win32Desktop::focus() {
  HWND foreground = GetForegroundWindow();
  DWORD owner = 0;
  if (foreground != nullptr) GetWindowThreadProcessId(foreground, &owner);
  return classify_focus(reinterpret_cast<std::uintptr_t>(foreground), owner, GetCurrentProcessId());
}

std::unique_ptr<KeyLayout> Win32Desktop::target_layout() {
  return std::make_unique<ForegroundLayout>();
}

std::uintptr_t Win32Desktop::layout_id() {
  return reinterpret_cast<std::uintptr_t>(foreground_layout());
}

bool Win32Desktop::caps_lock_on() {
  return (GetKeyState(VK_CAPITAL) & 1) != 0;
}

UINT Win32Desktop::send_input(std::span<INPUT> inputs) {
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool Win32Desktop::key_down(BYTE vk) {
  return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

bool Win32Desktop::start_hook() {
  return hook_->start();
}

void Win32Desktop::stop_hook() {
  hook_->stop();
}

void Win32Desktop::take_hook_keys(std::vector<HookKey>& keys) {
  hook_->take(keys);
}

void Win32Desktop::wait_for_hook(std::chrono::milliseconds most) {
  hook_->wait(most);
}

std::u16string Win32Desktop::key_name(const HookKey& key) {
  // A key that types a character is named by it, as the keyboard shows it
  // (unshifted, so a letter in lower case); the others by the name the
  // layout gives them ("F5", "Caps Lock").
  const UINT typed = MapVirtualKeyExW(key.key.vkCode, MAPVK_VK_TO_CHAR, foreground_layout());
  const bool dead = (typed & 0x80000000U) != 0;
  if (!dead && typed > 0x20 && typed < 0xD800) {
    wchar_t c = static_cast<wchar_t>(typed);
    CharLowerBuffW(&c, 1);
    return quoted(std::u16string(1, static_cast<char16_t>(c)));
  }
  LONG lparam = static_cast<LONG>((key.key.scanCode & 0xFF) << 16);
  if ((key.key.flags & LLKHF_EXTENDED) != 0) lparam |= 1L << 24;
  wchar_t name[64] = {};
  const int length = GetKeyNameTextW(lparam, name, 64);
  if (length <= 0) return u"A key";
  return escape_hidden(from_wide(std::wstring(name, static_cast<std::size_t>(length))));
}

bool Win32Desktop::responsive(std::uint64_t window, std::chrono::milliseconds wait) {
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
  if (IsHungAppWindow(hwnd)) return false;
  if (wait.count() <= 0) return true;
  // SMTO_BLOCK: no message for this thread's windows is handled meanwhile,
  // which would run the window's code in the middle of a playback step.
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                             static_cast<UINT>(wait.count()), &result) != 0;
}

bool Win32Desktop::window_exists(std::uint64_t window) {
  return IsWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window))) != FALSE;
}

std::u16string Win32Desktop::window_title(std::uint64_t window) {
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
  // The title is asked of Windows, not of the window: a hung target would
  // hold WM_GETTEXT up.
  wchar_t title[256] = {};
  const int length = InternalGetWindowText(hwnd, title, 256);
  return from_wide(std::wstring(title, static_cast<std::size_t>(std::max(length, 0))));
}

bool Win32Desktop::secure_desktop() {
  // The lock screen, a UAC prompt and Ctrl+Alt+Del are desktops of their
  // own, which a program of the user's cannot open; the user's own is
  // called Default.
  HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  if (input == nullptr) return true;
  wchar_t name[64] = {};
  DWORD needed = 0;
  const bool named =
      GetUserObjectInformationW(input, UOI_NAME, name, sizeof name, &needed) != FALSE;
  CloseDesktop(input);
  return named && _wcsicmp(name, L"Default") != 0;
}

}  // namespace tavrino
