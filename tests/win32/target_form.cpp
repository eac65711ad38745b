// SPDX-License-Identifier: MIT
// A data-entry form for the end-to-end tests: a column of edit fields that
// Tab moves between. Usage: target_form OUTPUT FIELDS [KEYS [TITLE]]
//
// The form has FIELDS + 1 fields. When the focus reaches the last one (the
// Tab after the last value) it waits a moment for stray keys, writes every
// field to OUTPUT and closes; so does closing it, and so does a minute
// without that happening. OUTPUT is UTF-8, one line per field, with
// backslash, CR, LF and Tab written as \\, \r, \n and \t, then a line
// "focus=N" naming the field (from 1) that had the focus.
//
// KEYS, if given, gets the virtual key of every key-down message each field
// received, a line per field ("34 35 09" for 4, 5 and Tab; e7 is a Unicode
// packet), then "caps=N" and "shift=N": whether Caps Lock was on for the form
// and Shift down on the keyboard when it wrote its fields. TITLE replaces the form's title
// ("tavrino target form").
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kFirstFieldId = 1000;
constexpr UINT_PTR kSettleTimer = 1;
constexpr UINT_PTR kGiveUpTimer = 2;

std::wstring output_path;
std::wstring keys_path;
std::vector<HWND> fields;
std::vector<std::string> keys_down;  // by field: "34 35 09"
HWND form = nullptr;
bool written = false;

std::string utf8_of(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// Written beside the file and renamed over it, so that a test that sees
// the file sees all of it.
void write_file(const std::wstring& path, const std::string& text) {
  const std::wstring part = path + L".part";
  FILE* file = _wfopen(part.c_str(), L"wb");
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
  if (std::fclose(file) != 0) return;
  MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void write_keys() {
  std::string keys;
  for (const std::string& line : keys_down) keys += line + "\n";
  keys += "caps=" + std::to_string(GetKeyState(VK_CAPITAL) & 1) + "\n";
  // The keyboard as it is now, not as the messages read so far left it: a
  // posted close request overtakes key messages still in the queue.
  keys += "shift=" + std::to_string((GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0 ? 1 : 0) + "\n";
  write_file(keys_path, keys);
}

void write_fields() {
  if (written) return;
  written = true;
  std::string out;
  int focused = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const int length = GetWindowTextLengthW(fields[i]);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(fields[i], text.data(), length + 1)));
    for (char c : utf8_of(text)) {
      switch (c) {
        case '\\':
          out += "\\\\";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          out += c;
      }
    }
    out += '\n';
    if (GetFocus() == fields[i]) focused = static_cast<int>(i) + 1;
  }
  out += "focus=" + std::to_string(focused) + "\n";
  // The keys first: a test that finds the fields finds both.
  if (!keys_path.empty()) write_keys();
  write_file(output_path, out);
}

// Notes a key going down in one of the fields.
void note_key(const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] != message.hwnd) continue;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(message.wParam & 0xFF));
    if (!keys_down[i].empty()) keys_down[i] += ' ';
    keys_down[i] += hex;
  }
}

// Handles one message as the form's loop does.
void handle(MSG& message) {
  note_key(message);
  if (IsDialogMessageW(form, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

// A close request is a posted message, and posted messages are read before
// input: the keys still queued are read first, until none has come for a
// while, so that the fields hold every key that reached the form. A form
// closed while keys still stream in stops reading after two seconds.
void read_queued_keys() {
  MSG message;
  const ULONGLONG until = GetTickCount64() + 2000;
  for (int quiet = 0; quiet < 6 && GetTickCount64() < until;) {
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT | PM_QS_POSTMESSAGE)) {
      handle(message);
      quiet = 0;
    } else {
      Sleep(50);
      ++quiet;
    }
  }
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) == EN_SETFOCUS &&
          LOWORD(wparam) == kFirstFieldId + static_cast<int>(fields.size()) - 1) {
        SetTimer(hwnd, kSettleTimer, 700, nullptr);
      }
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, wparam);
      write_fields();
      DestroyWindow(hwnd);
      return 0;
    case WM_CLOSE: {
      static bool closing = false;
      if (closing) return 0;  // a second request while the keys are read
      closing = true;
      read_queued_keys();
      write_fields();
      DestroyWindow(hwnd);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 3 || argc > 5) return 2;
  output_path = argv[1];
  const int count = _wtoi(argv[2]) + 1;
  if (argc > 3) keys_path = argv[3];
  const std::wstring title = argc > 4 ? argv[4] : L"tavrino target form";

  WNDCLASSW window_class{};
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = L"tavrino.target_form";
  RegisterClassW(&window_class);
  form = CreateWindowExW(0, window_class.lpszClassName, title.c_str(),
                         WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 480, 40, 360, 60 + 32 * count,
                         nullptr, nullptr, instance, nullptr);
  for (int i = 0; i < count; ++i) {
    fields.push_back(CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 10,
        10 + 32 * i, 320, 26, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstFieldId + i)), instance, nullptr));
  }
  keys_down.resize(fields.size());
  ShowWindow(form, SW_SHOWNORMAL);
  SetFocus(fields.front());
  SetTimer(form, kGiveUpTimer, 60000, nullptr);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) handle(message);
  return 0;
}
