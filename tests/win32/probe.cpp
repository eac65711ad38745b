// SPDX-License-Identifier: MIT
// Looks at windows from outside, for the end-to-end tests:
//   probe caption                 prints the title of tavrino's window
//   probe wait TITLE SECONDS      exits 0 once a window TITLE exists, 1 if not
//   probe rect TITLE              prints the window's "x y width height"
//   probe point TITLE CONTROL     prints the screen centre "x y" of a control
//   probe text TITLE CONTROL      prints the control's text (UTF-8)
//   probe settext TITLE CONTROL TEXT  replaces the control's text
//   probe command TITLE CONTROL   the window gets a click on the button
//                                 CONTROL, without being activated
//   probe endsession TITLE        tells the window the session ends
//   probe move TITLE X Y          moves the window
//   probe close TITLE             asks the window to close
//   probe message TITLE SECONDS   waits for a message box TITLE and prints
//                                 the text of every one; exits 1 if none comes
//   probe titled TEXT SECONDS     exits 0 once a window's title holds TEXT
//   probe clipboard FILE          puts the text of FILE (UTF-8) on the
//                                 clipboard as CF_UNICODETEXT, as a
//                                 spreadsheet's copy does
//   probe boxrect TITLE           prints the "x y width height" of the
//                                 message box TITLE
//   probe foreground              prints the title of the foreground window
//   probe screen                  prints the work area "x y width height" of
//                                 the primary monitor
// CONTROL is a control of tavrino's window by its name in the layout
// ("txtTime"), a control's text ("START"), or "#" and its id ("#1000").
// TITLE names a window that is not a message box (they share the window's
// title), one that is not minimised if there is one; "min:TITLE" a
// minimised one.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "window/layout.h"

namespace {

std::wstring class_of(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring title_of(HWND window) {
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  return title;
}

std::vector<HWND> top_windows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM found) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// The windows titled `title`: message boxes if `dialog`, otherwise the
// others, those not minimised first.
std::vector<HWND> find_windows(std::wstring title, bool dialog = false) {
  const bool minimised = title.rfind(L"min:", 0) == 0;
  if (minimised) title.erase(0, 4);
  std::vector<HWND> found;
  std::vector<HWND> iconic;
  for (HWND window : top_windows()) {
    if (title_of(window) != title || (class_of(window) == L"#32770") != dialog) continue;
    (IsIconic(window) ? iconic : found).push_back(window);
  }
  if (minimised) return iconic;
  found.insert(found.end(), iconic.begin(), iconic.end());
  return found;
}

HWND find_window(const std::wstring& title, bool dialog = false) {
  const std::vector<HWND> found = find_windows(title, dialog);
  return found.empty() ? nullptr : found.front();
}

// Waits up to `seconds` for `found` to give a window.
template <typename Find>
HWND wait_for(int seconds, Find found) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = found()) return window;
    if (GetTickCount() - start > static_cast<DWORD>(seconds) * 1000) return nullptr;
    Sleep(100);
  }
}

// The id of the control that tavrino's window made for the layout entry
// `name`, or 0 when the layout has no such name. The window numbers its
// controls in layout order, counting up from the first (cmdStart), which
// has the lowest id of its children.
int layout_control_id(HWND window, const std::wstring& name) {
  const auto layout = tavrino::form1_layout();
  const auto entry = std::find_if(layout.begin(), layout.end(), [&name](const auto& control) {
    return std::wstring(control.name.begin(), control.name.end()) == name;
  });
  if (entry == layout.end()) return 0;
  int first = INT_MAX;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    first = std::min(first, GetDlgCtrlID(child));
  }
  return first == INT_MAX ? 0 : first + static_cast<int>(entry - layout.begin());
}

HWND find_control(HWND parent, const std::wstring& control) {
  if (!control.empty() && control[0] == L'#') {
    return GetDlgItem(parent, _wtoi(control.c_str() + 1));
  }
  if (const int id = layout_control_id(parent, control); id != 0) return GetDlgItem(parent, id);
  return FindWindowExW(parent, nullptr, nullptr, control.c_str());
}

void print_utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  std::fputs(out.c_str(), stdout);
}

// The file's UTF-8 text, as UTF-16, on the clipboard.
int set_clipboard(const wchar_t* path) {
  FILE* file = _wfopen(path, L"rb");
  if (file == nullptr) return 1;
  std::string bytes;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.append(buffer, n);
  std::fclose(file);
  const int units =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (static_cast<std::size_t>(units) + 1) * 2);
  auto* text = static_cast<wchar_t*>(GlobalLock(memory));
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text, units);
  text[units] = L'\0';
  GlobalUnlock(memory);
  if (!OpenClipboard(nullptr)) return 1;
  EmptyClipboard();
  const bool set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  return set ? 0 : 1;
}

}  // namespace

void print_rect(const RECT& rect) {
  std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"foreground") {
    HWND foreground = GetForegroundWindow();
    print_utf8(foreground != nullptr ? title_of(foreground) + L"\n" : L"\n");
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"caption") {
    const std::u16string_view caption = tavrino::kWindowCaption;
    print_utf8(std::wstring(caption.begin(), caption.end()) + L"\n");
    return 0;
  }
  if (argc == 2 && std::wstring(argv[1]) == L"screen") {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    print_rect(work);
    return 0;
  }
  if (argc < 3) return 2;
  const std::wstring command = argv[1];
  const std::wstring title = argv[2];
  if (command == L"clipboard") return set_clipboard(argv[2]);
  if (command == L"wait" && argc == 4) {
    return wait_for(_wtoi(argv[3]), [&title] { return find_window(title); }) != nullptr ? 0 : 1;
  }
  if (command == L"titled" && argc == 4) {
    const auto titled = [&title]() -> HWND {
      for (HWND window : top_windows()) {
        if (title_of(window).find(title) != std::wstring::npos) return window;
      }
      return nullptr;
    };
    return wait_for(_wtoi(argv[3]), titled) != nullptr ? 0 : 1;
  }
  if (command == L"message" && argc == 4) {
    if (wait_for(_wtoi(argv[3]), [&title] { return find_window(title, true); }) == nullptr) {
      return 1;
    }
    // The text is in the box's static controls; its icon is one without text.
    std::wstring text;
    for (HWND box : find_windows(title, true)) {
      for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
           child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(class_of(child).c_str(), L"Static") != 0) continue;
        const std::wstring part = title_of(child);
        if (!part.empty()) text += part + L"\n";
      }
    }
    print_utf8(text);
    return 0;
  }
  if (command == L"boxrect") {
    HWND box = find_window(title, true);
    if (box == nullptr) return 1;
    RECT rect{};
    GetWindowRect(box, &rect);
    print_rect(rect);
    return 0;
  }
  HWND window = find_window(title);
  if (window == nullptr) {
    std::fprintf(stderr, "probe: no window with that title\n");
    return 1;
  }
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"move" && argc == 5) {
    SetWindowPos(window, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  if (command == L"endsession") {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    return 0;
  }
  if (command == L"rect") {
    RECT rect{};
    GetWindowRect(window, &rect);
    print_rect(rect);
    return 0;
  }
  if (argc != 4 && !(command == L"settext" && argc == 5)) return 2;
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
  if (command == L"settext") {
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
    return 0;
  }
  if (command == L"command") {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
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
