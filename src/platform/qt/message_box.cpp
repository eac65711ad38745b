// SPDX-License-Identifier: MIT
#include "platform/qt/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdio>
#include <string>

#include "base/text.h"

#include "platform/qt/qt_text.h"
#include "window/layout.h"

namespace tavrino {

void QtMessages::log(std::u16string_view text) {
  // Escaped: a value quoted in the message could hold characters that a
  // terminal takes as commands, or that hide text.
  const std::string line = "tavrino: " + utf16_to_utf8(escape_hidden(text)) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void QtMessages::show_message(std::u16string_view text) {
  const QString message = to_qstring(text);
  // Also on standard error, where a session's log keeps it.
  log(text);
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("tavrino"), message,
                              QMessageBox::Ok, window_);
  // A sentence, never markup: a file name with '<' must show as written.
  box->setTextFormat(Qt::PlainText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // While the user works in another program (another tavrino may be typing
  // there), the box shows over the window without taking the keyboard
  // focus from it: keys meant for that program must not land in the box. A
  // modal box would be activated all the same, so this one is not modal.
  if (QApplication::activeWindow() == nullptr) {
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setWindowModality(Qt::NonModal);
    box->show();
    return;
  }
  box->open();
}

void QtMessages::show_status(std::u16string_view text) {
  QString title = to_qstring(kWindowCaption);
  if (!text.empty()) title = to_qstring(text) + QStringLiteral(" - ") + title;
  window_->setWindowTitle(title);
}

}  // namespace tavrino
