// SPDX-License-Identifier: MIT
// The control operations Form1 works through, and how the main window
// shows messages and schedules playback steps.
#include <algorithm>
#include <string>
#include <string_view>

#include "base/text.h"
#include "platform/win32/console.h"
#include "platform/win32/main_window.h"
#include "platform/win32/message_box.h"
#include "platform/win32/wide.h"

namespace tavrino {
namespace {

std::u16string name_of(ControlId id) {
  const std::string_view name = layout_of(id).name;
  return std::u16string(name.begin(), name.end());
}

}  // namespace

Status MainWindow::set_window_text(ControlId id, std::u16string_view text) {
  HWND hwnd = control(id);
  const std::wstring wide = to_wide(text);
  if (hwnd == nullptr || SetWindowTextW(hwnd, wide.c_str()) == FALSE) {
    return Status::failure(u"Windows refused to change the text of " + name_of(id) + u".");
  }
  return Status::success();
}

Status MainWindow::set_text(ControlId box, std::u16string_view text) {
  if (Status status = check_applies(ControlOp::set_text, box); !status) return status;
  // A value may hold a lone CR or LF (a quoted item spanning lines); the
  // multi-line edit controls show only CR LF as a line break.
  if (!layout_of(box).multi_line) return set_window_text(box, text);
  if (box != ControlId::lbltext) return set_window_text(box, crlf_line_ends(text));
  Status status = set_window_text(box, crlf_line_ends(text));
  if (status) line_up_values();
  return status;
}

Status MainWindow::get_text(ControlId box, std::u16string& text) {
  if (Status status = check_applies(ControlOp::get_text, box); !status) return status;
  HWND hwnd = control(box);
  if (hwnd == nullptr) {
    return Status::failure(u"Windows could not read the text of " + name_of(box) + u".");
  }
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  buffer.resize(static_cast<std::size_t>(std::max(copied, 0)));
  text = from_wide(buffer);
  return Status::success();
}

Status MainWindow::set_caption(ControlId label, std::u16string_view caption) {
  if (Status status = check_applies(ControlOp::set_caption, label); !status) return status;
  return set_window_text(label, caption);
}

Status MainWindow::set_enabled(ControlId button, bool enabled) {
  if (Status status = check_applies(ControlOp::set_enabled, button); !status) return status;
  HWND hwnd = control(button);
  if (hwnd == nullptr) {
    return Status::failure(u"Windows could not enable or disable " + name_of(button) + u".");
  }
  // A disabled control cannot keep the focus; hand it on as Tab would.
  if (!enabled && GetFocus() == hwnd) SetFocus(GetNextDlgTabItem(hwnd_, hwnd, FALSE));
  EnableWindow(hwnd, enabled ? TRUE : FALSE);
  return Status::success();
}

Status MainWindow::set_timer(ControlId timer, bool on) {
  if (Status status = check_applies(ControlOp::set_timer, timer); !status) return status;
  if (on) {
    // Switching on a running timer leaves its ticks where they are; SetTimer
    // again would restart the interval and delay the next tick.
    if (timer_on_) return Status::success();
    if (hwnd_ == nullptr || SetTimer(hwnd_, kTimerId, kTimerIntervalMs, nullptr) == 0) {
      return Status::failure(u"Windows refused to start the countdown timer.");
    }
    timer_on_ = true;
  } else if (timer_on_) {
    KillTimer(hwnd_, kTimerId);
    timer_on_ = false;
  }
  return Status::success();
}

WindowHandle MainWindow::window_handle() {
  return reinterpret_cast<WindowHandle>(hwnd_);
}

void MainWindow::show_status(std::u16string_view text) {
  std::u16string title(kWindowCaption);
  if (!text.empty()) title = std::u16string(text) + u" - " + title;
  const std::wstring wide = to_wide(title);
  SetWindowTextW(hwnd_, wide.c_str());
}

void MainWindow::schedule_step(std::chrono::milliseconds delay) {
  if (delay.count() <= 0) {
    PostMessageW(hwnd_, kStepMessage, 0, 0);
  } else {
    SetTimer(hwnd_, kStepTimerId, static_cast<UINT>(delay.count()), nullptr);
  }
}

void MainWindow::log(std::u16string_view text) {
  // Escaped: a value quoted in the message could hold characters that a
  // console takes as commands, or that hide text.
  (void)write_output(OutputStream::err, "tavrino: " + utf16_to_utf8(escape_hidden(text)) + "\n");
}

void MainWindow::show_message(std::u16string_view text) {
  show_message_box(hwnd_, to_wide(text), to_wide(kWindowCaption));
}

}  // namespace tavrino
