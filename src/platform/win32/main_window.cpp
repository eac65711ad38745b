// SPDX-License-Identifier: MIT
// The main window's messages: what reaches the window from the user and from
// Windows, routed to Form1.
#include "platform/win32/main_window.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/paste_and_drop.h"

namespace tavrino {
namespace {

bool is_key_message(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_DEADCHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_SYSDEADCHAR:
      return true;
    default:
      return false;
  }
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  delete_fonts();
}

void MainWindow::show(int show_command) {
  ShowWindow(hwnd_, show_command);
  UpdateWindow(hwnd_);
  SetFocus(control(ControlId::txtTime));
}

int MainWindow::run() {
  running_ = true;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    const bool ours = message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd);
    // Esc is handled here rather than left to the controls: a multi-line
    // edit such as txtTime would take it and close the window.
    if (ours && message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      on_escape();
      continue;
    }
    // Keys typed for another window that land here (the focus came back
    // while they were on their way) must not edit the countdown or press a
    // button, while typing and for a moment after it (Form1::keys_allowed);
    // Alt+F4 must not close the window.
    if (ours && form_ != nullptr && !form_->keys_allowed() && is_key_message(message.message)) {
      continue;
    }
    // Copied cells load as the list wherever the focus is; other text is
    // left to the edit control that has the focus.
    if (ours && message.message == WM_KEYDOWN &&
        is_paste_key(message.wParam, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0,
                     GetKeyState(VK_MENU) < 0) &&
        paste_clipboard()) {
      continue;
    }
    // Tab and Shift+Tab between the controls, as in a dialog box.
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  running_ = false;
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MainWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    self = static_cast<MainWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->controls_ = {};
    self->timer_on_ = false;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return on_create() ? 0 : -1;
    case WM_COMMAND:
      on_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_TIMER:
      on_timer(wparam);
      return 0;
    case WM_DROPFILES:
      on_drop(reinterpret_cast<HDROP>(wparam));
      return 0;
    case kStepMessage:
      with_form([this] { form_->playback_step(); });
      return 0;
    case WM_CLOSE:
      // Typing must not go on, nor leave a key held, once the window is gone.
      if (defer_quit()) {
        close_pending_ = true;
        return 0;
      }
      if (form_ != nullptr) form_->quit();
      break;
    case WM_ENDSESSION:
      // The user logs off or Windows shuts down: the program may be ended at
      // any moment once this returns, so no key may still be down by then.
      if (wparam != FALSE && !defer_quit() && form_ != nullptr) form_->quit();
      return 0;
    case WM_DPICHANGED:
      on_dpi_changed(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return on_control_colour(message, wparam, lparam);
    case WM_ACTIVATE:
      if (HIWORD(wparam) == 0) {  // not while minimised
        on_activate(LOWORD(wparam) != WA_INACTIVE);
        if (LOWORD(wparam) != WA_INACTIVE) return 0;
      }
      break;
    case WM_DESTROY:
      if (running_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainWindow::on_command(int id, int code) {
  if (id == IDCANCEL) {
    on_escape();
    return;
  }
  if (code != BN_CLICKED) return;
  const int index = id - kFirstControlId;
  if (index >= 0 && index < static_cast<int>(kControlCount)) {
    with_form([this, index] { form_->click(ControlId(index)); });
  }
}

void MainWindow::on_timer(UINT_PTR id) {
  if (id == kTimerId) with_form([this] { form_->Timer1_Timer(); });
  if (id == kStepTimerId) {
    KillTimer(hwnd_, kStepTimerId);
    with_form([this] { form_->playback_step(); });
  }
}

void MainWindow::on_escape() {
  // Sent from outside in the middle of a step (see with_form): again later.
  if (form_ != nullptr && in_form_ && form_->typing()) {
    PostMessageW(hwnd_, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  with_form([this] { form_->escape(); });
}

bool MainWindow::paste_clipboard() {
  const std::optional<std::u16string> text = clipboard_text(hwnd_);
  if (!text || form_ == nullptr) return false;
  bool taken = false;
  with_form([this, &text, &taken] { taken = form_->paste(*text); });
  return taken;
}

void MainWindow::on_drop(HDROP drop) {
  const std::vector<std::u16string> files = dropped_files(drop);
  DragFinish(drop);
  with_form([this, &files] { form_->drop(files); });
}

bool MainWindow::defer_quit() {
  if (form_ == nullptr || !in_form_ || !form_->typing()) return false;
  quit_pending_ = true;
  return true;
}

template <typename Call>
void MainWindow::with_form(Call call) {
  if (form_ == nullptr) return;
  if (in_form_) {
    call();
    return;
  }
  in_form_ = true;
  call();
  in_form_ = false;
  if (quit_pending_) {
    quit_pending_ = false;
    form_->quit();
  }
  if (close_pending_) {
    close_pending_ = false;
    DestroyWindow(hwnd_);
  }
}

LRESULT MainWindow::on_control_colour(UINT message, WPARAM wparam, LPARAM lparam) {
  // The list pane sits on the system menu colour. A read-only edit asks with
  // WM_CTLCOLORSTATIC, an editable one with WM_CTLCOLOREDIT.
  if (reinterpret_cast<HWND>(lparam) == control(ControlId::lbltext)) {
    HDC dc = reinterpret_cast<HDC>(wparam);
    SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
    SetBkColor(dc, GetSysColor(COLOR_MENU));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_MENU));
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void MainWindow::on_activate(bool active) {
  // A plain window does not keep track of the focused control the way a
  // dialog box does; without this, coming back to the window would leave
  // Tab with nothing to move from.
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) focus_on_leave_ = focus;
    return;
  }
  HWND focus = focus_on_leave_;
  if (focus == nullptr || !IsWindow(focus) || !IsWindowEnabled(focus)) {
    focus = control(ControlId::txtTime);
  }
  SetFocus(focus);
}

}  // namespace tavrino
