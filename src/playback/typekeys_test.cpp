// SPDX-License-Identifier: MIT
#include "playback/typekeys.h"

#include <gtest/gtest.h>

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

    KeyEvents events;
    ASSERT_TRUE(playback_events(sheet_of(c.count, c.values), events).ok());
    EXPECT_EQ(events, keyboard.delivered());
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
    EXPECT_EQ(keyboard.send_calls(), 0);
    EXPECT_EQ(keyboard.end_calls(), 0);
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
    EXPECT_EQ(keyboard.send_calls(), 0);

    KeyEvents events = {KeyEvent::of_key(Key::up)};
    EXPECT_FALSE(playback_events(sheet_of(c.count, c.values), events).ok());
    EXPECT_TRUE(events.empty());
  }
}

TEST(Typekeys, KeyboardRefusingBeginTypesNothing) {
  RecordingKeyboard keyboard;
  keyboard.fail_begin(u"No key can type \u00e9.");
  const Status status = typekeys(sheet_of(1, {u"a"}), keyboard);
  ASSERT_FALSE(status.ok());
  EXPECT_TRUE(contains(status.message(), u"No key can type \u00e9.")) << utf8(status.message());
  EXPECT_EQ(keyboard.send_calls(), 0);
  EXPECT_EQ(keyboard.end_calls(), 0);
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

}  // namespace
}  // namespace tavrino
