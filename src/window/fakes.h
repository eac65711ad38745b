// SPDX-License-Identifier: MIT
// Test doubles for the window's platform seams. Each one records what was done
// to it as readable lines, in order, into a log it shares with the others, so
// a test states a whole sequence of operations in one comparison.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/scratch_dir.h"
#include "playback/fake_keyboard.h"
#include "playback/keyboard.h"
#include "sheet/file_reader.h"
#include "sheet/result_sheet.h"
#include "window/controls.h"
#include "window/form1.h"

namespace tavrino {

using EventLog = std::vector<std::string>;

// `text` in double quotes as UTF-8, with what cannot be seen (CR, LF, tab)
// written as its code.
std::string printable(std::u16string_view text);

// Holds what every control shows, starting from the layout's initial texts,
// captions and enabled states (the timer is on, as created). Logs each
// operation as `set_text txtTime "4"`, `get_text txtfile`,
// `set_caption lblClass "CLASS : 7A"`, `set_enabled cmdStart off`,
// `set_timer Timer1 on`; a failed one ends in " FAILED" and changes nothing.
class FakeControls : public Controls {
 public:
  static constexpr WindowHandle kHandle = 0x4c0de;

  explicit FakeControls(EventLog& log);

  Status set_text(ControlId box, std::u16string_view text) override;
  Status get_text(ControlId box, std::u16string& text) override;
  Status set_caption(ControlId label, std::u16string_view caption) override;
  Status set_enabled(ControlId button, bool enabled) override;
  Status set_timer(ControlId timer, bool on) override;
  WindowHandle window_handle() override { return kHandle; }

  // The text or caption a control shows now.
  const std::u16string& shown(ControlId id) const { return text_.at(id); }
  bool enabled(ControlId id) const { return enabled_.at(id); }
  bool timer_on() const { return enabled_.at(ControlId::Timer1); }

  // What the user types into a box; not logged, since the program did not do it.
  void user_types(ControlId box, std::u16string text) { text_[box] = std::move(text); }

  // Every later `op` on `id` fails.
  void fail(ControlOp op, ControlId id) { failing_.insert({op, id}); }

 private:
  // Logs the call; fails when `op` does not apply to `id` or when told to.
  Status attempt(ControlOp op, ControlId id, std::string detail);

  EventLog& log_;
  std::map<ControlId, std::u16string> text_;
  std::map<ControlId, bool> enabled_;
  std::set<std::pair<ControlOp, ControlId>> failing_;
};

// Answers show_open from a queue; an empty queue answers as a cancel does.
class ScriptedOpenDialog : public OpenDialog {
 public:
  struct Call {
    std::u16string filter;
    std::u16string initial_name;
  };

  void answer(std::u16string path) { answers_.push_back(std::move(path)); }
  void fail_next() { fail_next_ = true; }
  const std::vector<Call>& calls() const { return calls_; }

  Status show_open(std::u16string_view filter, std::u16string& file_name) override;

 private:
  std::deque<std::u16string> answers_;
  std::vector<Call> calls_;
  bool fail_next_ = false;
};

// Keeps the messages shown and logs each as `message "..."`, and a status
// line as `status "..."`.
class RecordingMessages : public Messages {
 public:
  explicit RecordingMessages(EventLog& log) : log_(log) {}
  void show_message(std::u16string_view text) override;
  void show_status(std::u16string_view text) override;
  void log(std::u16string_view text) override;
  const std::vector<std::u16string>& shown() const { return shown_; }

 private:
  EventLog& log_;
  std::vector<std::u16string> shown_;
};

class FakePlacement : public WindowPlacement {
 public:
  struct Call {
    WindowHandle window;
    std::intptr_t insert_after;
    int x, y, cx, cy;
    std::uint32_t flags;
    bool operator==(const Call&) const = default;
  };

  std::int32_t set_window_pos(WindowHandle window, std::intptr_t insert_after, int x, int y, int cx,
                              int cy, std::uint32_t flags) override;
  const std::vector<Call>& calls() const { return calls_; }

 private:
  std::vector<Call> calls_;
};

// Keeps the steps asked for, to be run by the test.
class FakeScheduler : public Scheduler {
 public:
  void schedule_step(std::chrono::milliseconds delay) override { pending_.push_back(delay); }
  // The delay of the oldest step asked for, taken off the list; nothing when
  // none is pending.
  std::optional<std::chrono::milliseconds> take();

 private:
  std::deque<std::chrono::milliseconds> pending_;
};

// A keyboard on `clock` that logs each batch of keys it is given as
// `keys 4 5 [TAB]`, so the keys take their place among the control operations.
FakeKeyboard logging_keyboard(TestClock& clock, EventLog& log);

// The twelve-item file of a typical run: three entries, class, subject, exam
// and note, one item a line.
inline constexpr std::string_view kTypicalFile =
    "3\nany\nAnn_%_Bob_%_Cy\n45_%_52_%_38\nany\nany\n7A\nany\nMathematics\nany\nMid-term\nTerm 2\n";

// The window's logic over fresh fakes that share one log, with the typical
// file ready to open.
struct FakeWindow {
  // One timer tick, and when it starts typing, every step of the playback,
  // with the clock moved on by each step's delay.
  void tick() {
    form.Timer1_Timer();
    finish_typing();
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) tick();
  }
  void finish_typing() {
    while (const auto delay = scheduler.take()) {
      clock.advance(*delay);
      form.playback_step();
    }
  }
  // Opens `path` through the Open dialog.
  void open(std::u16string path) {
    dialog.answer(std::move(path));
    form.cmdBrows_Click();
  }
  // Start-up, then the typical file; false when it was not loaded.
  bool load_typical() {
    form.Form_Load();
    return form.open_path(typical.path());
  }
  // START with the box at 0, so that the next tick starts typing.
  void start_now() {
    controls.user_types(ControlId::txtTime, u"0");
    form.cmdStart_Click();
  }
  // The one message shown, or a note that there was not exactly one.
  std::u16string only_message() const {
    return messages.shown().size() == 1 ? messages.shown()[0] : u"(not one message)";
  }
  std::u16string shown(ControlId id) const { return controls.shown(id); }
  std::u16string typed() const { return keyboard.typed(); }

  EventLog log;
  ResultSheet sheet;
  FakeControls controls{log};
  ScriptedOpenDialog dialog;
  RecordingMessages messages{log};
  FakePlacement placement;
  TestClock clock;
  FakeKeyboard keyboard = logging_keyboard(clock, log);
  FakeScheduler scheduler;
  StandardFileReader reader;
  Form1 form{sheet,     controls,  dialog,
             messages,  placement, keyboard,
             scheduler, reader,    {.now = clock.function(), .own_window_active = {}}};
  ScratchFile typical{kTypicalFile};
};

}  // namespace tavrino
