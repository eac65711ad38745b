// SPDX-License-Identifier: MIT
// form_watch TITLE FIELDS RESULT
//   Times a typist filling the Win32 target form of the end-to-end tests
//   (window TITLE, FIELDS value fields and one more, ids from 1000): from the
//   moment the first field holds a character to the moment the keyboard
//   focus is in the field after the last value, which the Tab after the last
//   value moves it to. The form handles its input in order, so by then every
//   character has been put into its field. Both are polled every millisecond
//   or so, from outside the form's process. Prints "ready" once it has found
//   the form; writes the time in milliseconds to RESULT. Exit status 1 when
//   the form did not appear or was not filled within two minutes.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFirstFieldId = 1000;
constexpr DWORD kLimitMs = 120000;

double now_ms() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Polls `done` about every millisecond for up to kLimitMs.
template <typename Done>
bool poll_until(Done done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > kLimitMs) return false;
    Sleep(1);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: form_watch TITLE FIELDS RESULT\n", stderr);
    return 64;
  }
  const std::wstring title = argv[1];
  const int count = _wtoi(argv[2]) + 1;
  // The form's window exists before its fields do; wait until it is shown,
  // which it is once every field has been made.
  HWND form = nullptr;
  std::vector<HWND> fields;
  const bool found = poll_until([&] {
    form = FindWindowW(nullptr, title.c_str());
    if (form == nullptr || !IsWindowVisible(form)) return false;
    fields.clear();
    for (int i = 0; i < count; ++i) {
      const HWND field = GetDlgItem(form, kFirstFieldId + i);
      if (field == nullptr) return false;
      fields.push_back(field);
    }
    return true;
  });
  if (!found) {
    std::fputs("form_watch: the form did not appear\n", stderr);
    return 1;
  }
  const DWORD thread = GetWindowThreadProcessId(form, nullptr);
  std::puts("ready");
  std::fflush(stdout);

  // WM_GETTEXTLENGTH reaches into the other process; the form answers it
  // between the input messages it handles.
  const bool started = poll_until([&] {
    DWORD_PTR length = 0;
    return SendMessageTimeoutW(fields.front(), WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 1000,
                               &length) != 0 &&
           length > 0;
  });
  const double first = now_ms();
  const bool finished = started && poll_until([&] {
                          GUITHREADINFO info{};
                          info.cbSize = sizeof info;
                          return GetGUIThreadInfo(thread, &info) && info.hwndFocus == fields.back();
                        });
  const double done = now_ms();
  if (!finished) {
    std::fputs("form_watch: the form was not filled\n", stderr);
    return 1;
  }

  // Written aside and moved into place, so that whoever waits for RESULT
  // never reads half of it.
  const std::wstring partial = std::wstring(argv[3]) + L".part";
  FILE* file = _wfopen(partial.c_str(), L"w");
  if (file == nullptr) return 1;
  std::fprintf(file, "%.3f\n", done - first);
  if (std::fclose(file) != 0) return 1;
  return MoveFileExW(partial.c_str(), argv[3], MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
