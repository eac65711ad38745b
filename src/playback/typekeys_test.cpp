// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "playback/fake_field_reader.h"
#include "playback/fake_keyboard.h"
#include "playback/key_string.h"

namespace tavrino {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

std::string utf8(std::u16string_view text) {
  return utf16_to_utf8(text);
}

ResultSheet sheet_of(std::int16_t count, const std::vector<std::u16string>& values) {
  ResultSheet sheet;
  sheet.itemcount = count;
  for (std::size_t i = 0; i < values.size(); ++i) sheet.itemvalue[i] = values[i];
  return sheet;
}

// `count` entries of `length` letters each: entry i is made of the letter
// 'a' + i % 26, so a lost or doubled stretch shows in the text typed.
ResultSheet long_sheet(int count, std::size_t length) {
  ResultSheet sheet;
  sheet.itemcount = static_cast<std::int16_t>(count);
  for (int i = 0; i < count; ++i) {
    sheet.itemvalue[static_cast<std::size_t>(i)] =
        std::u16string(length, static_cast<char16_t>(u'a' + i % 26));
  }
  return sheet;
}

std::u16string typed_for(const ResultSheet& sheet) {
  KeyEvents events;
  EXPECT_TRUE(playback_events(sheet, events).ok());
  return describe(events);
}

bool contains(const std::u16string& text, std::u16string_view part) {
  return text.find(part) != std::u16string::npos;
}

// Runs a playback of `sheet` on a keyboard that `setup` scripts.
struct Scripted {
  TestClock clock;
  FakeKeyboard keyboard{&clock};
  Status status = Status::success();
  std::vector<std::u16string> statuses;  // each status line shown, once

