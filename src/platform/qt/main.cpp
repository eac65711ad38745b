// SPDX-License-Identifier: MIT
// tavrino on Linux: the window on Qt, keystrokes through X11's XTEST or, on
// Wayland, the virtual-keyboard protocol or the remote-desktop portal, and
// the fields read back through AT-SPI when the desktop runs it.
//   tavrino [FILE] | --check FILE | --help | --version
#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/atspi/atspi_field_reader.h"
#include "platform/posix/posix_file_reader.h"
#include "platform/posix/stop_signals.h"
#include "platform/qt/main_window.h"
#include "platform/qt/message_box.h"
#include "platform/qt/stop_signal_notifier.h"
#include "platform/session/session_keyboard.h"
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

  const tavrino::FileReader& file_reader() override { return reader_; }

  // --unicode changes nothing here: X11 types every character by keysym.
  int run_window(const tavrino::WindowOptions& options) override {
    const std::u16string& file = options.file;
    // Without a platform named and no display to connect to, Qt would abort
    // with a message about plugins; say what is missing instead.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
      write(Stream::err, "There is no display to show the window on (DISPLAY is not set); " +
                             program_ + " --check FILE checks a data file without one.\n");
      return 1;
    }
    // On a Wayland desktop the window is a Wayland window (X11 through
    // XWayland only without Qt's Wayland plugin), so that it knows when it
    // has the focus; some Qt versions would pick X11 on GNOME.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
      qputenv("QT_QPA_PLATFORM", "wayland;xcb");
    }
    QApplication app(argc_, argv_);
    tavrino::ResultSheet sheet;
    // It looks at the session only when a playback begins, so the window
    // loads and shows files on any Qt platform.
    QWidget* status_window = nullptr;
    // Any window of tavrino's, a message box too, counts as its own: a
    // Wayland session tells no program about another's windows, so this is
    // how a playback knows not to type into tavrino there (see
    // window_focus.h).
    const auto own_window_active = [] { return QGuiApplication::focusWindow() != nullptr; };
    tavrino::SessionKeyboardOptions keyboard_options;
    keyboard_options.own_window_active = own_window_active;
    keyboard_options.show_status = [&status_window](std::u16string_view text) {
      if (status_window != nullptr) tavrino::QtMessages(status_window).show_status(text);
    };
    // Waits inside the keyboards end early once a signal asks to quit.
    keyboard_options.quit_requested = [] { return tavrino::stop_signal_pending() != 0; };
    const std::unique_ptr<tavrino::SessionKeyboard> keyboard =
        tavrino::SessionKeyboard::for_this_session(std::move(keyboard_options));
    // A pipe or device opened in the window gets less time than one checked
    // on the command line, since the window does not answer while it reads.
    const tavrino::PosixFileReader window_reader({.max_bytes = tavrino::kMaxFileSize,
                                                  .quiet = std::chrono::milliseconds(500),
                                                  .total = std::chrono::milliseconds(1000)});
    // Reads back what typing left in each field, when the desktop's
    // accessibility layer runs; it is never switched on from here.
    tavrino::AtspiFieldReader fields;
    // Focus events arrive while nothing is typed too: they are taken in as
    // they come, so that the field the user clicks into is known when
    // typing begins, and none pile up.
    std::unique_ptr<QSocketNotifier> field_events;
    fields.watch_connection([&field_events, &fields](int fd) {
      field_events = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
      QObject::connect(field_events.get(), &QSocketNotifier::activated,
                       [&fields] { fields.dispatch(); });
    });
    tavrino::Playback::Options playback;
    playback.own_window_active = own_window_active;
    playback.fields = &fields;
    tavrino::MainWindow window(sheet, *keyboard, window_reader, std::move(playback));
    status_window = &window;
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
  // Reads pipes and devices with a time limit, so that neither --check nor
  // the window waits for ever on one.
  tavrino::PosixFileReader reader_;
};

}  // namespace

int main(int argc, char** argv) {
  // Arguments are bytes on Linux, mostly UTF-8; the core works in UTF-16. A
  // file name in another encoding comes through unchanged (path_from_bytes).
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tavrino::path_from_bytes(argv[i]));
  const std::string program = argc > 0 ? argv[0] : "tavrino";
  LinuxFrontEnd front_end(argc, argv, program);
  return tavrino::run_command_line(args, program, front_end);
}
