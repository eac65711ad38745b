// SPDX-License-Identifier: MIT
#include "platform/qt/widget_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

#include "platform/qt/qt_text.h"
#include "sheet/text.h"
#include "window/layout.h"

namespace tavrino {
namespace {

Status not_for(ControlId id, std::u16string_view what) {
  return Status::failure(u"The window has no " + std::u16string(what) + u" named " +
                         utf8_to_utf16(layout_of(id).name) + u".");
}

}  // namespace

QString to_multi_line(std::u16string_view text) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      out.append(QChar(u'\n'));
    } else {
      out.append(QChar(c));
    }
  }
  return out;
}

std::u16string from_multi_line(const QString& document_text) {
  std::u16string out;
  out.reserve(static_cast<std::size_t>(document_text.size()) + 2);
  for (const QChar c : document_text) {
    // A raw document separates paragraphs with U+2029 and breaks lines inside
    // one (Shift+Enter) with U+2028; plain text may carry '\n'. All are a line
    // end to the user.
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n') {
      out += u"\r\n";
    } else {
      out += c.unicode();
    }
  }
  return out;
}

WidgetControls::WidgetControls(const ControlWidgets& widgets) : widgets_(widgets) {}

Status WidgetControls::set_text(ControlId box, std::u16string_view text) {
  switch (box) {
    case ControlId::lbltext:
      if (!widgets_.lbltext) break;
      widgets_.lbltext->setPlainText(to_multi_line(text));
      return Status::success();
    case ControlId::txtTime:
      if (!widgets_.txtTime) break;
      widgets_.txtTime->setPlainText(to_multi_line(text));
      return Status::success();
    case ControlId::txtfile:
      if (!widgets_.txtfile) break;
      widgets_.txtfile->setText(to_qstring(text));
      // Show the start of a long path, where the user recognises it.
      widgets_.txtfile->setCursorPosition(0);
      return Status::success();
    default:
      break;
  }
  return not_for(box, u"text box to write");
}

Status WidgetControls::get_text(ControlId box, std::u16string& text) {
  switch (box) {
    case ControlId::txtTime:
      if (!widgets_.txtTime) break;
      // The raw text keeps what toPlainText() would change (no-break spaces).
      text = from_multi_line(widgets_.txtTime->document()->toRawText());
      return Status::success();
    case ControlId::txtfile:
      if (!widgets_.txtfile) break;
      text = to_u16string(widgets_.txtfile->text());
      return Status::success();
    default:
      break;
  }
  return not_for(box, u"text box to read");
}

QLabel* WidgetControls::label(ControlId id) const {
  switch (id) {
    case ControlId::lblexam:
      return widgets_.lblexam;
    case ControlId::lblSub:
      return widgets_.lblSub;
    case ControlId::lblClass:
      return widgets_.lblClass;
    default:
      return nullptr;
  }
}

Status WidgetControls::set_caption(ControlId id, std::u16string_view caption) {
  QLabel* const target = label(id);
  if (!target) return not_for(id, u"label");
  target->setText(to_qstring(caption));
  return Status::success();
}

Status WidgetControls::set_enabled(ControlId button, bool enabled) {
  if (button != ControlId::cmdStart || !widgets_.cmdStart) return not_for(button, u"button");
  widgets_.cmdStart->setEnabled(enabled);
  return Status::success();
}

Status WidgetControls::set_timer(ControlId timer, bool on) {
  if (timer != ControlId::Timer1 || !widgets_.Timer1) return not_for(timer, u"timer");
  if (!on) {
    widgets_.Timer1->stop();
  } else if (!widgets_.Timer1->isActive()) {
    widgets_.Timer1->start();
  }
  return Status::success();
}

WindowHandle WidgetControls::window_handle() {
  return widgets_.window ? static_cast<WindowHandle>(widgets_.window->winId()) : 0;
}

}  // namespace tavrino
