// SPDX-License-Identifier: MIT
// Looks at windows from outside, for the end-to-end tests:
//   probe wait TITLE SECONDS      exits 0 once a window TITLE exists, 1 if not
//   probe rect TITLE              prints the window's "x y width height"
//   probe point TITLE CONTROL     prints the screen centre "x y" of a control
//   probe text TITLE CONTROL      prints the control's text (UTF-8)
//   probe close TITLE             asks the window to close
// CONTROL is a control's text ("START") or "#" and its id ("#1000").
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

HWND find_control(HWND parent, const std::wstring& control) {
  if (!control.empty() && control[0] == L'#') {
    return GetDlgItem(parent, _wtoi(control.c_str() + 1));
  }
  return FindWindowExW(parent, nullptr, nullptr, control.c_str());
}

void print_utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  std::fputs(out.c_str(), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring command = argv[1];
  const std::wstring title = argv[2];
  if (command == L"wait" && argc == 4) {
    const DWORD limit = static_cast<DWORD>(_wtoi(argv[3])) * 1000;
    const DWORD start = GetTickCount();
    while (FindWindowW(nullptr, title.c_str()) == nullptr) {
      if (GetTickCount() - start > limit) return 1;
      Sleep(100);
    }
    return 0;
  }
  HWND window = FindWindowW(nullptr, title.c_str());
  if (window == nullptr) {
    std::fprintf(stderr, "probe: no window with that title\n");
    return 1;
  }
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"rect") {
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
  }
  if (argc != 4) return 2;
  HWND control = find_control(window, argv[3]);
  if (control == nullptr) {
    std::fprintf(stderr, "probe: no such control\n");
    return 1;
  }
  if (command == L"point") {
    RECT rect{};
    GetWindowRect(control, &rect);
    std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return 0;
  }
  if (command == L"text") {
    // WM_GETTEXT reaches into the other process; GetWindowText would not.
    const auto length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    print_utf8(text);
    return 0;
  }
  return 2;
}
