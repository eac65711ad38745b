// SPDX-License-Identifier: MIT
#include "platform/win32/desktop.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/win32/keyboard_hook.h"
#include "platform/win32/wide.h"
#include "playback/window_focus.h"

namespace tavrino {
namespace {

// The keyboard layout of the thread that owns the foreground window, which is
// the layout the target reads key presses with.
HKL foreground_layout() {
  HWND foreground = GetForegroundWindow();
  const DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

// The character `vk` types under `shift_state` (1 Shift, 2 Ctrl, 4 Alt) on
// `layout`: 1 and the character, 0 for none, more for several, and a
// negative count for a dead key.
int translate_key(HKL layout, BYTE vk, BYTE shift_state, wchar_t& typed) {
  BYTE state[256] = {};
  if ((shift_state & 1) != 0) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
  if ((shift_state & 2) != 0) state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
  if ((shift_state & 4) != 0) state[VK_MENU] = state[VK_LMENU] = 0x80;
  const UINT scan = MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout);
  // Flag 4 leaves this thread's pending dead key alone (Windows 10 1607
  // and later). Earlier versions keep a dead key pending after the call;
  // the same key again types it and clears it, so that the next key this
  // thread translates is not marked with it.
  constexpr UINT kKeepKeyboardState = 4;
  wchar_t out[8] = {};
  const int count = ToUnicodeEx(vk, scan, state, out, 8, kKeepKeyboardState, layout);
  if (count < 0) {
    wchar_t scratch[8];
    for (int i = 0; i < 2; ++i) {
      if (ToUnicodeEx(vk, scan, state, scratch, 8, kKeepKeyboardState, layout) >= 0) break;
    }
  }
  typed = out[0];
  return count;
}

// The head of the tables a keyboard layout's DLL hands out (KBDTABLES), as
// far as its flags, which have sat at this place since Windows NT 4.
struct LayoutTablesHead {
  void* modifiers;
  void* characters;
  void* dead_keys;
  void* key_names;
  void* extended_key_names;
  void* dead_key_names;
  void* scan_to_vk;
  BYTE scan_to_vk_count;
  void* extended_scan_to_vk;
  void* e1_scan_to_vk;
  DWORD locale_flags;  // version in the high word, KLLF_* in the low
};
constexpr WORD kLayoutTablesVersion = 1;
constexpr WORD kRightAltIsAltGr = 1;  // KLLF_ALTGR

struct LayoutNameJob {
  HKL layout;
  wchar_t name[KL_NAMELENGTH] = {};
  bool found = false;
};

// A thread's layout can be named only by that thread: a scratch thread takes
// the layout on, names it and ends, and no window of this program changes
// its layout.
DWORD WINAPI name_layout(void* parameter) {
  auto* job = static_cast<LayoutNameJob*>(parameter);
  job->found = ActivateKeyboardLayout(job->layout, 0) != nullptr &&
               GetKeyboardLayoutNameW(job->name) != FALSE;
  return 0;
}

// KLLF_ALTGR as the layout's own DLL states it; nothing where it cannot be
// read (Wine has no layout DLLs). A 32-bit program on 64-bit Windows gets
// layout DLLs whose pointers are 64 bits wide, so it reads nothing either.
std::optional<bool> altgr_flag(HKL layout) {
  if constexpr (sizeof(void*) != 8) return std::nullopt;
  LayoutNameJob job{layout};
  HANDLE thread = CreateThread(nullptr, 0, &name_layout, &job, 0, nullptr);
  if (thread == nullptr) return std::nullopt;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  if (!job.found) return std::nullopt;
  const std::wstring key =
      std::wstring(L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\") + job.name;
  wchar_t file[MAX_PATH] = {};
  DWORD size = sizeof(file);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Layout File", RRF_RT_REG_SZ, nullptr, file,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  HMODULE dll = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (dll == nullptr) return std::nullopt;
  std::optional<bool> altgr;
  using Descriptor = const LayoutTablesHead*(WINAPI*)();
  const auto descriptor = reinterpret_cast<Descriptor>(
      reinterpret_cast<void*>(GetProcAddress(dll, "KbdLayerDescriptor")));
  const LayoutTablesHead* tables = descriptor != nullptr ? descriptor() : nullptr;
  if (tables != nullptr && HIWORD(tables->locale_flags) == kLayoutTablesVersion) {
    altgr = (LOWORD(tables->locale_flags) & kRightAltIsAltGr) != 0;
  }
  FreeLibrary(dll);
  return altgr;
}

// Whether some key of `layout` types a character with Ctrl+Alt, which on a
// keyboard only AltGr gives.
bool types_with_ctrl_alt(HKL layout) {
  for (int vk = 1; vk < 0xFF; ++vk) {
    wchar_t typed = 0;
    for (const BYTE state : {BYTE{6}, BYTE{7}}) {
      const int count = translate_key(layout, static_cast<BYTE>(vk), state, typed);
      if (count < 0 || (count > 0 && typed >= 0x20)) return true;
    }
  }
  return false;
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
    wchar_t typed = 0;
    return translate_key(layout_, vk, shift_state, typed) == 1 && typed == c;
  }

  bool has_altgr() const override {
    // Asked of Windows once, when the first character needs it.
    if (!altgr_) {
      const std::optional<bool> flag = altgr_flag(layout_);
      altgr_ = flag ? *flag : types_with_ctrl_alt(layout_);
    }
    return *altgr_;
  }

 private:
  HKL layout_;
  mutable std::optional<bool> altgr_;
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

// The integrity level a token carries: the last part of its label's SID.
std::optional<DWORD> token_level(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
  std::vector<BYTE> buffer(size);
  if (GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size) == FALSE) {
    return std::nullopt;
  }
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  if (IsValidSid(sid) == FALSE || *GetSidSubAuthorityCount(sid) == 0) return std::nullopt;
  return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1U);
}

// The integrity level of a process; nothing when it cannot be opened or its
// token cannot be asked.
std::optional<DWORD> process_level(HANDLE process) {
  HANDLE token = nullptr;
  if (OpenProcessToken(process, TOKEN_QUERY, &token) == FALSE) return std::nullopt;
  std::optional<DWORD> level = token_level(token);
  CloseHandle(token);
  return level;
}

std::optional<DWORD> process_level(DWORD process_id) {
  // The least that can be asked of a process: Windows grants it for
  // processes of higher integrity too, when their owner is this user.
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id);
  if (process == nullptr) return std::nullopt;
  std::optional<DWORD> level = process_level(process);
  CloseHandle(process);
  return level;
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

Focus classify_focus(const FocusFacts& facts) {
  if (facts.foreground == 0) {
    // Desktop names are not case-sensitive.
    const bool ours = facts.input_desktop &&
                      CompareStringOrdinal(facts.input_desktop->c_str(), -1,
                                           facts.own_desktop.c_str(), -1, TRUE) == CSTR_EQUAL;
    return {ours ? Focus::Kind::none : Focus::Kind::secure, 0};
  }
  // The foreground window alone, by its process: a message box of this
  // program is a window of its process too.
  const FocusedWindow foreground{facts.foreground, facts.owner_process == facts.own_process};
  const Focus focus = focus_of({&foreground, 1});
  if (focus.kind == Focus::Kind::own) return focus;
  // A program of the user's own runs at medium level unless it runs as
  // administrator; that is the guess when this one's level cannot be read.
  const DWORD own_level = facts.own_level.value_or(SECURITY_MANDATORY_MEDIUM_RID);
  if (!facts.owner_level || *facts.owner_level > own_level) {
    return {Focus::Kind::elevated, facts.foreground};
  }
  return focus;
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
