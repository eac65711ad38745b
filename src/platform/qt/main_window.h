// SPDX-License-Identifier: MIT
// The main window on Qt Widgets: every control built from form1_layout() at
// its place and size (15 twips to a device-independent pixel, so Qt's
// high-DPI scaling applies), with the handlers of Form1 behind it.
#pragma once

#include <QWidget>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/file_dialog.h"
#include "platform/qt/message_box.h"
#include "platform/qt/widget_controls.h"
#include "platform/qt/window_placement.h"
#include "window/form1.h"
#include "window/layout.h"

class QMimeData;
class QPlainTextEdit;
class QTimer;

namespace tavrino {

// Twips to device-independent pixels, rounded to the nearest.
int twips_to_pixels(int twips);

// Sets the list pane's tab stops so that every value starts in one column,
// just right of the widest "number. name": two tabs follow a short name and
// one a long name, so there are two stops a 32nd of a pixel apart at that
// column, and a short name's first tab ends where a long name's only one
// does. Tabs past the column fall on the pane's regular stops.
void line_up_values(QPlainTextEdit& pane);

// The local files a drag carries, as the core's paths; remote URLs are left
// out.
std::vector<std::u16string> dropped_paths(const QMimeData& data);

class MainWindow final : public QWidget, public Scheduler {
 public:
  // `sheet`, `keyboard` and `reader` outlive the window; `playback` is
  // given to each playback.
  MainWindow(ResultSheet& sheet, Keyboard& keyboard, const FileReader& reader,
             Playback::Options playback = {});
  ~MainWindow() override;

  Form1& form() { return *form_; }
  // The control operations Form1 works through.
  Controls& controls() { return *controls_; }

  // Form_Load, then shows the window with the focus in the countdown box.
  void load_and_show();

  // A zero-timer from the event loop, which keeps the window responsive
  // between the steps of a playback.
  void schedule_step(std::chrono::milliseconds delay) override;

  // The widget made for a control; nullptr for those without one (the timer
  // and the dialog, which is made when Open... is pressed).
  QWidget* control(ControlId id) const { return widgets_[static_cast<std::size_t>(id)]; }
  QTimer* timer() const { return timer_; }

 protected:
  // Typing stops, releasing every key, before the window goes.
  void closeEvent(QCloseEvent* event) override;
  // Drops the key events to every window of this program while Form1 does
  // not allow keys (see Form1::keys_allowed); Esc still stops typing.
  // Otherwise the paste keys (Ctrl+V, Shift+Insert) anywhere in this window
  // offer the clipboard to Form1::paste first, and files dragged onto any
  // of its controls go to Form1::drop, not into a box as text.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Whether `watched` is this window or one of its controls.
  bool ours(QObject* watched) const;
  bool drag_event(QEvent* event);

  void build(const ControlLayout& layout);
  void set_tab_order();

  ControlWidgets widgets_{};        // owned as Qt children
  QWidget* first_focus_ = nullptr;  // the lowest tab index
  QTimer* timer_ = nullptr;
  std::unique_ptr<WidgetControls> controls_;
  QtOpenDialog dialog_;
  QtMessages messages_;
  QtWindowPlacement placement_;
  std::unique_ptr<Form1> form_;
};

}  // namespace tavrino
