// SPDX-License-Identifier: MIT
// tavrino.exe: the window, or --check, --help and --version.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "platform/win32/console.h"
#include "platform/win32/main_window.h"
#include "platform/win32/open_dialog.h"
#include "platform/win32/send_input_keyboard.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_desktop.h"
#include "sheet/file_reader.h"
#include "sheet/result_sheet.h"
#include "window/command_line.h"
#include "window/form1.h"
#include "window/layout.h"

namespace tavrino {
namespace {

std::vector<std::u16string> arguments() {
  std::vector<std::u16string> args;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 0; i < count; ++i) args.push_back(from_wide(argv[i]));
  LocalFree(argv);
  return args;
}

// Writes to the console or redirection; started without either (from
// Explorer or a shortcut), shows the text in a message box instead.
void report(OutputStream stream, const std::string& utf8) {
  if (write_output(stream, utf8)) return;
  const std::wstring text = to_wide(utf8_to_utf16(utf8));
  const std::wstring caption = to_wide(kWindowCaption);
  MessageBoxW(nullptr, text.c_str(), caption.c_str(),
              stream == OutputStream::err ? MB_OK | MB_ICONWARNING : MB_OK | MB_ICONINFORMATION);
}

// A file named on the command line, made absolute so that txtfile shows
// where it is, as it would after the Open dialog.
std::u16string full_path(const std::u16string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring buffer(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, buffer.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  buffer.resize(length);
  return from_wide(buffer);
}

class WindowsFrontEnd final : public FrontEnd {
 public:
  WindowsFrontEnd(HINSTANCE instance, int show_command)
      : instance_(instance), show_command_(show_command) {}

  void write(Stream stream, const std::string& utf8) override {
    report(stream == Stream::out ? OutputStream::out : OutputStream::err, utf8);
  }

  const FileReader& file_reader() override { return reader_; }

  int run_window(const WindowOptions& options) override {
    ResultSheet sheet;  // Module1's sheet: empty at start, kept for the whole run
    MainWindow window(instance_);
    if (Status created = window.create(); !created) {
      report(OutputStream::err, utf16_to_utf8(created.message()) + "\n");
      return 1;
    }
    Win32OpenDialog dialog(window.hwnd());
    Win32WindowPlacement placement;
    Win32Desktop desktop;
    SendInputKeyboard keyboard(desktop, {.unicode_only = options.unicode});
    // No own-window function: the desktop tells tavrino's windows from
    // others' by the process that owns the foreground window.
    Form1 form(sheet, window, dialog, window, placement, keyboard, window, reader_,
               Playback::Options{});
    window.set_form(&form);
    form.Form_Load();  // created, not yet shown
    window.show(show_command_);
    if (!options.file.empty()) form.open_path(full_path(options.file));
    return window.run();
  }

 private:
  HINSTANCE instance_;
  int show_command_;
  // Regular files only: a pipe or a device is refused rather than read
  // without a time limit.
  StandardFileReader reader_;
};

int run(HINSTANCE instance, int show_command) {
  std::vector<std::u16string> args = arguments();
  // The name the program was started by, without its folder, for --help.
  std::u16string program = args.empty() ? u"tavrino" : args.front();
  if (const auto slash = program.find_last_of(u"\\/:"); slash != std::u16string::npos) {
    program.erase(0, slash + 1);
  }
  if (!args.empty()) args.erase(args.begin());
  WindowsFrontEnd front_end(instance, show_command);
  return run_command_line(args, utf16_to_utf8(program), front_end);
}

}  // namespace
}  // namespace tavrino

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  return tavrino::run(instance, show_command);
}
