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

std::string utf8(std::u16string_view text) {
  return utf16_to_utf8(text);
}

ResultSheet sheet_of(std::int16_t count, const std::vector<std::u16string>& values) {
  ResultSheet sheet;
  sheet.itemcount = count;
  for (std::size_t i = 0; i < values.size(); ++i) sheet.itemvalue[i] = values[i];
  return sheet;
}

bool contains(const std::u16string& text, std::u16string_view part) {
  return text.find(part) != std::u16string::npos;
}

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf8(c.expected));
    RecordingKeyboard keyboard;
    const Status status = typekeys(sheet_of(c.count, c.values), keyboard);
    ASSERT_TRUE(status.ok()) << utf8(status.message());
    EXPECT_EQ(utf8(keyboard.typed()), utf8(c.expected));
    EXPECT_EQ(keyboard.begin_calls(), 1);
    EXPECT_EQ(keyboard.end_calls(), 1);
  }
}

TEST(Typekeys, FullSheetOfFiftyOneEntries) {
  ResultSheet sheet;
  sheet.itemcount = kSlotCount;
  sheet.itemvalue.fill(u"x");
  RecordingKeyboard keyboard;
  ASSERT_TRUE(typekeys(sheet, keyboard).ok());
  EXPECT_EQ(keyboard.delivered().size(), 2u * kSlotCount);
}

TEST(Typekeys, NoEntriesTypesNothing) {
  for (const std::int16_t count : {0, -1, -32767}) {
    SCOPED_TRACE(count);
    RecordingKeyboard keyboard;
    EXPECT_TRUE(typekeys(sheet_of(count, {u"a", u"b"}), keyboard).ok());
    EXPECT_EQ(keyboard.begin_calls(), 0);
    EXPECT_TRUE(keyboard.delivered().empty());
  }
}

