// SPDX-License-Identifier: MIT
#include "platform/win32/open_dialog.h"

#include <cderr.h>
#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "base/text.h"
#include "platform/win32/wide.h"

namespace tavrino {
namespace {

// Long enough for any path Windows can open (32767 characters), plus the NUL.
constexpr DWORD kPathBufferChars = 32768;

std::u16string hex_of(DWORD code) {
  wchar_t digits[16];
  std::swprintf(digits, 16, L"0x%04lX", static_cast<unsigned long>(code));
  return from_wide(digits);
}

}  // namespace

std::wstring dialog_filter(std::u16string_view filter) {
  std::wstring result;
  for (const FileFilter& pair : offered_filters(filter)) {
    result += to_wide(pair.description);
    result += L'\0';
    result += to_wide(pair.pattern);
    result += L'\0';
  }
  result += L'\0';
  // c_str() adds the second NUL that ends the list.
  return result;
}

Status Win32OpenDialog::show_open(std::u16string_view filter, std::u16string& file_name) {
  const std::wstring filters = dialog_filter(filter);
  std::vector<wchar_t> buffer(kPathBufferChars, L'\0');
  if (file_name.size() >= buffer.size()) {
    return Status::failure(u"The file name given to the Open dialog is too long.");
  }
  std::copy(file_name.begin(), file_name.end(), buffer.begin());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filters.c_str();
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kPathBufferChars;  // characters, not bytes
  // A name typed into the dialog that names no file is caught there, where
  // the user can correct it, rather than by the reader afterwards.
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&dialog) != FALSE) {
    file_name = from_wide(buffer.data());
    return Status::success();
  }
  const DWORD error = CommDlgExtendedError();
  if (error == 0) {  // the user cancelled
    file_name.clear();
    return Status::success();
  }
  if (error == FNERR_BUFFERTOOSMALL) {
    return Status::failure(u"The path chosen in the Open dialog is too long.");
  }
  return Status::failure(u"The Open dialog could not be shown (error " + hex_of(error) + u").");
}

std::int32_t Win32WindowPlacement::set_window_pos(WindowHandle window, std::intptr_t insert_after,
                                                  int x, int y, int cx, int cy,
                                                  std::uint32_t flags) {
  return SetWindowPos(reinterpret_cast<HWND>(window), reinterpret_cast<HWND>(insert_after), x, y,
                      cx, cy, flags);
}

}  // namespace tavrino
