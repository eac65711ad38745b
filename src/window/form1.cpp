// SPDX-License-Identifier: MIT
#include "window/form1.h"

#include <algorithm>
#include <utility>

#include "base/text.h"
#include "playback/countdown.h"
#include "sheet/row_reader.h"
#include "sheet/sheet_file.h"
#include "window/entries.h"
#include "window/sheet_view.h"

namespace tavrino {
namespace {

// What txtfile shows for pasted cells: where they came from and how many
// rows they held, so that the user can check the count.
std::u16string pasted_text(const RowsRead& read) {
  std::u16string text = u"Clipboard: " + to_text(read.rows) + (read.rows == 1 ? u" row" : u" rows");
  if (read.header) {
    const std::int32_t entries = read.rows - 1;
    text += u" (a header and " + to_text(entries) + (entries == 1 ? u" entry)" : u" entries)");
  }
  return text;
}

}  // namespace

Form1::Form1(ResultSheet& sheet, Controls& controls, OpenDialog& dialog, Messages& messages,
             WindowPlacement& placement, Keyboard& keyboard, Scheduler& scheduler,
             const FileReader& reader, Playback::Options playback)
    : sheet_(sheet),
      controls_(controls),
      dialog_(dialog),
      messages_(messages),
      placement_(placement),
      keyboard_(keyboard),
      scheduler_(scheduler),
      reader_(reader),
      playback_options_(std::move(playback)) {}

Form1::~Form1() {
  quit();
}

bool Form1::report(const Status& status) {
  if (!status) messages_.show_message(status.message());
  return status.ok();
}

void Form1::Form_Load() {
  // A window that cannot be made topmost still works; the user only has to
  // bring it forward by hand, so there is nothing to report.
  (void)settopmost(placement_, controls_.window_handle());
  // The timer is created running; from here on only START starts it.
  if (report(controls_.set_timer(ControlId::Timer1, false))) counting_ = false;
}

void Form1::cmdBrows_Click() {
  // Start from an empty name on every press, so that a cancel is told apart
  // from the previous choice.
  std::u16string file_name;
  if (!report(dialog_.show_open(kOpenFilter, file_name))) return;
  if (file_name.empty()) return;  // cancelled: nothing changes
  (void)open_path(file_name);
}

bool Form1::open_path(std::u16string_view path) {
  std::u16string earlier;
  if (!report(controls_.get_text(ControlId::txtfile, earlier))) return false;
  if (!report(controls_.set_text(ControlId::txtfile, path))) return false;
  // Read the path back from the box: that is the text the user sees, and the
  // file read must be the one named there.
  std::u16string shown;
  if (!report(controls_.get_text(ControlId::txtfile, shown))) return false;

  Loaded file;
  if (Status status = load_file(shown, sheet_, reader_, file); !status) {
    // The sheet is untouched, so the box must not name a file that is not the
    // one shown. Put it back before the message appears over the window.
    Status restored = controls_.set_text(ControlId::txtfile, earlier);
    messages_.show_message(status.message());
    report(restored);
    return false;
  }
  loaded(file.note);
  return true;
}

bool Form1::paste(std::u16string_view clipboard) {
  if (typing()) return true;
  if (!is_cell_paste(clipboard)) return false;
  // Read aside first: a refusal, or a box that cannot say where the list
  // came from, leaves the list as it was.
  ResultSheet pasted;
  RowsRead read;
  if (!report(read_row_text(clipboard, pasted_rows(), pasted, read))) return true;
  if (!report(controls_.set_text(ControlId::txtfile, pasted_text(read)))) return true;
  sheet_ = std::move(pasted);
  loaded(read.note);
  return true;
}

void Form1::drop(const std::vector<std::u16string>& paths) {
  if (typing() || paths.empty()) return;
  if (paths.size() > 1) {
    messages_.show_message(to_text(static_cast<std::int64_t>(paths.size())) +
                           u" files were dropped; drop one file at a time, the one whose marks "
                           u"are to be typed.");
    return;
  }
  (void)open_path(paths.front());
}

void Form1::loaded(std::u16string_view note) {
  next_entry_ = 0;
  show_status(u"");
  if (!report(refreshpage(sheet_, controls_))) return;
  if (!note.empty()) messages_.show_message(note);
}

void Form1::show_status(std::u16string status) {
  if (status == status_) return;
  status_ = std::move(status);
  messages_.show_status(status_);
}

void Form1::cmdStart_Click() {
  // Pressing START while counting only switches the timer on again; the box
  // is the countdown's state and is left alone.
  if (report(controls_.set_timer(ControlId::Timer1, true))) counting_ = true;
}

void Form1::click(ControlId button) {
  if (typing()) return;
  if (button == ControlId::cmdStart) cmdStart_Click();
  if (button == ControlId::cmdBrows) cmdBrows_Click();
}

void Form1::Timer1_Timer() {
  std::u16string box;
  if (Status read = controls_.get_text(ControlId::txtTime, box); !read) {
    stop_after_failure(read);
    return;
  }
  const CountdownStep step = countdown_step(box);
  switch (step.action) {
    case CountdownStep::Action::show:
      if (Status shown = controls_.set_text(ControlId::txtTime, step.text); !shown) {
        stop_after_failure(shown);
      }
      return;

    case CountdownStep::Action::play:
      // The timer goes off before the first key, so no later tick can start a
      // second playback while this one is being handed over.
      if (!report(controls_.set_timer(ControlId::Timer1, false))) return;
      counting_ = false;
      if (typing()) return;
      // A spreadsheet's mark that cannot be typed is named by its row too,
      // which the playback does not know.
      if (Status typable = check_rows_typable(sheet_, next_entry_); !typable) {
        if (report(controls_.set_text(ControlId::txtTime, kCountdownReset))) report(typable);
        return;
      }
      {
        Playback::Options options = playback_options_;
        options.first_entry = next_entry_;
        playback_ = std::make_unique<Playback>(sheet_, keyboard_, std::move(options));
      }
      run_playback();
      return;

    case CountdownStep::Action::out_of_range:
      if (!report(controls_.set_timer(ControlId::Timer1, false))) return;
      counting_ = false;
      messages_.show_message(countdown_range_message());
      return;
  }
}

void Form1::playback_step() {
  if (typing()) run_playback();
}

void Form1::run_playback() {
  const std::optional<std::chrono::milliseconds> delay = playback_->step();
  show_status(playback_->status());
  if (delay) {
    scheduler_.schedule_step(*delay);
  } else {
    finish_playback();
  }
}

void Form1::finish_playback() {
  const Status result = playback_->result();
  const std::size_t typed = playback_->entries_typed();
  const std::optional<ReadBackReport> read_back = playback_->read_back();
  end_playback();
  // Stopped part-way, the next START goes on with the first entry not typed
  // in full, so that nothing is typed twice; the user clicks into its field.
  const auto count = static_cast<std::size_t>(std::max<int>(sheet_.itemcount, 0));
  next_entry_ = !result.ok() && typed < count ? typed : 0;
  if (next_entry_ > 0) show_status(go_on_status(sheet_, next_entry_));
  // Reset the box before any message, so the message does not sit over a
  // count that has already run out.
  if (!report(controls_.set_text(ControlId::txtTime, kCountdownReset))) return;
  if (!result.ok()) {
    std::u16string message = result.message();
    if (next_entry_ > 0) message += u" " + go_on_sentence(sheet_, next_entry_);
    messages_.show_message(message);
  }
  if (read_back) show_read_back(*read_back);
}

void Form1::end_playback() {
  playback_.reset();
  typing_ended_ = playback_options_.now();
}

bool Form1::keys_allowed() const {
  return !typing() && (!typing_ended_ || playback_options_.now() - *typing_ended_ >= kKeyQuiet);
}

void Form1::show_read_back(const ReadBackReport& read_back) {
  show_status(read_back.status);
  if (!read_back.differences.empty()) {
    messages_.show_message(read_back.differences);
  } else if (!read_back.not_checked.empty() && !told_not_checked_) {
    // Once: a user without accessibility would otherwise get the same
    // advice after every class. The status line still says it each time.
    told_not_checked_ = true;
    messages_.show_message(read_back.not_checked);
  }
}

void Form1::escape() {
  if (typing()) {
    playback_->stop(StopReason::escape);
    run_playback();
    return;
  }
  if (!counting_) return;
  if (!report(controls_.set_timer(ControlId::Timer1, false))) return;
  counting_ = false;
  report(controls_.set_text(ControlId::txtTime, kCountdownReset));
}

void Form1::quit() {
  if (!typing()) return;
  playback_->stop(StopReason::quit);
  const Status result = playback_->result();
  end_playback();
  show_status(u"");
  if (!result) messages_.log(result.message());
}

void Form1::stop_after_failure(const Status& failure) {
  // A countdown whose box cannot be read or written would go on ticking
  // behind its message, and a modal message lets further ticks through, each
  // with a message of its own. Stopping first shows the failure once; the user
  // presses START again when the box works.
  if (controls_.set_timer(ControlId::Timer1, false)) counting_ = false;
  report(failure);
}

}  // namespace tavrino
