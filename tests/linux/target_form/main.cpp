// SPDX-License-Identifier: MIT
// tavrino_target_form --output FILE [--fields N] [--title TEXT]
//                     [--quit-when-exists PATH]
//
// A column of N line edits (10 unless told), the first one focused. When it
// closes (window closed, Ctrl+Q, SIGTERM or SIGINT, or PATH appearing) it
// writes each field's text to FILE as one UTF-8 line, with backslash, tab,
// carriage return and line feed written as \\ \t \r \n so that a line stays
// a line. Once shown, it prints "window 0x<id>" on standard output.
//
// Ctrl+Q is how a test closes it after typing: the shortcut arrives behind
// the typed keys, so every one of them is in its field by then, which a
// signal cannot promise.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace {

int signal_pipe[2] = {-1, -1};

// Only a write() is safe in a signal handler; the event loop reads the byte.
void on_signal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signal_pipe[1], &byte, 1);
}

QString escaped(const QString& text) {
  QString out;
  for (const QChar c : text) {
    if (c == u'\\') {
      out += u"\\\\";
    } else if (c == u'\t') {
      out += u"\\t";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\r') {
      out += u"\\r";
    } else {
      out += c;
    }
  }
  return out;
}

struct Options {
  QString output;
  QString quit_when_exists;
  QString title = QStringLiteral("tavrino target form");
  int fields = 10;
};

bool parse(const QStringList& args, Options& options) {
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (i + 1 >= args.size()) return false;
    const QString& value = args[++i];
    if (arg == u"--output") {
      options.output = value;
    } else if (arg == u"--fields") {
      bool ok = false;
      options.fields = value.toInt(&ok);
      if (!ok || options.fields < 1) return false;
    } else if (arg == u"--title") {
      options.title = value;
    } else if (arg == u"--quit-when-exists") {
      options.quit_when_exists = value;
    } else {
      return false;
    }
  }
  return !options.output.isEmpty();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Options options;
  if (!parse(app.arguments(), options)) {
    std::fputs(
        "usage: tavrino_target_form --output FILE [--fields N] [--title TEXT] "
        "[--quit-when-exists PATH]\n",
        stderr);
    return 2;
  }

  if (socketpair(AF_UNIX, SOCK_STREAM, 0, signal_pipe) != 0) return 1;
  QSocketNotifier notifier(signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &app, [] {
    char byte = 0;
    [[maybe_unused]] const ssize_t read_bytes = read(signal_pipe[0], &byte, 1);
    QApplication::quit();
  });
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);

  QWidget window;
  window.setWindowTitle(options.title);
  auto* layout = new QVBoxLayout(&window);
  std::vector<QLineEdit*> fields;
  for (int i = 0; i < options.fields; ++i) {
    auto* field = new QLineEdit(&window);
    field->setObjectName(QStringLiteral("field%1").arg(i + 1));
    layout->addWidget(field);
    fields.push_back(field);
  }

  QShortcut quit_shortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), &window);
  quit_shortcut.setContext(Qt::ApplicationShortcut);
  QObject::connect(&quit_shortcut, &QShortcut::activated, &app, &QApplication::quit);

  QTimer watch;
  if (!options.quit_when_exists.isEmpty()) {
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
      if (QFileInfo::exists(options.quit_when_exists)) QApplication::quit();
    });
    watch.start(100);
  }

  window.show();
  window.activateWindow();
  fields.front()->setFocus();
  std::printf("window 0x%llx\n", static_cast<unsigned long long>(window.winId()));
  std::fflush(stdout);

  const int code = app.exec();

  QFile file(options.output);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(options.output));
    return 1;
  }
  QTextStream out(&file);
  out.setEncoding(QStringConverter::Utf8);
  for (const QLineEdit* field : fields) out << escaped(field->text()) << '\n';
  return code;
}
