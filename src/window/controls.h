// SPDX-License-Identifier: MIT
// The window's logic reaches the platform only through these small seams.
// Every operation reports success or failure, and callers test each report.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace tavrino {

// The controls of the main window, in creation order.
enum class ControlId {
  cmdStart,
  txtfile,
  CommonDialog1,
  cmdBrows,
  frmChklist,
  lbltext,
  txtTime,
  Timer1,
  Line1,
  lblexam,
  lblSub,
  lblClass,
};

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(ControlId::lblClass) + 1;

// A platform window handle (HWND on Windows, the X window id on Linux).
using WindowHandle = std::uintptr_t;

// The operations of Controls. Each applies to a few controls only:
//   set_text     text boxes lbltext, txtTime, txtfile
//   get_text     text boxes txtTime, txtfile
//   set_caption  labels lblClass, lblSub, lblexam
//   set_enabled  push button cmdStart
//   set_timer    Timer1
enum class ControlOp { set_text, get_text, set_caption, set_enabled, set_timer };

// Whether `op` applies to `id`, by the table above. Every implementation of
// Controls asks this before it does anything.
bool applies(ControlOp op, ControlId id);

// Success when `op` applies to `id`; otherwise the failure that names the
// control ("cmdStart has no text to set.").
Status check_applies(ControlOp op, ControlId id);

// The operation's name as written above ("set_text").
std::string_view op_name(ControlOp op);

// Operations on the controls. Applied to a control that the table above does
// not give them, they fail and change nothing.
class Controls {
 public:
  virtual ~Controls() = default;
  // Replaces the text whole.
  virtual Status set_text(ControlId box, std::u16string_view text) = 0;
  // The text as the control holds it, including what the user typed,
  // carriage returns and line feeds as they stand.
  virtual Status get_text(ControlId box, std::u16string& text) = 0;
  virtual Status set_caption(ControlId label, std::u16string_view caption) = 0;
  virtual Status set_enabled(ControlId button, bool enabled) = 0;
  // On, it delivers Form1::Timer1_Timer every 1000 ms; off stops further
  // ticks until it is switched on again.
  virtual Status set_timer(ControlId timer, bool on) = 0;
  // The main window's handle.
  virtual WindowHandle window_handle() = 0;
};

// A modal file-open dialog.
class OpenDialog {
 public:
  virtual ~OpenDialog() = default;
  // Shows the dialog with `filter` (pairs "description|pattern|" run
  // together) and `file_name` as the initial name. On return `file_name` is
  // the chosen path, or empty when the user cancelled. A failure means the
  // dialog could not be shown.
  virtual Status show_open(std::u16string_view filter, std::u16string& file_name) = 0;
};

// One choice of an Open dialog's filter: "Data Files (*.ipt) " and "*.ipt".
struct FileFilter {
  std::u16string description;
  std::u16string pattern;
  bool operator==(const FileFilter&) const = default;
};

// Splits a filter written as "description|pattern|description|pattern|" into
// its pairs, in order. A last description without a pattern is dropped.
std::vector<FileFilter> split_filter(std::u16string_view filter);

// The choices an Open dialog shows for `filter`: its own pairs, then the
// files of rows a spreadsheet saves, unless the filter already offers them.
std::vector<FileFilter> offered_filters(std::u16string_view filter);

// Messages to the user.
class Messages {
 public:
  virtual ~Messages() = default;
  // One plain sentence, shown modally over the window.
  virtual void show_message(std::u16string_view text) = 0;
  // A short line on what is going on ("Typing - press Esc to stop"), shown
  // without taking the focus; empty takes it away.
  virtual void show_status(std::u16string_view text) = 0;
  // One sentence for the log only (standard error on Linux), for when the
  // window is going away and can show nothing.
  virtual void log(std::u16string_view text) = 0;
};

// Runs Form1::playback_step from the event loop.
class Scheduler {
 public:
  virtual ~Scheduler() = default;
  // Calls Form1::playback_step once, `delay` from now, from the event loop
  // of the user-interface thread.
  virtual void schedule_step(std::chrono::milliseconds delay) = 0;
};

// Keeps a window above all others, as SetWindowPos does.
class WindowPlacement {
 public:
  virtual ~WindowPlacement() = default;
  // insert_after -1 puts the window above all non-topmost windows for good;
  // flags 3 (no size, no move) keep its place and size. Returns non-zero on
  // success, 0 on failure.
  virtual std::int32_t set_window_pos(WindowHandle window, std::intptr_t insert_after, int x, int y,
                                      int cx, int cy, std::uint32_t flags) = 0;
};

inline constexpr std::intptr_t kHwndTopmost = -1;
inline constexpr std::uint32_t kSwpNosize = 1;
inline constexpr std::uint32_t kSwpNomove = 2;

// Makes `window` topmost without moving or resizing it. Returns what
// set_window_pos returned.
std::int32_t settopmost(WindowPlacement& placement, WindowHandle window);

}  // namespace tavrino
