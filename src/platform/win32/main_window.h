// SPDX-License-Identifier: MIT
// The main window: native controls built from form1_layout(), the control
// operations over them, messages to the user, and the message loop that
// routes clicks, ticks and Esc to Form1. Its parts are written in three
// files: main_window_layout.cpp (creation, places, fonts, DPI),
// main_window_controls.cpp (the seams Form1 works through) and
// main_window.cpp (the messages).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it builds on: HDROP.
#include <shellapi.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/controls.h"
#include "window/form1.h"
#include "window/layout.h"

namespace tavrino {

class MainWindow final : public Controls, public Messages, public Scheduler {
 public:
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, hidden, sized for the DPI of the
  // monitor it opens on. On failure nothing is left behind and the message
  // says what Windows refused.
  Status create();
  // Where clicks, ticks and Esc go; until it is set they are ignored.
  void set_form(Form1* form) { form_ = form; }
  // Shows the window with the focus in txtTime.
  void show(int show_command);
  // The paste keys anywhere in the window: offers the clipboard's text to
  // Form1::paste; true when the form took it, so the key goes no further.
  bool paste_clipboard();
  // Runs the message loop until the window is closed; returns the exit code.
  int run();

  HWND hwnd() const { return hwnd_; }
  // The control's window; null for Timer1 and CommonDialog1, which have none.
  HWND control(ControlId id) const { return controls_[static_cast<std::size_t>(id)]; }
  UINT dpi() const { return dpi_; }

  Status set_text(ControlId box, std::u16string_view text) override;
  Status get_text(ControlId box, std::u16string& text) override;
  Status set_caption(ControlId label, std::u16string_view caption) override;
  Status set_enabled(ControlId button, bool enabled) override;
  Status set_timer(ControlId timer, bool on) override;
  WindowHandle window_handle() override;

  // A modal message box; while another program is in front, a box that
  // takes no focus from it (see message_box.h).
  void show_message(std::u16string_view text) override;
  // In the title bar, in front of the caption.
  void show_status(std::u16string_view text) override;
  // On the console or redirection tavrino.exe was started with, if any;
  // started from Explorer or a shortcut it has neither, and the text goes
  // nowhere.
  void log(std::u16string_view text) override;
  // A step due now is posted to the message queue; a later one is a one-shot
  // timer.
  void schedule_step(std::chrono::milliseconds delay) override;

 private:
  static constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL
  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT_PTR kStepTimerId = 2;
  static constexpr UINT kStepMessage = WM_APP + 1;

  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  bool on_create();
  void on_command(int id, int code);
  void on_timer(UINT_PTR id);
  void on_dpi_changed(UINT dpi, const RECT& suggested);
  void on_escape();
  // WM_DROPFILES: the files go to Form1::drop; the handle is freed.
  void on_drop(HDROP drop);
  // Runs `call`, a call into the form. Under Wine, SendInput handles the
  // messages other threads send to this one while it waits, so a WM_CLOSE or
  // WM_ENDSESSION can arrive in the middle of a playback step; ending the
  // playback there would pull it from under the step. It ends right after
  // the call instead: defer_quit() says whether it must wait.
  template <typename Call>
  void with_form(Call call);
  bool defer_quit();
  LRESULT on_control_colour(UINT message, WPARAM wparam, LPARAM lparam);
  void on_activate(bool active);

  bool create_controls();
  // Sizes the window for `dpi`, with its top left corner at `where`'s, and
  // moves it into the work area of `where`'s monitor; on a monitor too short
  // for it, the list gives up the height it lacks.
  void fit(UINT dpi, const RECT& where);
  // Places every control and sets its font for `dpi`.
  void layout(UINT dpi);
  void delete_fonts();
  // Sets the list pane's tab stop for its text and font.
  void line_up_values();
  Status set_window_text(ControlId id, std::u16string_view text);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  std::array<HFONT, kControlCount> fonts_{};
  Form1* form_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  int list_cut_ = 0;  // pixels the list pane and its frame give up, from list_cut()
  bool timer_on_ = false;
  bool running_ = false;           // run() posts WM_QUIT when the window goes
  HWND focus_on_leave_ = nullptr;  // the control to give the focus back to
  bool in_form_ = false;           // a call into the form is running
  bool quit_pending_ = false;      // then: end the playback after it
  bool close_pending_ = false;     // and close the window
};

}  // namespace tavrino
