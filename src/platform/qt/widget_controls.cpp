// SPDX-License-Identifier: MIT
#include "platform/qt/widget_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

#include "base/text.h"
#include "platform/qt/qt_text.h"
#include "window/layout.h"

namespace tavrino {
namespace {

Status widget_missing(ControlId id) {
  return Status::failure(u"The window has no widget for " + utf8_to_utf16(layout_of(id).name) +
                         u".");
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

WidgetControls::WidgetControls(QWidget& window, const ControlWidgets& widgets, QTimer& timer)
    : window_(window), widgets_(widgets), timer_(timer) {}

template <typename T>
T* WidgetControls::as(ControlId id) const {
  return qobject_cast<T*>(widgets_[static_cast<std::size_t>(id)]);
}

Status WidgetControls::set_text(ControlId box, std::u16string_view text) {
  if (Status status = check_applies(ControlOp::set_text, box); !status) return status;
  if (auto* lines = as<QPlainTextEdit>(box)) {
    lines->setPlainText(to_multi_line(text));
    return Status::success();
  }
  if (auto* line = as<QLineEdit>(box)) {
    line->setText(to_qstring(text));
    // Show the start of a long path, where the user recognises it.
    line->setCursorPosition(0);
    return Status::success();
  }
  return widget_missing(box);
}

Status WidgetControls::get_text(ControlId box, std::u16string& text) {
  if (Status status = check_applies(ControlOp::get_text, box); !status) return status;
  if (auto* lines = as<QPlainTextEdit>(box)) {
    // The raw text keeps what toPlainText() would change (no-break spaces).
    text = from_multi_line(lines->document()->toRawText());
    return Status::success();
  }
  if (auto* line = as<QLineEdit>(box)) {
    text = to_u16string(line->text());
    return Status::success();
  }
  return widget_missing(box);
}

Status WidgetControls::set_caption(ControlId label, std::u16string_view caption) {
  if (Status status = check_applies(ControlOp::set_caption, label); !status) return status;
  auto* const target = as<QLabel>(label);
  if (!target) return widget_missing(label);
  target->setText(to_qstring(caption));
  return Status::success();
}

Status WidgetControls::set_enabled(ControlId button, bool enabled) {
  if (Status status = check_applies(ControlOp::set_enabled, button); !status) return status;
  auto* const target = as<QPushButton>(button);
  if (!target) return widget_missing(button);
  target->setEnabled(enabled);
  return Status::success();
}

Status WidgetControls::set_timer(ControlId timer, bool on) {
  if (Status status = check_applies(ControlOp::set_timer, timer); !status) return status;
  if (!on) {
    timer_.stop();
  } else if (!timer_.isActive()) {
    timer_.start();
  }
  return Status::success();
}

WindowHandle WidgetControls::window_handle() {
  return static_cast<WindowHandle>(window_.winId());
}

}  // namespace tavrino
