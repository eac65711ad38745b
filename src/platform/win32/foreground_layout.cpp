// SPDX-License-Identifier: MIT
#include "platform/win32/foreground_layout.h"

#include <string>

namespace tavrino {
namespace {

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

}  // namespace

HKL foreground_layout() {
  HWND foreground = GetForegroundWindow();
  const DWORD thread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

SHORT ForegroundLayout::key_for(wchar_t c) const {
  return VkKeyScanExW(c, layout_);
}

WORD ForegroundLayout::scan_code(BYTE vk) const {
  return static_cast<WORD>(MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_));
}

bool ForegroundLayout::types(BYTE vk, BYTE shift_state, wchar_t c) const {
  // The character of a dead key, unshifted, comes with the top bit set.
  if (shift_state == 0 && (MapVirtualKeyExW(vk, MAPVK_VK_TO_CHAR, layout_) & 0x80000000U) != 0) {
    return false;
  }
  wchar_t typed = 0;
  return translate_key(layout_, vk, shift_state, typed) == 1 && typed == c;
}

bool ForegroundLayout::has_altgr() const {
  if (!altgr_) {
    const std::optional<bool> flag = altgr_flag(layout_);
    altgr_ = flag ? *flag : types_with_ctrl_alt(layout_);
  }
  return *altgr_;
}

}  // namespace tavrino
