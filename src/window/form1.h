// SPDX-License-Identifier: MIT
// The main window's event handlers, written against the platform seams. A
// front-end creates its controls from form1_layout(), then a Form1 over them,
// calls Form_Load before showing the window, and routes the button clicks and
// timer ticks here. All calls come from the one user-interface thread.
//
// A control operation that fails stops the handler and is reported through
// Messages; so is a refused data file, a value that cannot be typed and a
// countdown out of range.
//
// A playback that stops part-way leaves the next START to go on with the
// first entry not typed in full; the status line says which, and the message
// names the field to click into. Loading a list, and a playback that
// reaches the end, start at entry 1 again.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls.h"
#include "playback/field_reader.h"
#include "playback/keyboard.h"
#include "playback/typekeys.h"
#include "sheet/file_reader.h"
#include "sheet/result_sheet.h"

namespace tavrino {

// The Open dialog's filter: data files first, then text files, then all.
// The dialogs add the spreadsheet line themselves (offered_filters), so that
// what Form1 asks for stays the filter a data file's Open has always had.
inline constexpr std::u16string_view kOpenFilter =
    u"Data Files (*.ipt) |*.ipt|Text Files (*.txt) |*.txt|All files (*.*) |*.*|";

class Form1 {
 public:
  // `reader` reads the data files that are opened; `playback` tells each
  // playback the clock to wait by (a test's own, in tests) and how to know
  // that a window of this program is active.
  Form1(ResultSheet& sheet, Controls& controls, OpenDialog& dialog, Messages& messages,
        WindowPlacement& placement, Keyboard& keyboard, Scheduler& scheduler,
        const FileReader& reader, Playback::Options playback = {});
  ~Form1();  // ends a playback that is still running

  // Makes the window topmost (the result is ignored) and stops the timer.
  void Form_Load();
  // Open...: asks for a file; on cancel nothing changes. Otherwise the path
  // goes into txtfile, the file is read and the sheet shown. A refused file
  // leaves the sheet, txtfile, the pane, the labels and START as they were.
  void cmdBrows_Click();
  // START: switches the timer on; the ticks do the rest.
  void cmdStart_Click();
  // A click on a push button, as a front-end reports it: cmdStart_Click or
  // cmdBrows_Click; nothing for any other control, and nothing while typing,
  // so that keys landing in this window cannot start another countdown.
  void click(ControlId button);
  // One countdown tick: shows the number one lower, or at 0 and below stops
  // the timer and starts typing the values (see typekeys.h), which goes on in
  // steps through the Scheduler. When typing ends the box shows "5" and a
  // failure, or why typing stopped, is shown; after a full run, what reading
  // the fields back found: a status line, the fields that differ as a
  // message, and that none could be checked as a message the first time.
  void Timer1_Timer();
  // The next step of a running playback; the Scheduler calls it.
  void playback_step();

  // Loads `path` as if it had been chosen in the Open dialog (a file named on
  // the command line): rows or a data file, by its name (sheet_file.h).
  // Returns false when the file was not loaded: refused by the reader, or
  // txtfile could not be written or read back. What the user should know
  // about a loaded file (a guessed header, entries left to the file before)
  // follows in a message.
  bool open_path(std::u16string_view path);
  // Ctrl+V anywhere in the window, with the clipboard's text. Cells (see
  // is_cell_paste) load as the list, as rows of a file would, and txtfile
  // says they came from the clipboard and how many rows they held; a refusal
  // leaves everything as it was. Returns true for cells, and while typing
  // (nothing is loaded then); false for a text that the box with the focus
  // takes as usual.
  bool paste(std::u16string_view clipboard);
  // Files dropped onto the window: one loads as if chosen with Open...; more
  // are refused with a message. Nothing while typing.
  void drop(const std::vector<std::u16string>& paths);
  // Esc: stops a running countdown without typing and shows "5" again, or
  // stops a running playback, which then says how far it got.
  void escape();
  // The window closes or the program must quit: ends a running playback at
  // once, releasing every key it holds; how far it got goes to the log, since
  // no message can be shown any more.
  void quit();
  bool typing() const { return playback_ != nullptr; }

  // How long after typing has ended keys that reach this program's windows
  // are still dropped: keys of the playback that landed here (the focus came
  // back while they were on their way) may still be queued.
  static constexpr std::chrono::milliseconds kKeyQuiet{500};
  // Whether a key that reaches one of this program's windows may act on it:
  // not while typing, and not for kKeyQuiet after it ended, by the
  // playback's clock. Otherwise a typed blank would press a button, digits
  // would go into the countdown box and Enter would close a message box.
  // The front-ends drop the other keys, all but Esc while typing.
  bool keys_allowed() const;

 private:
  bool report(const Status& status);  // shows a failure; returns status.ok()
  // A tick that fails stops the countdown, then shows the failure.
  void stop_after_failure(const Status& failure);
  // Runs playback steps until one asks to wait, then schedules the next.
  void run_playback();
  void finish_playback();
  // Lets the playback go and notes when, for keys_allowed().
  void end_playback();
  // Shows a newly loaded list and what the user should know about it;
  // typing starts at entry 1 again.
  void loaded(std::u16string_view note);
  void show_status(std::u16string status);
  void show_read_back(const ReadBackReport& read_back);

  ResultSheet& sheet_;
  Controls& controls_;
  OpenDialog& dialog_;
  Messages& messages_;
  WindowPlacement& placement_;
  Keyboard& keyboard_;
  Scheduler& scheduler_;
  const FileReader& reader_;
  Playback::Options playback_options_;
  bool told_not_checked_ = false;  // how to make fields readable was shown
  bool counting_ = false;          // the timer is on
  std::unique_ptr<Playback> playback_;
  std::optional<Playback::Clock::time_point> typing_ended_;  // the last playback's end
  std::size_t next_entry_ = 0;
  std::u16string status_;  // what Messages::show_status shows now
};

}  // namespace tavrino
