// SPDX-License-Identifier: MIT
#include "platform/win32/win32_desktop.h"

#include <algorithm>
#include <string>
#include <utility>

#include "base/text.h"
#include "platform/win32/focus_facts.h"
#include "platform/win32/foreground_layout.h"
#include "platform/win32/integrity_level.h"
#include "platform/win32/keyboard_hook.h"
#include "platform/win32/wide.h"

namespace tavrino {
namespace {

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

std::optional<std::wstring> desktop_name(HDESK desktop) {
  wchar_t name[256] = {};
  DWORD needed = 0;
  if (GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof(name) - sizeof(wchar_t), &needed) ==
      FALSE) {
    return std::nullopt;
  }
  return std::wstring(name);
}

// The desktop that takes keyboard input now. A program may not open the
// lock screen's desktop nor UAC's secure one.
std::optional<std::wstring> input_desktop_name() {
  HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  if (input == nullptr) return std::nullopt;
  std::optional<std::wstring> name = desktop_name(input);
  CloseDesktop(input);
  return name;
}

}  // namespace

Win32Desktop::Win32Desktop()
    : own_level_(process_level(GetCurrentProcess())), hook_(std::make_unique<KeyboardHook>()) {}

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
  FocusFacts facts;
  HWND foreground = GetForegroundWindow();
  facts.foreground = reinterpret_cast<std::uintptr_t>(foreground);
  facts.own_process = GetCurrentProcessId();
  facts.own_level = own_level_;
  if (foreground == nullptr) {
    facts.input_desktop = input_desktop_name();
    facts.own_desktop = desktop_name(GetThreadDesktop(GetCurrentThreadId())).value_or(L"Default");
  } else {
    GetWindowThreadProcessId(foreground, &facts.owner_process);
    if (facts.owner_process != facts.own_process) {
      facts.owner_level = process_level(facts.owner_process);
    }
  }
  return classify_focus(facts);
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