  Scripted(const ResultSheet& sheet, const std::function<void(FakeKeyboard&)>& setup) {
    setup(keyboard);
    Playback playback(sheet, keyboard, {.now = clock.function(), .own_window_active = {}});
    while (const auto delay = playback.step()) {
      if (!playback.status().empty() &&
          (statuses.empty() || statuses.back() != playback.status())) {
        statuses.push_back(playback.status());
      }
      clock.advance(*delay);
    }
    status = playback.result();
  }
  // Whether a status line on the way held `part` (anything, when empty).
  bool showed(std::u16string_view part) const {
    if (part.empty()) return true;
    for (const std::u16string& line : statuses) {
      if (contains(line, part)) return true;
    }
    return false;
  }
  // Typing succeeded when `message` is empty, else the message holds it;
  // either way nothing is left held and the session is over.
  void expect_ended(std::string_view message) const {
    const std::string got = utf8(status.message());
    EXPECT_EQ(status.ok(), message.empty()) << got;
    EXPECT_NE(got.find(message), std::string::npos) << got;
    EXPECT_TRUE(keyboard.held().empty());
    EXPECT_FALSE(keyboard.open());
  }
};

TEST(Typekeys, TypesEachValueThenTab) {
  struct Case {
    std::int16_t count;
    std::vector<std::u16string> values;
    std::u16string expected;
  };
  const std::vector<Case> cases = {
      {3, {u"45", u"", u"38"}, u"4 5 [TAB] [TAB] 3 8 [TAB]"},
      // Slots past the supplied values are typed as they stand.
      {4, {u"a", u"b", u"old"}, u"a [TAB] b [TAB] o l d [TAB] [TAB]"},
      {2, {u"a", u"b", u"c"}, u"a [TAB] b [TAB]"},
      {1, {u"^c~"}, u"[CTRL down] c [CTRL up] [ENTER] [TAB]"},
      // No entries: the keyboard is not even opened.
      {0, {u"a"}, u""},
      {-32767, {u"a"}, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8(c.expected));
    FakeKeyboard keyboard;
    const Status status = typekeys(sheet_of(c.count, c.values), keyboard);
    ASSERT_TRUE(status.ok()) << utf8(status.message());
    EXPECT_EQ(utf8(keyboard.typed()), utf8(c.expected));
    EXPECT_EQ(keyboard.begin_calls(), c.count > 0 ? 1 : 0);
    EXPECT_FALSE(keyboard.open());
  }
}

TEST(Typekeys, RefusesBeforeTypingAnything) {
  struct Case {
    std::int16_t count;
    std::vector<std::u16string> values;
    std::vector<std::u16string> phrases;
  };
  const std::vector<Case> cases = {
      {5, {u"1", u"2", u"B+", u"4"}, {u"Entry 3 ", u"character 2"}},
      {2, {u"{TAB", u"x"}, {u"Entry 1 ", u"character 1"}},
      // Caps Lock is kept off while typing; a value that switched it would
      // type the rest in the wrong case.
      {2, {u"a", u"b{capslock}c"}, {u"Entry 2 ", u"character 2", u"Caps Lock"}},
      {52, {u"a"}, {u"52", u"51"}},
      {-32768, {u"a"}, {u"-32768"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    FakeKeyboard keyboard;
    const Status status = typekeys(sheet_of(c.count, c.values), keyboard);
    ASSERT_FALSE(status.ok());
    for (const std::u16string& phrase : c.phrases) {
      EXPECT_TRUE(contains(status.message(), phrase)) << utf8(status.message());
    }
    EXPECT_EQ(keyboard.begin_calls(), 0);
  }
}

// A keyboard that fails at any point must leave no modifier held, and the
// message must count only the entries that went out whole.
TEST(Typekeys, FailureAtEveryEventReleasesModifiers) {
  const std::vector<std::u16string> values = {u"^+a", u"", u"%(x+y)", u"{TAB 2}b"};
  const ResultSheet sheet = sheet_of(4, values);

  std::vector<std::size_t> entry_ends;  // cumulative event count after each entry
  std::size_t total = 0;
  for (const std::u16string& value : values) {
    total += parse_key_string(value).events.size() + 1;
    entry_ends.push_back(total);
  }
  KeyEvents all;
  ASSERT_TRUE(playback_events(sheet, all).ok());
  ASSERT_EQ(all.size(), total);

  for (std::size_t k = 0; k < total; ++k) {
    SCOPED_TRACE(k);
    FakeKeyboard keyboard;
    keyboard.fail_at(k, u"The display went away.");
    const Status status = typekeys(sheet, keyboard);
    ASSERT_FALSE(status.ok());

    std::size_t full = 0;
    while (entry_ends[full] <= k) ++full;
    const std::u16string counted = u"after " + to_text(static_cast<std::int64_t>(full)) + u" of 4";
    EXPECT_TRUE(contains(status.message(), counted)) << utf8(status.message());

    EXPECT_TRUE(keyboard.held().empty()) << utf8(keyboard.typed());
    EXPECT_FALSE(keyboard.open());
    // The first k events went out as planned; after them only releases.
    const KeyEvents& got = keyboard.delivered();
    ASSERT_GE(got.size(), k);
    EXPECT_EQ(KeyEvents(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(k)),
              KeyEvents(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k)));
    for (std::size_t i = k; i < got.size(); ++i) {
      EXPECT_EQ(got[i].type, KeyEvent::Type::release);
    }
  }
}

// Where the keys go, what the user and other programs do before and while
// typing: what arrives, that nothing stays held, and what the message says.
TEST(Playback, TypesOnlyWhatArrivesAsWritten) {
  constexpr Focus kOwn{Focus::Kind::own, 0};
  constexpr Focus kNone{Focus::Kind::none, 0};
  constexpr Focus kElsewhere{Focus::Kind::other, 0x99};
  constexpr Focus kElevated{Focus::Kind::elevated, 0x99};
  using Setup = std::function<void(FakeKeyboard&)>;
  const auto focus_after = [](std::size_t delivered, Focus focus) -> Setup {
    return [=](FakeKeyboard& k) { k.focus_after(delivered, focus); };
  };
  const auto hold = [](std::size_t delivered, HeldKeys keys, milliseconds length) -> Setup {
    return [=](FakeKeyboard& k) { k.hold(delivered, keys, length); };
  };
  const std::vector<std::u16string> values = {u"45", u"+(ab)", u"38"};
  const std::u16string all = u"4 5 [TAB] [SHIFT down] a b [SHIFT up] [TAB] 3 8 [TAB]";
  const struct {
    const char* what;
    Setup setup;
    std::u16string typed;
    std::string message;  // a part of it; empty: typing succeeded
  } cases[] = {
      {"all well", [](FakeKeyboard&) {}, all, ""},
      {"tavrino's own window has the focus", focus_after(0, kOwn), u"",
       "Nothing was typed because tavrino's own window had the keyboard focus"},
      {"no window has the focus", focus_after(0, kNone), u"",
       "Nothing was typed because no window had the keyboard focus"},
      {"a window that runs as administrator", focus_after(0, kElevated), u"",
       "Nothing was typed because the window with the focus runs as administrator"},
      {"another tavrino types", [](FakeKeyboard& k) { k.busy(); }, u"",
       "Another tavrino is typing"},
      {"the keyboard cannot start", [](FakeKeyboard& k) { k.fail_begin(u"No display."); }, u"",
       "No display."},
      {"the keyboard cannot prepare",
       [](FakeKeyboard& k) { k.fail_prepare(u"No key can type \u00e9."); }, u"",
       "No key can type \u00e9."},
      {"a character the keyboard cannot type", [](FakeKeyboard& k) { k.cannot_type(U'b'); }, u"",
       "Nothing was typed because entry 2 (\"+(ab)\") cannot be typed: the test's layout"},
      {"Shift held at the start, then let go", hold(0, {HeldKey::shift}, milliseconds(400)), all,
       ""},
      {"Shift and Ctrl held for good", hold(0, {HeldKey::shift, HeldKey::ctrl}, seconds(60)), u"",
       "Nothing was typed because Shift and Ctrl were still held down 3 seconds"},
      {"Esc while waiting for a held key",
       [](FakeKeyboard& k) {
         k.hold(0, {HeldKey::shift}, seconds(60));
         k.escape(0);
       },
       u"", "Nothing was typed: Esc was pressed."},
      {"another program holds the keyboard at the start, then lets go",
       [](FakeKeyboard& k) { k.grab(0, milliseconds(600)); }, all, ""},
      {"another program holds the keyboard for good",
       [](FakeKeyboard& k) { k.grab(0, seconds(60)); }, u"",
       "Nothing was typed because another program holds the keyboard"},
      {"the focus moves to another window after the first entry", focus_after(3, kElsewhere),
       u"4 5 [TAB]", "Typing stopped after 1 of 3 entries: the keyboard focus moved away"},
      {"the target closes and no window has the focus", focus_after(3, kNone), u"4 5 [TAB]",
       "after 1 of 3 entries"},
      // Where the platform cannot name the target (Wayland), a move to a
      // window it can tell from one stops typing all the same.
      {"an unnamed target, then tavrino's own window",
       [](FakeKeyboard& k) {
         k.focus_after(0, {Focus::Kind::unknown, 0});
         k.focus_after(3, {Focus::Kind::own, 0});
       },
       u"4 5 [TAB]", "after 1 of 3 entries"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Scripted run(sheet_of(3, values), c.setup);
    run.expect_ended(c.message);
    EXPECT_EQ(utf8(run.keyboard.typed()), utf8(c.typed));
  }
}

// What the user or another program does in the middle of a long playback:
// where it happens relative to the batches decides between a pause and a
// stop, and a stop names the entry whose field may be wrong.
TEST(Playback, WatchesTheKeyboardWhileTyping) {
  const ResultSheet sheet = long_sheet(6, 40);  // 41 events an entry
  const std::u16string all = typed_for(sheet);
  // Each value goes in two batches, its Tab in a third: entry i begins a
  // batch at 41 * i.
  const struct {
    const char* what;
    std::function<void(FakeKeyboard&)> setup;
    std::string message;         // a part of it; empty: typing succeeded
    std::u16string status = {};  // a part of a status line shown on the way
  } cases[] = {
      // Between two batches the playback sees it before the next key.
      {"Ctrl held between batches for a second",
       [](FakeKeyboard& k) { k.hold(2 * 41, {HeldKey::ctrl}, seconds(1)); }, "", u"Let go of Ctrl"},
      {"Ctrl held between batches for good",
       [](FakeKeyboard& k) { k.hold(41, {HeldKey::ctrl}, seconds(300)); },
       "after 1 of 6 entries: Ctrl stayed held down for 30 seconds."},
      {"another program holds the keyboard between batches for two seconds",
       [](FakeKeyboard& k) { k.grab(3 * 41 + 32, seconds(2)); }, "",
       u"Another program holds the keyboard"},
      // Inside a batch, the keys after it did not arrive as sent.
      {"Ctrl pressed in the middle of entry 3",
       [](FakeKeyboard& k) { k.hold(2 * 41 + 5, {HeldKey::ctrl}, milliseconds(300)); },
       "after 2 of 6 entries: Ctrl was pressed on the keyboard while entry 3"},
      {"a key typed by the user in entry 2", [](FakeKeyboard& k) { k.press(41 + 3, u"\"x\""); },
       "after 1 of 6 entries: \"x\" was pressed on the keyboard while entry 2"},
      {"a click in entry 4", [](FakeKeyboard& k) { k.click(3 * 41 + 1); },
       "after 3 of 6 entries: a mouse button was pressed while entry 4"},
      {"a menu opens in the middle of entry 5",
       [](FakeKeyboard& k) { k.grab(4 * 41 + 7, seconds(1)); },
       "after 4 of 6 entries: another program took the keyboard"},
      {"the layout changes in entry 2", [](FakeKeyboard& k) { k.change_layout(41 + 1); },
       "after 1 of 6 entries: the keyboard layout changed while entry 2"},
      {"Esc in entry 4", [](FakeKeyboard& k) { k.escape(3 * 41 + 10); },
       "after 3 of 6 entries: Esc was pressed. Entry 4 got only part of its value."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Scripted run(sheet, c.setup);
    run.expect_ended(c.message);
    EXPECT_EQ(run.keyboard.typed() == all, c.message.empty());
    EXPECT_TRUE(run.showed(c.status));
  }
}

// However slow or frozen the target, the playback is never far ahead of it,
// nothing sent is lost from the count, and the message counts only what the
// target took.
TEST(Playback, NeverOutrunsTheTarget) {
  const ResultSheet sheet = long_sheet(51, 20);
  const std::u16string all = typed_for(sheet);
  const struct {
    const char* what;
    std::function<void(FakeKeyboard&)> setup;
    std::string message;  // a part of it; empty: typing succeeded
    std::u16string status = {};
  } cases[] = {
      {"a fast target", [](FakeKeyboard&) {}, ""},
      {"a slow target", [](FakeKeyboard& k) { k.lag(milliseconds(40)); }, ""},
      {"a target that stops for five seconds", [](FakeKeyboard& k) { k.freeze(300, seconds(5)); },
       "", u"Waiting for the form to catch up"},
      {"a target that stops for good", [](FakeKeyboard& k) { k.freeze(300, seconds(3600)); },
       "the form took no keys for 30 seconds.", u"Waiting for the form to catch up"},
      {"a key must change under keys not yet taken",
       [](FakeKeyboard& k) {
         k.lag(milliseconds(100));
         k.catch_up_at(500);
       },
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Scripted run(sheet, c.setup);
    run.expect_ended(c.message);
    EXPECT_LE(run.keyboard.most_ahead(), Playback::kMostAhead);
    EXPECT_LE(run.keyboard.largest_send(), Playback::kBatchEvents);
    EXPECT_EQ(run.keyboard.typed() == all, c.message.empty());
    EXPECT_TRUE(run.showed(c.status));
  }
}

// A stop while the target lags behind: the target gets its time to take
// what was sent, and the count is of what it took.
TEST(Playback, StopCountsWhatTheTargetTook) {
  const ResultSheet sheet = long_sheet(10, 40);  // 41 events an entry
  struct Case {
    const char* what;
    std::function<void(FakeKeyboard&)> setup;
    std::string message;
  };
  const Case cases[] = {
      {"Esc while the target catches up in time",
       [](FakeKeyboard& k) {
         k.freeze(100, seconds(3));
         k.escape(150);
       },
       "after 3 of 10 entries: Esc was pressed. Entry 4 got only part of its value."},
      {"Esc twice: the user gives up waiting for a frozen target",
       [](FakeKeyboard& k) {
         k.freeze(100, seconds(3600));
         k.escape(115);
         k.escape(115, seconds(2));
       },
       "after 2 of 10 entries: Esc was pressed. The keys of entry 3 were sent, but the form"},
      {"a target that cannot say what it took: counted as sent",
       [](FakeKeyboard& k) {
         k.blind();
         k.escape(150);
       },
       "after 3 of 10 entries: Esc was pressed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scripted(sheet, c.setup).expect_ended(c.message);
  }
}

TEST(Playback, TargetThatCannotSayIsPaced) {
  const ResultSheet sheet = long_sheet(51, 60);
  TestClock clock;
  FakeKeyboard keyboard(&clock);
  keyboard.blind();
  Playback playback(sheet, keyboard, {.now = clock.function(), .own_window_active = {}});
  ASSERT_TRUE(run_playback(playback, clock).ok());
  EXPECT_EQ(keyboard.typed(), typed_for(sheet));
  // Each value in two batches, and its Tab in one.
  const std::size_t batches = 51 * 3;
  EXPECT_GE(clock.now().time_since_epoch(), (batches - 1) * Playback::kBlindPace);
}

TEST(Playback, OwnWindowActiveStopsTyping) {
  TestClock clock;
  FakeKeyboard keyboard(&clock);
  keyboard.lag(milliseconds(10));
  bool active = false;
  Playback playback(long_sheet(3, 50), keyboard,
                    {.now = clock.function(), .own_window_active = [&] { return active; }});
  ASSERT_TRUE(playback.step().has_value());  // opens and types the first batches
  active = true;
  const Status status = run_playback(playback, clock);
  EXPECT_NE(utf8(status.message()).find("the keyboard focus moved away"), std::string::npos)
      << utf8(status.message());
}

TEST(Playback, QuitEndsAtOnceAndReleasesWhatTheValueHolds) {
  // One value long enough to take several batches, all of it under Shift.
  const std::u16string value = u"+(" + std::u16string(3 * Playback::kBatchEvents, u'a') + u")";
  TestClock clock;
  FakeKeyboard keyboard(&clock);
  keyboard.freeze(0, seconds(3600));
  Playback stepped(sheet_of(2, {value, u"1"}), keyboard,
                   {.now = clock.function(), .own_window_active = {}});
  ASSERT_TRUE(stepped.step().has_value());  // opens the keyboard
  ASSERT_TRUE(stepped.step().has_value());  // types until the target is too far behind
  ASSERT_FALSE(keyboard.delivered().empty());
  stepped.stop(StopReason::quit);
  EXPECT_TRUE(stepped.ended());
  EXPECT_EQ(utf8(stepped.result().message())
                .rfind("Typing stopped after 0 of 2 entries: tavrino was closed.", 0),
            0u);
  EXPECT_TRUE(keyboard.held().empty());
  EXPECT_FALSE(keyboard.open());
  EXPECT_FALSE(stepped.step().has_value());
}

// A playback that starts at a later entry types only the rest, and counts
// what it typed from entry 0, so that the next one can go on from there.
TEST(Playback, GoesOnFromAnEntry) {
  const ResultSheet sheet = sheet_of(4, {u"a", u"b", u"c", u"d"});
  const struct {
    std::size_t first;
    std::size_t stop_after;  // events delivered before Esc; 0: none
    std::u16string typed;
    std::size_t entries_typed;
  } cases[] = {
      {0, 0, u"a [TAB] b [TAB] c [TAB] d [TAB]", 4},
      {2, 0, u"c [TAB] d [TAB]", 4},
      {4, 0, u"", 4},
      // Stopped after c's Tab: entries 0 to 2 are typed, d goes next.
      {1, 4, u"b [TAB] c [TAB]", 3},
      // Stopped after a value but before its Tab: that entry is not typed.
      {1, 3, u"b [TAB] c", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    TestClock clock;
    FakeKeyboard keyboard(&clock);
    if (c.stop_after > 0) keyboard.escape(c.stop_after);
    Playback playback(sheet, keyboard,
                      {.now = clock.function(), .own_window_active = {}, .first_entry = c.first});
    const Status status = run_playback(playback, clock);
    EXPECT_EQ(status.ok(), c.stop_after == 0) << utf8(status.message());
    EXPECT_EQ(keyboard.typed(), c.typed);
    EXPECT_EQ(playback.entries_typed(), c.entries_typed);
    if (c.stop_after > 0) {
      EXPECT_TRUE(utf8(status.message())
                      .starts_with("Typing stopped after " + std::to_string(c.entries_typed) +
                                   " of 4 entries"));
    }
  }
  // A value before the first entry is not looked at: it was typed before.
  TestClock clock;
  FakeKeyboard keyboard(&clock);
  Playback later(sheet_of(2, {u"B+", u"x"}), keyboard,
                 {.now = clock.function(), .own_window_active = {}, .first_entry = 1});
  EXPECT_TRUE(run_playback(later, clock).ok());
  EXPECT_EQ(keyboard.typed(), u"x [TAB]");
}

// With a reader, each entry is compared with the field its value went into:
// the one the Tabs before it reached, also past a value that skips a field.
TEST(Playback, ReadsBackTheFieldEachEntryWentInto) {
  using F = FakeForm::Field;
  using K = FakeForm::Kind;
  const F plain{};
  const struct {
    const char* what;
    std::vector<F> fields;
    std::vector<std::u16string> values;
    std::vector<std::uint64_t> away_from;  // what each entry asked to leave
    std::vector<std::u16string_view> differing;
    bool all_hold;
  } cases[] = {
      {"all hold", {plain, plain, plain}, {u"45", u"7,5", u"A{+}"}, {0, 1, 2}, {}, true},
      {"upper-cased and cut",
       {plain, {K::upper_case}, {K::max_length, 2}},
       {u"ab", u"cd", u"123"},
       {0, 1, 2},
       {u"Entry 2", u"Entry 3"},
       false},
      // Entry 2 skips field 3, so entry 3 goes into field 4, which holds it.
      {"a value that skips a field",
       {plain, plain, {K::upper_case}, plain},
       {u"1", u"2{TAB}", u"x"},
       {0, 1, 2},
       {},
       false},
      // An empty entry still has its field, so the next one waits to leave it.
      {"an empty value", {plain, plain, plain}, {u"1", u"", u"3"}, {0, 1, 2}, {}, false},
      // Tab from the last field leaves the form: the entry past it has none.
      {"more entries than fields", {plain}, {u"1", u"2"}, {0, 1}, {}, false},
      // After entry 1's Tab the focus reaches no field, so any field seen
      // later could be late news of entry 2's: no later entry is checked.
      {"the focus starts on a button", {{K::button}, plain}, {u"1", u"2"}, {0}, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestClock clock;
    FakeKeyboard keyboard(&clock);
    FakeForm form(keyboard, c.fields);
    Playback playback(sheet_of(static_cast<std::int16_t>(c.values.size()), c.values), keyboard,
                      {.now = clock.function(), .own_window_active = {}, .fields = &form});
    const Status status = run_playback(playback, clock);
    ASSERT_TRUE(status.ok()) << utf8(status.message());
    EXPECT_EQ(form.away_from_asked(), c.away_from);
    ASSERT_TRUE(playback.read_back().has_value());
    const ReadBackReport& report = *playback.read_back();
    EXPECT_EQ(contains(report.status, u"All "), c.all_hold) << utf8(report.status);
    EXPECT_EQ(report.differences.empty(), c.differing.empty()) << utf8(report.differences);
    for (std::u16string_view entry : c.differing) {
      EXPECT_TRUE(contains(report.differences, entry)) << utf8(report.differences);
    }
  }
}

// Two entries typed into a form of two fields that a reader reads back.
struct ReadingRun {
  // Runs steps until one asks to wait; nothing once the playback has ended.
  std::optional<milliseconds> steps() {
    std::optional<milliseconds> delay;
    while ((delay = playback.step()) && *delay == milliseconds(0)) {
    }
    return delay;
  }

  TestClock clock;
  FakeKeyboard keyboard{&clock};
  FakeForm form{keyboard, {{}, {}}};
  Playback playback{sheet_of(2, {u"45", u"52"}),
                    keyboard,
                    {.now = clock.function(), .own_window_active = {}, .fields = &form}};
};

// The fields are read once the form has had time to settle, after the keyboard
// is closed, and not at all when typing did not run to its end.
TEST(Playback, ReadsBackOnlyAfterAFullRunAndTheSettle) {
  ReadingRun full;
  ASSERT_EQ(full.steps(), Playback::kSettle);
  EXPECT_FALSE(full.keyboard.open());
  full.clock.advance(Playback::kSettle - milliseconds(1));
  EXPECT_TRUE(full.playback.step().has_value());
  EXPECT_EQ(full.form.read_calls(), 0);
  full.clock.advance(milliseconds(1));
  EXPECT_FALSE(full.playback.step().has_value());
  EXPECT_EQ(full.form.read_calls(), 2);
  ASSERT_TRUE(full.playback.read_back().has_value());
  EXPECT_TRUE(contains(full.playback.read_back()->status, u"All 2"));

  // Esc while the form settles: every entry was typed, and nothing is read.
  ReadingRun settling;
  ASSERT_EQ(settling.steps(), Playback::kSettle);
  settling.playback.stop(StopReason::escape);
  EXPECT_TRUE(settling.playback.result().ok()) << utf8(settling.playback.result().message());
  EXPECT_FALSE(settling.playback.read_back().has_value());

  ReadingRun stopped;
  stopped.keyboard.escape(3);
  EXPECT_FALSE(stopped.steps().has_value());
  EXPECT_FALSE(stopped.playback.result().ok());
  EXPECT_FALSE(stopped.playback.read_back().has_value());
  EXPECT_EQ(stopped.form.read_calls(), 0);
}

}  // namespace
}  // namespace tavrino
