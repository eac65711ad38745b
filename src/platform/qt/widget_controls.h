// SPDX-License-Identifier: MIT
// The control operations of the main window over its Qt widgets.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <string_view>

#include "window/controls.h"

class QTimer;
class QWidget;

namespace tavrino {

// One widget per control, indexed by ControlId; null for the controls that
// have none (Timer1, CommonDialog1). The window owns them all.
using ControlWidgets = std::array<QWidget*, kControlCount>;

// Multi-line boxes hold line breaks, not characters: a text set with CR LF (or
// a lone CR or LF) shows a line break there, and a line break reads back as
// CR LF, which is what the countdown box holds after the user presses Enter in
// it on the platform the program comes from. Single-line boxes hold the text
// as it is.
QString to_multi_line(std::u16string_view text);
std::u16string from_multi_line(const QString& document_text);

class WidgetControls final : public Controls {
 public:
  // `window`, `widgets` and `timer` outlive the object.
  WidgetControls(QWidget& window, const ControlWidgets& widgets, QTimer& timer);

  // Each fails, naming the control, when applied to a control it is not
  // meant for (see Controls) or when the widget is missing.
  Status set_text(ControlId box, std::u16string_view text) override;
  Status get_text(ControlId box, std::u16string& text) override;
  Status set_caption(ControlId label, std::u16string_view caption) override;
  Status set_enabled(ControlId button, bool enabled) override;
  // Switching on a running timer leaves it running on its old beat, so a
  // second START does not stretch the current second.
  Status set_timer(ControlId timer, bool on) override;
  // The X window id on X11; creates the native window if needed.
  WindowHandle window_handle() override;

 private:
  // The control's widget as a T; null when it has none of that type.
  template <typename T>
  T* as(ControlId id) const;

  QWidget& window_;
  const ControlWidgets& widgets_;
  QTimer& timer_;
};

}  // namespace tavrino
