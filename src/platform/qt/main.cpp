// SPDX-License-Identifier: MIT
// tavrino on Linux: the window on Qt, keystrokes through X11's XTEST.
//   tavrino [FILE] | --check FILE | --help | --version
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/qt/main_window.h"
#include "platform/x11/xtest_keyboard.h"
#include "sheet/result_sheet.h"
#include "sheet/text.h"
#include "window/check.h"
#include "window/command_line.h"

namespace {

void print(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

// Without a platform named and no display to connect to, Qt would abort with
// a message about plugins; say what is missing instead.
bool display_available() {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
         !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int run_window(int argc, char** argv, const std::u16string& file) {
  QApplication app(argc, argv);
  tavrino::ResultSheet sheet;
  // It connects to the X display only when a playback begins, so the window
  // loads and shows files on any Qt platform; typing needs X11.
  tavrino::XTestKeyboard keyboard;
  tavrino::MainWindow window(sheet, keyboard);
  window.load_and_show();
  // After the show, so that a refused file's message appears over the window.
  if (!file.empty()) (void)window.form().open_path(file);
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // Arguments are UTF-8 on Linux; the core works in UTF-16.
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tavrino::utf8_to_utf16(argv[i]));
  const std::string program = argc > 0 ? argv[0] : "tavrino";

  // Everything but the window works without a display, so no QApplication
  // is made for it.
  const tavrino::CommandLine line = tavrino::parse_command_line(args);
  switch (line.mode) {
    case tavrino::CommandLine::Mode::help:
      print(stdout, tavrino::help_text(program));
      return 0;
    case tavrino::CommandLine::Mode::version:
      print(stdout, tavrino::version_text());
      return 0;
    case tavrino::CommandLine::Mode::usage_error:
      print(stderr, line.error + "\n");
      return 2;
    case tavrino::CommandLine::Mode::check: {
      const tavrino::CheckReport report = tavrino::check_file(line.file);
      print(stdout, report.output);
      if (!report.error.empty()) print(stderr, report.error + "\n");
      return report.exit_code;
    }
    case tavrino::CommandLine::Mode::window:
      break;
  }
  if (!display_available()) {
    print(stderr, "There is no display to show the window on (DISPLAY is not set); " + program +
                      " --check FILE checks a data file without one.\n");
    return 1;
  }
  return run_window(argc, argv, line.file);
}
