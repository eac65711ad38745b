// SPDX-License-Identifier: MIT
#include "window/form1.h"

#include <utility>

#include "playback/countdown.h"
#include "sheet/data_file.h"
#include "window/sheet_view.h"

namespace tavrino {

Form1::Form1(ResultSheet& sheet, Controls& controls, OpenDialog& dialog, Messages& messages,
             WindowPlacement& placement, Keyboard& keyboard, Scheduler& scheduler,
             const FileReader& reader, Playback::Now now, FieldReader* fields)
    : sheet_(sheet),
      controls_(controls),
      dialog_(dialog),
      messages_(messages),
      placement_(placement),
      keyboard_(keyboard),
      scheduler_(scheduler),
      reader_(reader),
      now_(std::move(now)),
      fields_(fields) {}

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

  if (Status loaded = readfile(shown, sheet_, reader_); !loaded) {
    // The sheet is untouched, so the box must not name a file that is not the
    // one shown. Put it back before the message appears over the window.
    Status restored = controls_.set_text(ControlId::txtfile, earlier);
    messages_.show_message(loaded.message());
    report(restored);
    return false;
  }
  report(refreshpage(sheet_, controls_));
  return true;
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
      playback_ = std::make_unique<Playback>(sheet_, keyboard_, now_, fields_);
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
  std::u16string status;
  if (!playback_->waiting_for().empty()) {
    status = u"Let go of " + held_keys_text(playback_->waiting_for()) + u" to start typing";
  } else if (delay) {
    status = u"Typing - press Esc to stop";
  }
  if (status != status_) {
    status_ = status;
    messages_.show_status(status_);
  }
  if (delay) {
    scheduler_.schedule_step(*delay);
  } else {
    finish_playback();
  }
}

void Form1::finish_playback() {
  const Status result = playback_->result();
  const std::optional<ReadBackReport> read_back = playback_->read_back();
  playback_.reset();
  // Reset the box before any message, so the message does not sit over a
  // count that has already run out.
  if (!report(controls_.set_text(ControlId::txtTime, kCountdownReset))) return;
  report(result);
  if (read_back) show_read_back(*read_back);
}

void Form1::show_read_back(const ReadBackReport& read_back) {
  status_ = read_back.status;
  messages_.show_status(status_);
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
  playback_.reset();
  if (!status_.empty()) {
    status_.clear();
    messages_.show_status(status_);
  }
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
