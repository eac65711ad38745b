// SPDX-License-Identifier: MIT
// The main window on Qt Widgets: every control built from form1_layout() at
// its place and size (15 twips to a device-independent pixel, so Qt's
// high-DPI scaling applies), with the handlers of Form1 behind it.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <memory>

#include "platform/qt/file_dialog.h"
#include "platform/qt/message_box.h"
#include "platform/qt/widget_controls.h"
#include "platform/qt/window_placement.h"
#include "window/form1.h"
#include "window/layout.h"

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

class MainWindow final : public QWidget, public Scheduler {
 public:
  // `sheet`, `keyboard`, `reader` and `fields` outlive the window; with
  // `fields`, the fields are read back after typing.
  MainWindow(ResultSheet& sheet, Keyboard& keyboard, const FileReader& reader,
             FieldReader* fields = nullptr);
  ~MainWindow() override;

  Form1& form() { return *form_; }
  // The control operations Form1 works through.
  Controls& controls() { return *controls_; }

  // Form_Load, then shows the window with the focus in the countdown box.
  void load_and_show();

  // A zero-timer from the event loop, which keeps the window responsive
  // between the steps of a playback.
  void schedule_step(std::chrono::milliseconds delay) override;

  // How long after typing has ended keys to this program's windows are
  // still dropped: keys of the playback that reached a window of this
  // program (the focus came here while typing) may still be queued.
  static constexpr std::chrono::milliseconds kKeyQuiet{500};

  // The widget made for a control; nullptr for those without one (the timer
  // and the dialog, which is made when Open... is pressed).
  QWidget* control(ControlId id) const { return widgets_[static_cast<std::size_t>(id)]; }
  QTimer* timer() const { return timer_; }

 protected:
  // Typing stops, releasing every key, before the window goes.
  void closeEvent(QCloseEvent* event) override;
  // While typing and for kKeyQuiet after, drops the key events to every
  // window of this program, so that typed keys that land here do not act on
  // it: a blank would press a button, digits would go into the countdown
  // box, Enter would close a message box. Esc still stops typing.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool keys_dropped();

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
  QElapsedTimer since_typing_;  // restarted while typing
};

}  // namespace tavrino
