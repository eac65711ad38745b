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

namespace tavrino {
namespace {

using Window = FakeWindow;

class Form1Test : public ::testing::Test, public Window {};

bool contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

TEST_F(Form1Test, TypicalRun) {
  form.Form_Load();
  EXPECT_EQ(
      placement.calls(),
      (std::vector<FakePlacement::Call>{{FakeControls::kHandle, kHwndTopmost, 0, 0, 0, 0, 3}}));
  EXPECT_FALSE(controls.timer_on());

  open(typical.path());
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
  }
  EXPECT_EQ(typed(), u"");

  log.clear();
  tick();
  EXPECT_EQ(typed(), u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB]");
  // The timer goes off, so that no later tick starts a second playback, and
  // the status line shows, before the first key.
  const auto first_key = std::find_if(
      log.begin(), log.end(), [](const std::string& line) { return line.starts_with("keys "); });
  EXPECT_LT(std::find(log.begin(), log.end(), "set_timer Timer1 off"), first_key);
  EXPECT_LT(std::find(log.begin(), log.end(), R"(status "Typing - press Esc to stop")"), first_key);
  EXPECT_NE(std::find(first_key, log.end(), R"(status "")"), log.end());
  EXPECT_EQ(shown(ControlId::txtTime), u"5");
  EXPECT_FALSE(controls.timer_on());
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(Form1Test, OpenCancelAndDialogFailureChangeNothing) {
  form.Form_Load();
  open(typical.path());
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

TEST_F(Form1Test, OpenDuringCountdownLeavesTheTimer) {
  ASSERT_TRUE(load_typical());
  form.cmdStart_Click();
  ticks(2);
  ScratchFile newer("1,any,Zed,9,,,,,,,,\"\"\n");  // empty exam note: no data
  log.clear();
  open(newer.path());
  for (const std::string& line : log) EXPECT_FALSE(line.starts_with("set_timer")) << line;
  EXPECT_FALSE(controls.enabled(ControlId::cmdStart));
  EXPECT_TRUE(controls.timer_on());
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

TEST_F(Form1Test, EscCancelsOnlyARunningCountdown) {
  ASSERT_TRUE(load_typical());
  log.clear();
  form.escape();
  EXPECT_TRUE(log.empty());

  form.cmdStart_Click();
  ticks(2);
  form.cmdStart_Click();  // START again while counting leaves the box alone
  EXPECT_EQ(shown(ControlId::txtTime), u"3");
  form.escape();
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
    return [delivered](Window& w) { w.keyboard.focus_after(delivered, {Focus::Kind::own, 0}); };
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
    std::u16string message;  // a part of the one message; empty: none
  } cases[] = {
      {"START without clicking into the form", own_focus_after(0), nullptr, u"",
       u"tavrino's own window had the keyboard focus"},
      {"keys that land in tavrino cannot press START", own_focus_after(3), press_buttons,
       u"4 5 [TAB]", u"Typing stopped after 1 of 3 entries: the keyboard focus moved away"},
      {"Esc while typing", nullptr, esc, u"",
       u"Typing stopped after 0 of 3 entries: Esc was pressed."},
      {"the window closes while typing", nullptr, quit, u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window w;
    ASSERT_TRUE(w.load_typical());
    w.start_now();
    if (c.before) c.before(w);
    w.form.Timer1_Timer();
    if (c.during) c.during(w);
    w.finish_typing();

    EXPECT_FALSE(w.form.typing());
    EXPECT_EQ(w.typed(), c.typed);
    EXPECT_TRUE(w.keyboard.held().empty());
    EXPECT_FALSE(w.keyboard.open());
    EXPECT_FALSE(w.controls.timer_on());
    EXPECT_TRUE(w.dialog.calls().empty());
    if (c.message.empty()) {
      EXPECT_TRUE(w.messages.shown().empty());
    } else {
      EXPECT_TRUE(contains(w.only_message(), c.message)) << utf16_to_utf8(w.only_message());
      EXPECT_EQ(w.shown(ControlId::txtTime), u"5");
    }
  }
}

// Keys that reach the window while it types, and for a moment after, do
// nothing: they may be the playback's own, queued for a window the focus
// left. The moment runs from the end of typing, however it ended.
TEST(Form1, KeysActOnTheWindowAgainAMomentAfterTyping) {
  using std::chrono::milliseconds;
  // The playback's next step, on time.
  const auto step = [](Window& w) {
    const auto delay = w.scheduler.take();
    ASSERT_TRUE(delay);
    w.clock.advance(*delay);
    w.form.playback_step();
  };
  for (const bool quit : {false, true}) {
    SCOPED_TRACE(quit ? "the window closes" : "typed in full");
    Window w;
    ASSERT_TRUE(w.load_typical());
    EXPECT_TRUE(w.form.keys_allowed()) << "before any typing";
    // Typing waits 300 ms for a held Shift, so that its start and its end
    // are not the same moment.
    w.keyboard.hold(0, {HeldKey::shift}, milliseconds(300));
    w.start_now();
    w.form.Timer1_Timer();
    for (int i = 0; i < 8 && w.form.typing(); ++i) {
      EXPECT_FALSE(w.form.keys_allowed()) << "while typing";
      step(w);
    }
    ASSERT_TRUE(w.form.typing());
    if (quit) w.form.quit();
    while (w.form.typing() && !testing::Test::HasFatalFailure()) step(w);
    EXPECT_FALSE(w.form.keys_allowed()) << "as typing ends";
    w.clock.advance(Form1::kKeyQuiet - milliseconds(1));
    EXPECT_FALSE(w.form.keys_allowed()) << "just before the moment is over";
    w.clock.advance(milliseconds(1));
    EXPECT_TRUE(w.form.keys_allowed()) << "once it is over";
  }
}

TEST_F(Form1Test, ShowsThatTypingWaitsForHeldKeys) {
  ASSERT_TRUE(load_typical());
  keyboard.hold(0, {HeldKey::shift}, std::chrono::milliseconds(50));
  start_now();
  log.clear();
  tick();
  EXPECT_EQ(typed(), u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB]");
  const auto waiting =
      std::find(log.begin(), log.end(), R"(status "Let go of Shift to start typing")");
  EXPECT_LT(waiting, std::find(log.begin(), log.end(), R"(status "Typing - press Esc to stop")"));
  EXPECT_TRUE(messages.shown().empty());
}

TEST_F(Form1Test, RowsFromASpreadsheetAreTypedAsWritten) {
  form.Form_Load();
  ScratchFile rows("Name;Mark\r\nAnn;A+\r\nBob;7,5\r\nCy;\r\n", "7A.csv");
  open(rows.path());
  EXPECT_EQ(shown(ControlId::lbltext), u"1. Ann\t\tA+\r\n2. Bob\t\t7,5\r\n3. Cy\t\t\r\n");
  EXPECT_EQ(shown(ControlId::lblexam), u"7A.csv (3 entries)");
  start_now();
  tick();
  EXPECT_EQ(typed(), u"A + [TAB] 7 , 5 [TAB] [TAB]");
  EXPECT_TRUE(messages.shown().empty());

  // A mark no key types is refused before the first key, naming its row.
  ScratchFile bad("Ann,4\nBob,\"5\x01\"\n", "bad.csv");
  open(bad.path());
  start_now();
  tick();
  EXPECT_EQ(typed(), u"A + [TAB] 7 , 5 [TAB] [TAB]");
  EXPECT_TRUE(only_message().starts_with(u"Entry 2 (row 2, \"5\x01\") cannot be typed"));
  EXPECT_EQ(shown(ControlId::txtTime), u"5");
}

TEST(Form1, PasteLoadsCellsOrLeavesTheTextToTheBox) {
  const struct {
    const char* what;
    std::u16string clipboard;
    bool taken;
    std::u16string txtfile;  // empty: as it was
    std::u16string list;     // empty: as it was
    bool message;
  } cases[] = {
      {"cells with a header", u"Name\tMark\nAnn\t45\nBob\t\n", true,
       u"Clipboard: 3 rows (a header and 2 entries)", u"1. Ann\t\t45\r\n2. Bob\t\t\r\n", false},
      {"a column", u"7,5\r\n8\r\n", true, u"Clipboard: 2 rows", u"1. \t\t7,5\r\n2. \t\t8\r\n",
       false},
      {"a guessed header is said", u"Wynik ko\u0144cowy\n4\n", true,
       u"Clipboard: 2 rows (a header and 1 entry)", u"1. \t\t4\r\n", true},
      {"one cell", u"12\n", false, u"", u"", false},
      {"refused cells", u"Ann\t\"45\nBob\t52", true, u"", u"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window w;
    ASSERT_TRUE(w.load_typical());
    const std::u16string file_before = w.shown(ControlId::txtfile);
    const std::u16string list_before = w.shown(ControlId::lbltext);
    EXPECT_EQ(w.form.paste(c.clipboard), c.taken);
    EXPECT_EQ(w.shown(ControlId::txtfile), c.txtfile.empty() ? file_before : c.txtfile);
    EXPECT_EQ(w.shown(ControlId::lbltext), c.list.empty() ? list_before : c.list);
    EXPECT_EQ(w.messages.shown().size(), c.message ? 1u : 0u);
  }
}

TEST_F(Form1Test, DropOpensOneFile) {
  form.Form_Load();
  form.drop({typical.path()});
  EXPECT_EQ(shown(ControlId::txtfile), typical.path());
  EXPECT_EQ(shown(ControlId::lblClass), u"CLASS : 7A");
  ScratchFile rows("45\n", "one.csv");
  form.drop({rows.path(), typical.path()});
  EXPECT_EQ(shown(ControlId::txtfile), typical.path());
  EXPECT_EQ(messages.shown().size(), 1u);
  // While typing, neither a drop nor a paste loads anything.
  start_now();
  form.Timer1_Timer();
  ASSERT_TRUE(form.typing());
  form.drop({rows.path()});
  EXPECT_TRUE(form.paste(u"1\n2\n"));
  finish_typing();
  EXPECT_EQ(shown(ControlId::txtfile), typical.path());
  EXPECT_EQ(typed(), u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB]");
}

// After a stop, START goes on with the first entry not typed in full; the
// status line and the message say which. A run that reaches the end, and
// opening or pasting a list, start at entry 1 again.
TEST_F(Form1Test, GoesOnAfterAStop) {
  constexpr Focus kNone{Focus::Kind::none, 0};
  ASSERT_TRUE(load_typical());
  // The focus leaves the form once Ann's mark and Tab are typed.
  keyboard.focus_after(3, kNone);
  start_now();
  tick();
  EXPECT_EQ(typed(), u"4 5 [TAB]");
  EXPECT_TRUE(only_message().ends_with(
      u" Click into the field for entry 2, Bob, then press START to go on."));
  EXPECT_TRUE(log.back().starts_with("message "));
  EXPECT_NE(std::find(log.begin(), log.end(), R"(status "START goes on at entry 2, Bob")"),
            log.end());

  // The user clicks into Bob's field and presses START again, twice.
  keyboard.focus_after(0, FakeKeyboard::kTarget);
  for (int run = 0; run < 2; ++run) {
    start_now();
    tick();
  }
  EXPECT_EQ(typed(), u"4 5 [TAB] 5 2 [TAB] 3 8 [TAB] 4 5 [TAB] 5 2 [TAB] 3 8 [TAB]");

  for (const bool paste : {false, true}) {
    SCOPED_TRACE(paste);
    keyboard.forget_delivered();
    keyboard.focus_after(3, kNone);
    start_now();
    tick();
    ASSERT_EQ(typed(), u"4 5 [TAB]");
    log.clear();
    if (paste) {
      ASSERT_TRUE(form.paste(u"Ann\t45\nBob\t52\n"));
    } else {
      ASSERT_TRUE(form.open_path(typical.path()));
    }
    EXPECT_NE(std::find(log.begin(), log.end(), R"(status "")"), log.end());
    keyboard.forget_delivered();
    keyboard.focus_after(0, FakeKeyboard::kTarget);
    start_now();
    tick();
    EXPECT_TRUE(typed().starts_with(u"4 5 [TAB] 5 2 [TAB]")) << utf16_to_utf8(typed());
  }
}

// After each full run the status line says what reading the fields back
// found; a field that differs is a message every time, that nothing could be
// checked only the first time.
TEST(Form1, ReadBackAfterTyping) {
  for (const bool readable : {true, false}) {
    SCOPED_TRACE(readable);
    Window w;
    FakeForm fields(w.keyboard, {{}, {FakeForm::Kind::max_length, 1}, {}});
    fields.set_available(readable);
    Form1 form(w.sheet, w.controls, w.dialog, w.messages, w.placement, w.keyboard, w.scheduler,
               w.reader, {.now = w.clock.function(), .own_window_active = {}, .fields = &fields});
    ASSERT_TRUE(form.open_path(w.typical.path()));
    for (int run = 0; run < 2; ++run) {
      w.controls.user_types(ControlId::txtTime, u"0");
      form.cmdStart_Click();
      form.Timer1_Timer();
      while (const auto delay = w.scheduler.take()) {
        w.clock.advance(*delay);
        form.playback_step();
      }
      w.keyboard.forget_delivered();  // the fields of the next run start empty
    }
    const auto status = std::find_if(w.log.rbegin(), w.log.rend(), [](const std::string& line) {
      return line.starts_with("status ");
    });
    ASSERT_NE(status, w.log.rend());
    EXPECT_NE(status->find(readable ? "1 of 3 fields differs" : "not checked"), std::string::npos)
        << *status;
    ASSERT_EQ(w.messages.shown().size(), readable ? 2u : 1u);
    EXPECT_TRUE(
        contains(w.messages.shown()[0], readable ? u"Entry 2 (Bob)" : fields.how_to_read()));
  }
}

// A control that fails an operation stops the handler, one message says
// why, and a countdown does not tick on after it.
TEST(Form1, FailingControlOperationStopsTheHandler) {
  using enum ControlOp;
  using enum ControlId;
  using Action = std::function<void(Window&)>;
  const Action nothing = [](Window&) {};
  const Action load = [](Window& t) { t.form.Form_Load(); };
  const Action open = [](Window& t) { t.open(t.typical.path()); };
  const Action start = [](Window& t) {
    t.load_typical();
    t.form.cmdStart_Click();
  };
  const Action start_now = [](Window& t) {
    t.load_typical();
    t.start_now();
  };
  const Action tick = [](Window& t) { t.tick(); };
  const Action esc = [](Window& t) { t.form.escape(); };
  const struct {
    const char* what;
    Action arrange;
    ControlOp op;
    ControlId id;
    Action act;
    bool timer_on;
    bool types;
  } cases[] = {
      {"load: timer", nothing, set_timer, Timer1, load, true, false},
      {"open: read path", load, get_text, txtfile, open, false, false},
      {"open: set path", load, set_text, txtfile, open, false, false},
      {"tick: show count", start, set_text, txtTime, tick, false, false},
      {"tick: stop timer", start_now, set_timer, Timer1, tick, true, false},
      {"tick: reset box", start_now, set_text, txtTime, tick, false, true},
      {"esc: stop timer", start, set_timer, Timer1, esc, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Window t;
    c.arrange(t);
    t.controls.fail(c.op, c.id);
    t.log.clear();
    c.act(t);
    ASSERT_EQ(t.messages.shown().size(), 1u);
    EXPECT_TRUE(t.log.back().starts_with("message "));
    // Nothing but stopping the countdown follows the failure.
    auto failed = std::find_if(t.log.begin(), t.log.end(),
                               [](const std::string& line) { return line.ends_with(" FAILED"); });
    ASSERT_NE(failed, t.log.end());
    for (++failed; failed != t.log.end() - 1; ++failed) {
      EXPECT_EQ(*failed, "set_timer Timer1 off");
    }
    EXPECT_EQ(t.controls.timer_on(), c.timer_on);
    EXPECT_EQ(!t.typed().empty(), c.types);
  }
}

}  // namespace
}  // namespace tavrino
