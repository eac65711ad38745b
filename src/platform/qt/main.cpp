// SPDX-License-Identifier: MIT
// tavrino on Linux: the window on Qt, keystrokes through X11's XTEST.
//   tavrino [FILE] | --check FILE | --help | --version
#include <QApplication>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/posix/stop_signals.h"
#include "platform/qt/main_window.h"
#include "platform/qt/stop_signal_notifier.h"
#include "platform/x11/xtest_keyboard.h"
#include "sheet/result_sheet.h"
#include "window/command_line.h"

namespace {

// Everything but the window works without a display, so the QApplication is
// made only for the window.
class LinuxFrontEnd final : public tavrino::FrontEnd {
 public:
  LinuxFrontEnd(int& argc, char** argv, std::string program)
      : argc_(argc), argv_(argv), program_(std::move(program)) {}

  void write(Stream stream, const std::string& utf8) override {
    std::FILE* const out = stream == Stream::out ? stdout : stderr;
    std::fwrite(utf8.data(), 1, utf8.size(), out);
    std::fflush(out);
  }

  int run_window(const std::u16string& file) override {
    // Without a platform named and no display to connect to, Qt would abort
    // with a message about plugins; say what is missing instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
      write(Stream::err, "There is no display to show the window on (DISPLAY is not set); " +
                             program_ + " --check FILE checks a data file without one.\n");
      return 1;
    }
    QApplication app(argc_, argv_);
    tavrino::ResultSheet sheet;
    // It connects to the X display only when a playback begins, so the window
    // loads and shows files on any Qt platform; typing needs X11.
    // Waits inside the keyboard end early once a signal asks to quit.
    tavrino::XTestKeyboard keyboard([] { return tavrino::stop_signal_pending() != 0; });
    tavrino::MainWindow window(sheet, keyboard);
    // SIGINT, SIGTERM, SIGHUP: typing stops and lets go of every key first.
    tavrino::StopSignalNotifier stop_signals(window.form());
    window.load_and_show();
    // After the show, so that a refused file's message appears over the window.
    if (!file.empty()) (void)window.form().open_path(file);
    return app.exec();
  }

 private:
  int& argc_;
  char** argv_;
  std::string program_;
};

}  // namespace

int main(int argc, char** argv) {
  // Arguments are UTF-8 on Linux; the core works in UTF-16.
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tavrino::utf8_to_utf16(argv[i]));
  const std::string program = argc > 0 ? argv[0] : "tavrino";
  LinuxFrontEnd front_end(argc, argv, program);
  return tavrino::run_command_line(args, program, front_end);
}
