// SPDX-License-Identifier: MIT
#include "platform/win32/console.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>

#include "base/text.h"
#include "platform/win32/wide.h"

namespace tavrino {
namespace {

bool usable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The console of the parent process, attached on first use.
HANDLE parent_console() {
  static const HANDLE console = [] {
    if (AttachConsole(ATTACH_PARENT_PROCESS) == FALSE) return INVALID_HANDLE_VALUE;
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
  }();
  return console;
}

HANDLE handle_for(OutputStream stream) {
  // A redirection (tavrino --check f > out.txt, or a pipe) gives a GUI
  // program real standard handles; without one they are empty.
  HANDLE handle = GetStdHandle(stream == OutputStream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (usable(handle)) return handle;
  handle = parent_console();
  return usable(handle) ? handle : nullptr;
}

}  // namespace

bool write_output(OutputStream stream, std::string_view utf8) {
  HANDLE handle = handle_for(stream);
  if (handle == nullptr) return false;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode) != FALSE) {
    // A console shows UTF-16 whatever its code page.
    const std::wstring text = to_wide(utf8_to_utf16(utf8));
    std::size_t done = 0;
    while (done < text.size()) {
      DWORD written = 0;
      const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
      if (WriteConsoleW(handle, text.data() + done, chunk, &written, nullptr) == FALSE ||
          written == 0) {
        return false;
      }
      done += written;
    }
    return true;
  }
  std::size_t done = 0;
  while (done < utf8.size()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(utf8.size() - done, 1 << 16));
    if (WriteFile(handle, utf8.data() + done, chunk, &written, nullptr) == FALSE || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace tavrino
