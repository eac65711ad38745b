// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
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
      {9, 0, u"", 4},
      // Stopped after c's Tab: entries 0 to 2 are typed, d goes next.
      {1, 4, u"b [TAB] c [TAB]", 3},
      // Stopped after a value but before its Tab: that entry is not typed.
      {1, 3, u"b [TAB] c", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    RecordingKeyboard keyboard;
    if (c.stop_after > 0) keyboard.interrupt_after(c.stop_after, StopReason::escape);
    TestClock clock;
    Playback playback(sheet, keyboard, clock.function(), c.first);
    const Status status = run(playback, clock);
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
  RecordingKeyboard keyboard;
  TestClock clock;
  Playback later(sheet_of(2, {u"B+", u"x"}), keyboard, clock.function(), 1);
  EXPECT_TRUE(run(later, clock).ok());
  EXPECT_EQ(keyboard.typed(), u"x [TAB]");
}

TEST(Playback, TypesLiteralValuesAsWritten) {
  ResultSheet sheet = sheet_of(3, {u"A+", u"{x}", u"line\r\nbreak"});
  sheet.literal = true;
  RecordingKeyboard keyboard;
  ASSERT_TRUE(typekeys(sheet, keyboard).ok());
  EXPECT_EQ(keyboard.typed(), u"A + [TAB] { x } [TAB] l i n e [ENTER] b r e a k [TAB]");
  KeyEvents events;
  ASSERT_TRUE(playback_events(sheet, events).ok());
  EXPECT_EQ(events, keyboard.delivered());
  sheet.itemvalue[1] = u"4\u001B";
  const Status refused = typekeys(sheet, keyboard);
  EXPECT_NE(utf8(refused.message()).find("Entry 2"), std::string::npos);
}

TEST(Playback, HeldKeysAreNamedInPlainWords) {
  EXPECT_EQ(held_keys_text({HeldKey::shift}), u"Shift");
  EXPECT_EQ(held_keys_text({HeldKey::shift, HeldKey::altgr}), u"Shift and AltGr");
  EXPECT_EQ(held_keys_text({HeldKey::ctrl, HeldKey::alt, HeldKey::super}),
            u"Ctrl, Alt and the Windows (Super) key");
}

}  // namespace
}  // namespace tavrino
