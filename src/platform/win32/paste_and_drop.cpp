// SPDX-License-Identifier: MIT
#include "platform/win32/paste_and_drop.h"

#include <string_view>

#include "platform/win32/wide.h"

namespace tavrino {

bool is_paste_key(WPARAM key, bool ctrl, bool shift, bool alt) {
  if (alt) return false;
  return (key == 'V' && ctrl && !shift) || (key == VK_INSERT && shift && !ctrl);
}

std::optional<std::u16string> clipboard_text(HWND owner) {
  if (IsClipboardFormatAvailable(CF_UNICODETEXT) == FALSE) return std::nullopt;
  if (OpenClipboard(owner) == FALSE) return std::nullopt;
  std::optional<std::u16string> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data)); units != nullptr) {
      // The size bounds the search for the NUL, in case a program left none.
      std::wstring_view all(units, GlobalSize(data) / sizeof(wchar_t));
      text = from_wide(all.substr(0, all.find(L'\0')));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

std::vector<std::u16string> dropped_files(HDROP drop) {
  std::vector<std::u16string> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
    files.push_back(from_wide(name));
  }
  return files;
}

}  // namespace tavrino
