// SPDX-License-Identifier: MIT
#include "platform/qt/message_box.h"

#include <QMessageBox>
#include <QWidget>

#include "platform/qt/qt_text.h"
#include "window/layout.h"

namespace tavrino {

void QtMessages::show_message(std::u16string_view text) {
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("tavrino"), to_qstring(text),
                              QMessageBox::Ok, window_);
  // A sentence, never markup: a file name with '<' must show as written.
  box->setTextFormat(Qt::PlainText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void QtMessages::show_status(std::u16string_view text) {
  QString title = to_qstring(kWindowCaption);
  if (!text.empty()) title = to_qstring(text) + QStringLiteral(" - ") + title;
  window_->setWindowTitle(title);
}

}  // namespace tavrino