TEST(Typekeys, RefusesBeforeTypingAnything) {
  struct Case {
    std::int16_t count;
    std::vector<std::u16string> values;
    std::vector<std::u16string> phrases;
  };
  const std::vector<Case> cases = {
      {5, {u"1", u"2", u"B+", u"4"}, {u"Entry 3 ", u"\"B+\"", u"character 2", u"B{+}"}},
      {2, {u"{TAB", u"x"}, {u"Entry 1 ", u"\"{TAB\"", u"character 1"}},
      {52, {u"a"}, {u"52", u"51"}},
      {-32768, {u"a"}, {u"-32768"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    RecordingKeyboard keyboard;
    const Status status = typekeys(sheet_of(c.count, c.values), keyboard);
    ASSERT_FALSE(status.ok());
    for (const std::u16string& phrase : c.phrases) {
      EXPECT_TRUE(contains(status.message(), phrase)) << utf8(status.message());
    }
    EXPECT_EQ(keyboard.begin_calls(), 0);
    EXPECT_TRUE(keyboard.delivered().empty());

    KeyEvents events = {KeyEvent::of_key(Key::up)};
    EXPECT_FALSE(playback_events(sheet_of(c.count, c.values), events).ok());
    EXPECT_TRUE(events.empty());
  }
}

TEST(Typekeys, KeyboardRefusingToStartTypesNothing) {
  for (const bool at_begin : {true, false}) {
    SCOPED_TRACE(at_begin);
    RecordingKeyboard keyboard;
    if (at_begin) {
      keyboard.fail_begin(u"No display.");
    } else {
      keyboard.fail_prepare(u"No key can type \u00e9.");
    }
    const Status status = typekeys(sheet_of(1, {u"a"}), keyboard);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(utf8(status.message()), at_begin ? "No display." : "No key can type \u00e9.");
    EXPECT_TRUE(keyboard.delivered().empty());
    // A keyboard that was opened is always closed again.
    EXPECT_EQ(keyboard.end_calls(), at_begin ? 0 : 1);
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
    RecordingKeyboard keyboard;
    keyboard.fail_at(k, u"The display went away.");
    const Status status = typekeys(sheet, keyboard);
    ASSERT_FALSE(status.ok());

    std::size_t full = 0;
    while (entry_ends[full] <= k) ++full;
    const std::u16string counted = u"after " + to_text(static_cast<std::int64_t>(full)) + u" of 4";
    EXPECT_TRUE(contains(status.message(), counted)) << utf8(status.message());
    EXPECT_TRUE(contains(status.message(), u"The display went away.")) << utf8(status.message());

    EXPECT_TRUE(keyboard.held().empty()) << utf8(keyboard.typed());
    EXPECT_EQ(keyboard.end_calls(), 1);
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

// A clock that moves only when the test says so.
struct TestClock {
  Playback::Clock::time_point now{};
  Playback::Now function() {
    return [this] { return now; };
  }
};

// Steps a playback to its end as a window's event loop would, moving the
// clock on by each delay; `between` runs before every step after the first.
Status run(Playback& playback, TestClock& clock, const std::function<void()>& between = {}) {
  for (int steps = 0; steps < 10000; ++steps) {
    const auto delay = playback.step();
    if (!delay) return playback.result();
    clock.now += *delay;
    if (between) between();
  }
  return Status::failure(u"the playback did not end");
}

// Where the keys go, what the user holds and what interrupts: what arrives,
// that nothing stays held, and what the message says.
TEST(Playback, KeysGoOnlyWhereTheUserPutTheFocus) {
  constexpr Focus kOwn{Focus::Kind::own, 0};
  constexpr Focus kNone{Focus::Kind::none, 0};
  constexpr Focus kElsewhere{Focus::Kind::other, 0x99};
  using Setup = std::function<void(RecordingKeyboard&)>;
  const auto focus_after = [](std::size_t delivered, Focus focus) -> Setup {
    return [=](RecordingKeyboard& k) { k.focus_after(delivered, focus); };
  };
  const auto interrupt_after = [](std::size_t delivered, StopReason reason) -> Setup {
    return [=](RecordingKeyboard& k) { k.interrupt_after(delivered, reason); };
  };
  const auto hold = [](std::size_t polls, HeldKeys keys) -> Setup {
    return [=](RecordingKeyboard& k) { k.hold(std::vector<HeldKeys>(polls, keys)); };
  };
  const std::vector<std::u16string> values = {u"45", u"+(ab)", u"38"};
  const std::u16string all = u"4 5 [TAB] [SHIFT down] a b [SHIFT up] [TAB] 3 8 [TAB]";
  const struct {
    const char* what;
    Setup setup;
    std::u16string typed;
    std::string message;  // a part of it; empty: typing succeeded
  } cases[] = {
      {"all well", [](RecordingKeyboard&) {}, all, ""},
      {"tavrino's own window has the focus", focus_after(0, kOwn), u"",
       "Nothing was typed because tavrino's own window had the keyboard focus"},
      {"no window has the focus", focus_after(0, kNone), u"",
       "Nothing was typed because no window had the keyboard focus"},
      {"the focus moves to another window after the first entry", focus_after(3, kElsewhere),
       u"4 5 [TAB]", "Typing stopped after 1 of 3 entries: the keyboard focus moved away"},
      {"the focus moves into tavrino before a Tab", focus_after(2, kOwn), u"4 5",
       "Typing stopped after 0 of 3 entries: the keyboard focus moved away"},
      {"the target closes and no window has the focus", focus_after(7, kNone),
       u"4 5 [TAB] [SHIFT down] a b [SHIFT up]", "after 1 of 3 entries"},
      {"Shift held, then let go", hold(2, {HeldKey::shift}), all, ""},
      {"Shift and Ctrl held for good", hold(1000, {HeldKey::shift, HeldKey::ctrl}), u"",
       "Nothing was typed because Shift and Ctrl were still held down 3 seconds"},
      // Looked at before each value and each Tab, so the value in progress
      // goes out whole.
      {"Esc pressed in the target", interrupt_after(4, StopReason::escape),
       u"4 5 [TAB] [SHIFT down] a b [SHIFT up]",
       "Typing stopped after 1 of 3 entries: Esc was pressed."},
      {"the layout changes", interrupt_after(1, StopReason::layout_changed), u"4 5",
       "after 0 of 3 entries: the keyboard layout changed."},
      {"a character the keyboard cannot type", [](RecordingKeyboard& k) { k.cannot_type(U'b'); },
       u"", "Nothing was typed because entry 2 (\"+(ab)\") cannot be typed: the test's layout"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingKeyboard keyboard;
    c.setup(keyboard);
    TestClock clock;
    Playback playback(sheet_of(3, values), keyboard, clock.function());
    const Status status = run(playback, clock);
    EXPECT_EQ(status.ok(), c.message.empty()) << utf8(status.message());
    EXPECT_NE(utf8(status.message()).find(c.message), std::string::npos) << utf8(status.message());
    EXPECT_EQ(utf8(keyboard.typed()), utf8(c.typed));
    EXPECT_TRUE(keyboard.held().empty());
    EXPECT_FALSE(keyboard.open());
  }
}

TEST(Playback, WaitsForHeldKeysWithoutBlocking) {
  RecordingKeyboard keyboard;
  keyboard.hold({{HeldKey::altgr}, {HeldKey::altgr}, {HeldKey::altgr}});
  TestClock clock;
  Playback playback(sheet_of(1, {u"7"}), keyboard, clock.function());
  ASSERT_EQ(playback.step(), Playback::kReleasePoll);
  EXPECT_EQ(playback.waiting_for(), HeldKeys{HeldKey::altgr});
  EXPECT_EQ(keyboard.prepare_calls(), 0);
  const Status status = run(playback, clock);
  EXPECT_TRUE(status.ok()) << utf8(status.message());
  EXPECT_EQ(keyboard.typed(), u"7 [TAB]");
  EXPECT_TRUE(playback.waiting_for().empty());
}

TEST(Playback, StopsBetweenStepsAndReleasesWhatTheValueHolds) {
  // One value long enough to take several pieces, all of it under Shift.
  const std::u16string value = u"+(" + std::u16string(3 * Playback::kPieceEvents, u'a') + u")";
  // Each look at the clock takes a whole slice, so a step sends one piece.
  TestClock clock;
  RecordingKeyboard slow;
  Playback stepped(sheet_of(2, {value, u"1"}), slow, [&clock] {
    clock.now += Playback::kSlice;
    return clock.now;
  });
  ASSERT_TRUE(stepped.step().has_value());  // opens the keyboard
  ASSERT_TRUE(stepped.step().has_value());  // the first piece
  EXPECT_EQ(slow.delivered().size(), Playback::kPieceEvents);
  stepped.stop(StopReason::quit);
  EXPECT_TRUE(stepped.ended());
  EXPECT_EQ(utf8(stepped.result().message()),
            "Typing stopped after 0 of 2 entries: tavrino was closed.");
  EXPECT_TRUE(slow.held().empty());
  EXPECT_FALSE(slow.open());
  EXPECT_FALSE(stepped.step().has_value());
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
      {"a button between fields",
       {plain, {K::button}, plain, plain},
       {u"1", u"2", u"3", u"4"},
       {0, 1},
       {},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingKeyboard keyboard;
    FakeForm form(keyboard, c.fields);
    TestClock clock;
    Playback playback(sheet_of(static_cast<std::int16_t>(c.values.size()), c.values), keyboard,
                      clock.function(), &form);
    const Status status = run(playback, clock);
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

// The fields are read once the form has had time to settle, after the keyboard
// is closed, and not at all when typing did not run to its end.
TEST(Playback, ReadsBackOnlyAfterAFullRunAndTheSettle) {
  enum class Then { settle, escape_in_settle, escape_while_typing, reader_off };
  for (const Then then :
       {Then::settle, Then::escape_in_settle, Then::escape_while_typing, Then::reader_off}) {
    SCOPED_TRACE(static_cast<int>(then));
    RecordingKeyboard keyboard;
    FakeForm form(keyboard, {{}, {}});
    form.set_available(then != Then::reader_off);
    if (then == Then::escape_while_typing) keyboard.interrupt_after(3, StopReason::escape);
    TestClock clock;
    Playback playback(sheet_of(2, {u"45", u"52"}), keyboard, clock.function(), &form);
    std::optional<std::chrono::milliseconds> delay;
    while ((delay = playback.step()) && *delay == std::chrono::milliseconds(0)) {
    }
    if (then == Then::escape_while_typing) {
      EXPECT_FALSE(delay.has_value());
      EXPECT_FALSE(playback.result().ok());
      EXPECT_FALSE(playback.read_back().has_value());
      EXPECT_EQ(form.read_calls(), 0);
      continue;
    }
    if (then == Then::reader_off) {
      // Nothing to wait for: told at once that nothing was checked.
      EXPECT_TRUE(form.away_from_asked().empty());
      ASSERT_FALSE(delay.has_value());
      ASSERT_TRUE(playback.read_back().has_value());
      EXPECT_TRUE(contains(playback.read_back()->not_checked, form.how_to_read()));
      continue;
    }
    ASSERT_TRUE(delay.has_value());
    EXPECT_EQ(*delay, Playback::kSettle);
    EXPECT_FALSE(keyboard.open());
    EXPECT_EQ(form.read_calls(), 0);
    if (then == Then::escape_in_settle) {
      playback.stop(StopReason::escape);
      EXPECT_TRUE(playback.result().ok()) << utf8(playback.result().message());
      EXPECT_FALSE(playback.read_back().has_value());
      continue;
    }
    clock.now += *delay - std::chrono::milliseconds(1);
    EXPECT_TRUE(playback.step().has_value());
    EXPECT_EQ(form.read_calls(), 0);
    clock.now += std::chrono::milliseconds(1);
    EXPECT_FALSE(playback.step().has_value());
    EXPECT_EQ(form.read_calls(), 2);
    ASSERT_TRUE(playback.read_back().has_value());
    EXPECT_TRUE(contains(playback.read_back()->status, u"All 2"))
        << utf8(playback.read_back()->status);
  }
}

TEST(Playback, HeldKeysAreNamedInPlainWords) {
  EXPECT_EQ(held_keys_text({HeldKey::shift}), u"Shift");
  EXPECT_EQ(held_keys_text({HeldKey::shift, HeldKey::altgr}), u"Shift and AltGr");
  EXPECT_EQ(held_keys_text({HeldKey::ctrl, HeldKey::alt, HeldKey::super}),
            u"Ctrl, Alt and the Windows (Super) key");
}

}  // namespace
}  // namespace tavrino
