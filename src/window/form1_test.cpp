// SPDX-License-Identifier: MIT
#include "window/form1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "base/text.h"
#include "playback/fake_field_reader.h"
#include "playback/fake_keyboard.h"
#include "playback/keyboard.h"
#include "window/fakes.h"
#include "window/sheet_view.h"

namespace tavrino {
namespace {

// The window over fakes, with the typical file ready to open.
struct Window : FakeWindow {
  // Opens `file` through the Open dialog.
  void open(const ScratchFile& file) {
    dialog.answer(file.path());
    form.cmdBrows_Click();
  }

  ScratchFile typical{kTypicalFile};
};

class Form1Test : public ::testing::Test, public Window {};

TEST_F(Form1Test, TypicalRun) {
  form.Form_Load();
  EXPECT_EQ(
      placement.calls(),
      (std::vector<FakePlacement::Call>{{FakeControls::kHandle, kHwndTopmost, 0, 0, 0, 0, 3}}));
  EXPECT_FALSE(controls.timer_on());

  open(typical);
  EXPECT_EQ(shown(ControlId::txtfile), typical.path());
  EXPECT_EQ(shown(ControlId::lbltext), u"1. Ann\t\t45\r\n2. Bob\t\t52\r\n3. Cy\t\t38\r\n");
  EXPECT_EQ(shown(ControlId::lblClass), u"CLASS : 7A");
  EXPECT_EQ(shown(ControlId::lblSub), u"Mathematics");
  EXPECT_EQ(shown(ControlId::lblexam), u"Mid-term (Term 2)");
  EXPECT_TRUE(controls.enabled(ControlId::cmdStart));

  form.cmdStart_Click();
  EXPECT_TRUE(controls.timer_on());
  for (std::u16string_view count : {u"4", u"3", u"2", u"1", u"0"}) {
    tick();
    EXPECT_EQ(shown(ControlId::txtTime), count);
    EXPECT_EQ(typed(), u"");
  }

  log.clear();
  tick();
  EXPECT_EQ(typed(), u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB]");
  // The timer is off before the first key, and the box is reset after the
  // last, with a status line while the keys go out.
  EXPECT_EQ(log, (EventLog{"get_text txtTime", "set_timer Timer1 off",
                           R"(status "Typing - press Esc to stop")", "keys 4 5", "keys [TAB]",
                           "keys 5 2", "keys [TAB]", "keys 3 8", "keys [TAB]", R"(status "")",
                           R"(set_text txtTime "5")"}));
  EXPECT_FALSE(controls.timer_on());
  EXPECT_FALSE(form.counting());
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(Form1Test, OpenCancelAndDialogFailureChangeNothing) {
  form.Form_Load();
  open(typical);
  const ResultSheet before = sheet;
  log.clear();

  form.cmdBrows_Click();  // no answer queued: the user cancels
  dialog.fail_next();
  form.cmdBrows_Click();

  EXPECT_TRUE(sheet == before);
  ASSERT_EQ(dialog.calls().size(), 3u);
  // Name and filter are set afresh on every press, not left from the last one.
  EXPECT_EQ(dialog.calls()[1].initial_name, u"");
  EXPECT_EQ(dialog.calls()[1].filter, kOpenFilter);
  EXPECT_EQ(log.size(), 1u);  // the dialog's failure, and no control touched
  EXPECT_EQ(messages.shown().size(), 1u);
}

TEST_F(Form1Test, RefusedFileChangesNothingAndIsShown) {
  form.Form_Load();
  open(typical);
  const ResultSheet before = sheet;
  ScratchFile empty("");
  log.clear();

  open(empty);

  EXPECT_TRUE(sheet == before);
  EXPECT_EQ(shown(ControlId::txtfile), typical.path());
  EXPECT_EQ(shown(ControlId::lbltext), u"1. Ann\t\t45\r\n2. Bob\t\t52\r\n3. Cy\t\t38\r\n");
  EXPECT_TRUE(controls.enabled(ControlId::cmdStart));
  ASSERT_EQ(messages.shown().size(), 1u);
  // The box is put back before the message appears over it.
  EXPECT_EQ(log[log.size() - 2], "set_text txtfile " + printable(typical.path()));
  EXPECT_TRUE(log.back().starts_with("message "));
  EXPECT_FALSE(form.open_path(empty.path()));
  EXPECT_TRUE(form.open_path(typical.path()));
}

TEST_F(Form1Test, FileWithoutNoteAfterStartUp) {
  form.Form_Load();
  ScratchFile no_note("3\nany\nAnn_%_Bob\n45_%_52\n");
  open(no_note);
  EXPECT_EQ(shown(ControlId::lbltext), kNoData);
  EXPECT_FALSE(controls.enabled(ControlId::cmdStart));
  EXPECT_EQ(shown(ControlId::lblClass), u"");
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(Form1Test, OpenDuringCountdownLeavesTheTimer) {
  form.Form_Load();
  open(typical);
  form.cmdStart_Click();
  ticks(2);
  ScratchFile newer("1,any,Zed,9,,,,,,,,\"\"\n");  // empty exam note: no data
  log.clear();
  open(newer);
  for (const std::string& line : log) EXPECT_FALSE(line.starts_with("set_timer")) << line;
  EXPECT_FALSE(controls.enabled(ControlId::cmdStart));
  EXPECT_TRUE(form.counting());
  ticks(4);
  EXPECT_EQ(typed(), u"9 [TAB]");  // the sheet as it now stands
}

TEST_F(Form1Test, StartBeforeAnyLoadTypesNothing) {
  form.Form_Load();
  form.cmdStart_Click();
  ticks(6);
  EXPECT_EQ(typed(), u"");
  EXPECT_EQ(shown(ControlId::txtTime), u"5");
  EXPECT_FALSE(controls.timer_on());
  EXPECT_TRUE(messages.shown().empty());
}

TEST(Form1, FirstTickByWhatTheBoxHolds) {
  const struct {
    std::u16string box;
    std::u16string after;  // the box after the tick
    bool types;            // and stops counting; else counts on
  } cases[] = {
      {u"5\r\n", u"4", false}, {u"2.5", u"1", false}, {u"0", u"5", true}, {u"abc", u"5", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(utf16_to_utf8(c.box));
    Window w;
    w.form.Form_Load();
    ASSERT_TRUE(w.form.open_path(w.typical.path()));
    w.form.cmdStart_Click();
    w.controls.user_types(ControlId::txtTime, c.box);
    w.tick();
    EXPECT_EQ(w.shown(ControlId::txtTime), c.after);
    EXPECT_EQ(w.typed().empty(), !c.types);
    EXPECT_EQ(w.form.counting(), !c.types);
    EXPECT_EQ(w.controls.timer_on(), !c.types);
    EXPECT_TRUE(w.messages.shown().empty());
  }
}

TEST_F(Form1Test, EscCancelsOnlyARunningCountdown) {
  form.Form_Load();
  open(typical);
  log.clear();
  form.escape();
  EXPECT_TRUE(log.empty());

  form.cmdStart_Click();
  ticks(2);
  form.cmdStart_Click();  // START again while counting leaves the box alone
  EXPECT_EQ(shown(ControlId::txtTime), u"3");
  form.escape();
  EXPECT_FALSE(form.counting());
  EXPECT_FALSE(controls.timer_on());
  EXPECT_EQ(shown(ControlId::txtTime), u"5");
  EXPECT_EQ(typed(), u"");
}

// What the window does around a playback that cannot start or must stop:
// the box shows 5 again, one message says why, nothing is left held, and no
// countdown starts again by itself.
TEST(Form1, TypingOnlyIntoTheFormTheUserChose) {
  using Action = std::function<void(Window&)>;
  const auto own_focus_after = [](std::size_t delivered) -> Action {
    return [delivered](Window& w) { w.recorded.focus_after(delivered, {Focus::Kind::own, 0}); };
  };
  const Action press_buttons = [](Window& w) {
    w.form.click(ControlId::cmdStart);
    w.form.click(ControlId::cmdBrows);
  };
  const Action esc = [](Window& w) { w.form.escape(); };
  const Action quit = [](Window& w) { w.form.quit(); };
  const struct {
    const char* what;
    Action before;  // before the tick that ends the countdown
    Action during;  // after that tick's first step, before the others
    std::u16string typed;
    std::string message;  // a part of the one message; empty: none
  } cases[] = {
      {"START without clicking into the form", own_focus_after(0), nullptr, u"",
       "tavrino's own window had the keyboard focus"},
      {"keys that land in tavrino cannot press START", own_focus_after(3), press_buttons,
       u"4 5 [TAB]", "Typing stopped after 1 of 3 entries: the keyboard focus moved away"},
      {"Esc while typing", nullptr, esc, u"",
       "Typing stopped after 0 of 3 entries: Esc was pressed."},
      {"the window closes while typing", nullptr, quit, u"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window w;
    w.form.Form_Load();
    ASSERT_TRUE(w.form.open_path(w.typical.path()));
    w.controls.user_types(ControlId::txtTime, u"0");
    w.form.cmdStart_Click();
    if (c.before) c.before(w);
    w.form.Timer1_Timer();
    if (c.during) c.during(w);
    w.finish_typing();

    EXPECT_FALSE(w.form.typing());
    EXPECT_EQ(w.typed(), c.typed);
    EXPECT_TRUE(w.recorded.held().empty());
    EXPECT_FALSE(w.recorded.open());
    EXPECT_FALSE(w.controls.timer_on());
    EXPECT_TRUE(w.dialog.calls().empty());
    if (c.message.empty()) {
      EXPECT_TRUE(w.messages.shown().empty());
    } else {
      ASSERT_EQ(w.messages.shown().size(), 1u);
      EXPECT_NE(utf16_to_utf8(w.messages.shown()[0]).find(c.message), std::string::npos)
          << utf16_to_utf8(w.messages.shown()[0]);
      EXPECT_EQ(w.shown(ControlId::txtTime), u"5");
    }
  }
}

TEST_F(Form1Test, ShowsThatTypingWaitsForHeldKeys) {
  ASSERT_TRUE(form.open_path(typical.path()));
  recorded.hold({{HeldKey::shift}, {HeldKey::shift}});
  controls.user_types(ControlId::txtTime, u"0");
  form.cmdStart_Click();
  log.clear();
  tick();
  EXPECT_EQ(typed(), u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB]");
  EXPECT_EQ(log[2], R"(status "Let go of Shift to start typing")");
  EXPECT_EQ(log[3], R"(status "Typing - press Esc to stop")");
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(Form1Test, PlaybackFailureShownAfterTheReset) {
  const struct {
    std::string_view file;
    std::size_t fail_at;  // keyboard refuses this event; 0: no refusal
  } cases[] = {
      {"2\nany\nA_%_B\n45_%_B+\nany\nany\n7A\nany\nM\nany\nE\nN\n", 0},
      {kTypicalFile, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ScratchFile file(c.file);
    ASSERT_TRUE(form.open_path(file.path()));
    if (c.fail_at) recorded.fail_at(c.fail_at, u"The display went away.");
    controls.user_types(ControlId::txtTime, u"0");
    form.cmdStart_Click();
    log.clear();
    tick();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], R"(set_text txtTime "5")");
    EXPECT_TRUE(log.back().starts_with("message "));
  }
  EXPECT_EQ(messages.shown().size(), 2u);
  EXPECT_EQ(typed(), u"4 5 [TAB] 5");  // the malformed file typed nothing
}

// After each full run the status line says what reading the fields back
// found; a field that differs is a message every time, that nothing could be
// checked only the first time.
TEST(Form1, ReadBackAfterTyping) {
  using K = FakeForm::Kind;
  const struct {
    const char* what;
    std::vector<FakeForm::Field> fields;
    bool available;
    // For two runs one after the other: the status line after each, and how
    // many messages each added.
    std::u16string_view status;
    std::vector<std::size_t> messages;
    std::u16string_view message;  // a part of the first message
  } cases[] = {
      {"all hold", {{}, {}, {}}, true, u"All 3 fields hold", {0, 0}, u""},
      {"one cut short",
       {{}, {K::max_length, 1}, {}},
       true,
       u"1 of 3 fields differs",
       {1, 1},
       u"Entry 2 (Bob)"},
      {"reader off", {{}, {}, {}}, false, u"not checked", {1, 0}, u"Turn the fake form on."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window w;
    FakeForm fields(w.recorded, c.fields);
    fields.set_available(c.available);
    Form1 form(
        w.sheet, w.controls, w.dialog, w.messages, w.placement, w.keyboard, w.scheduler, w.reader,
        [&w] { return w.clock; }, &fields);
    ASSERT_TRUE(form.open_path(w.typical.path()));
    std::size_t shown = 0;
    for (const std::size_t added : c.messages) {
      w.controls.user_types(ControlId::txtTime, u"0");
      form.cmdStart_Click();
      form.Timer1_Timer();
      while (const auto delay = w.scheduler.take()) {
        w.clock += *delay;
        form.playback_step();
      }
      EXPECT_FALSE(form.typing());
      const auto status = std::find_if(w.log.rbegin(), w.log.rend(), [](const std::string& line) {
        return line.starts_with("status ");
      });
      ASSERT_NE(status, w.log.rend());
      EXPECT_NE(status->find(utf16_to_utf8(c.status)), std::string::npos) << *status;
      shown += added;
      ASSERT_EQ(w.messages.shown().size(), shown);
      // Fields of the next run start empty again.
      w.recorded = RecordingKeyboard();
    }
    if (!c.message.empty()) {
      EXPECT_NE(utf16_to_utf8(w.messages.shown()[0]).find(utf16_to_utf8(c.message)),
                std::string::npos)
          << utf16_to_utf8(w.messages.shown()[0]);
    }
  }
}

TEST(Form1, FailingControlOperationStopsTheHandler) {
  using enum ControlOp;
  using enum ControlId;
  using Action = std::function<void(Window&)>;
  const Action nothing = [](Window&) {};
  const Action load = [](Window& t) { t.form.Form_Load(); };
  const Action open = [](Window& t) { t.open(t.typical); };
  const Action start = [](Window& t) {
    t.form.Form_Load();
    t.form.open_path(t.typical.path());
    t.form.cmdStart_Click();
  };
  const Action start_at_zero = [&](Window& t) {
    start(t);
    t.controls.user_types(txtTime, u"0");
  };
  const Action tick = [](Window& t) { t.tick(); };
  const Action esc = [](Window& t) { t.form.escape(); };
  const Action press_start = [](Window& t) { t.form.cmdStart_Click(); };
  const EventLog timer_off = {"set_timer Timer1 off"};

  const struct {
    const char* what;
    Action arrange;
    ControlOp op;
    ControlId id;
    Action act;
    EventLog after_failure;  // operations between the failure and the message
    bool timer_on;
    bool types;
  } cases[] = {
      {"load: timer", nothing, set_timer, Timer1, load, {}, true, false},
      {"open: read path", load, get_text, txtfile, open, {}, false, false},
      {"open: set path", load, set_text, txtfile, open, {}, false, false},
      {"open: pane", load, set_text, lbltext, open, {}, false, false},
      {"open: label", load, set_caption, lblSub, open, {}, false, false},
      {"open: START", load, set_enabled, cmdStart, open, {}, false, false},
      {"start: timer", load, set_timer, Timer1, press_start, {}, false, false},
      {"tick: read box", start, get_text, txtTime, tick, timer_off, false, false},
      {"tick: show count", start, set_text, txtTime, tick, timer_off, false, false},
      {"tick: stop timer", start_at_zero, set_timer, Timer1, tick, {}, true, false},
      {"tick: reset box", start_at_zero, set_text, txtTime, tick, {}, false, true},
      {"esc: stop timer", start, set_timer, Timer1, esc, {}, true, false},
      {"esc: reset box", start, set_text, txtTime, esc, {}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window t;
    c.arrange(t);
    t.controls.fail(c.op, c.id);
    t.log.clear();
    c.act(t);
    ASSERT_EQ(t.messages.shown().size(), 1u);
    ASSERT_GE(t.log.size(), c.after_failure.size() + 2);
    EXPECT_TRUE(t.log.back().starts_with("message "));
    const auto failed = t.log.end() - 2 - static_cast<std::ptrdiff_t>(c.after_failure.size());
    EXPECT_TRUE(failed->ends_with(" FAILED")) << *failed;
    EXPECT_EQ(EventLog(failed + 1, t.log.end() - 1), c.after_failure);
    EXPECT_EQ(t.controls.timer_on(), c.timer_on);
    EXPECT_EQ(!t.typed().empty(), c.types);
  }
}

}  // namespace
}  // namespace tavrino
