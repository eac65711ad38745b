// SPDX-License-Identifier: MIT
#include "window/sheet_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/text.h"
#include "window/fakes.h"

namespace tavrino {
namespace {

// A sheet with `names` and `values` in slots 0, 1, ... and the count given
// separately, as a data file can have it.
ResultSheet sheet_of(std::int16_t count, const std::vector<std::u16string>& names,
                     const std::vector<std::u16string>& values) {
  ResultSheet sheet;
  sheet.itemcount = count;
  for (std::size_t i = 0; i < names.size(); ++i) sheet.itemname[i] = names[i];
  for (std::size_t i = 0; i < values.size(); ++i) sheet.itemvalue[i] = values[i];
  sheet.examnote = u"Term 2";
  return sheet;
}

TEST(ListText, NamesAreCutAndTabbedSoTheValuesLineUp) {
  const std::u16string smile = u"\U0001F600";  // one character written as two 16-bit units
  const std::u16string a12(12, u'a'), a13(13, u'a'), a14(14, u'a');
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Ann", u"Ann\t\t"},
      {u"Abcdefghijklm", u"Abcdefghijklm\t\t"},     // 13 characters: two tabs
      {u"Abcdefghijklmn", u"Abcdefghijklmn\t"},     // 14: one tab
      {u"Abcdefghijklmnop", u"Abcdefghijklmno\t"},  // 16: cut to 15
      {a14 + smile + u"bc", a14 + smile + u"\t"},   // a pair across the cut is kept whole
      {a13 + smile + u"bc", a13 + smile + u"\t"},   // a pair ending at the cut
      {a12 + smile, a12 + smile + u"\t"},           // a pair counts two units for the gap
  };
  // The value is shown whole, however long.
  const std::u16string value = u"B{+} and a long value";
  for (const auto& [name, shown] : cases) {
    SCOPED_TRACE(utf16_to_utf8(name));
    std::u16string text = u"left over";
    ASSERT_TRUE(list_text(sheet_of(1, {name}, {value}), text).ok());
    EXPECT_EQ(text, u"1. " + shown + value + u"\r\n");
  }
}

TEST(ListText, ShowsWhatWouldHideAsItsCode) {
  // A line separator would start a row of its own, a bidi control reorder
  // the row, a variation selector pass "45" off as two characters; they are
  // cut, tabbed and counted as stored, then shown as their codes.
  std::u16string text;
  ASSERT_TRUE(
      list_text(sheet_of(2, {u"Ann\u2028Bob", u"\u202Eevil"}, {u"4\uFE0F5", u"7\t8"}), text).ok());
  EXPECT_EQ(text, u"1. Ann<U+2028>Bob\t\t4<U+FE0F>5\r\n2. <U+202E>evil\t\t7<U+0009>8\r\n");
}

TEST(ListText, ShowsAsManySlotsAsTheCountSays) {
  const std::pair<std::int16_t, std::u16string> cases[] = {
      {3, u"1. Ann\t\t45\r\n2. Bob\t\t\r\n3. \t\t\r\n"},  // slots past the lists show empty
      {1, u"1. Ann\t\t45\r\n"},
      {0, u""},
      {-32767, u""},  // the lowest count that fits
  };
  for (const auto& [count, expected] : cases) {
    SCOPED_TRACE(count);
    std::u16string text = u"left over";
    ASSERT_TRUE(list_text(sheet_of(count, {u"Ann", u"Bob"}, {u"45"}), text).ok());
    EXPECT_EQ(text, expected);
  }
}

TEST(ListText, AllFiftyOneSlots) {
  ResultSheet sheet = sheet_of(kSlotCount, {}, {});
  sheet.itemname[50] = u"Last";
  sheet.itemvalue[50] = u"99";
  std::u16string text;
  ASSERT_TRUE(list_text(sheet, text).ok());
  EXPECT_TRUE(text.starts_with(u"1. \t\t\r\n2. "));
  EXPECT_TRUE(text.ends_with(u"\r\n50. \t\t\r\n51. Last\t\t99\r\n"));
}

TEST(ListText, RefusesCountsTheSlotsCannotHold) {
  for (std::int16_t count : {std::int16_t{52}, std::int16_t{-32768}}) {
    SCOPED_TRACE(count);
    std::u16string text = u"left over";
    const Status status = list_text(sheet_of(count, {u"Ann"}, {u"45"}), text);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(text.empty());
    // Refused before any control is touched.
    EventLog log;
    FakeControls controls(log);
    EXPECT_FALSE(refreshpage(sheet_of(count, {}, {}), controls).ok());
    EXPECT_TRUE(log.empty());
  }
}

TEST(Refreshpage, ShowsTheSheet) {
  ResultSheet loaded = sheet_of(1, {u"Ann"}, {u"45"});
  loaded.classtext = u"7A";
  loaded.subjecttext = u"Mathematics";
  loaded.examtext = u"Mid-term";
  ResultSheet empty_count = loaded;
  empty_count.itemcount = 0;
  empty_count.classtext.clear();
  ResultSheet rows = loaded;
  rows.literal = true;
  rows.classtext.clear();

  const struct {
    const char* what;
    ResultSheet sheet;
    std::u16string list, class_caption, exam_caption;
  } cases[] = {
      {"data with no entries and no class", empty_count, u"", u"CLASS : ", u"Mid-term (Term 2)"},
      // Rows hold no class: no "CLASS : " over nothing.
      {"rows", rows, u"1. Ann\t\t45\r\n", u"", u"Mid-term (Term 2)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EventLog log;
    FakeControls controls(log);
    ASSERT_TRUE(refreshpage(c.sheet, controls).ok());
    EXPECT_EQ(controls.shown(ControlId::lbltext), c.list);
    EXPECT_EQ(controls.shown(ControlId::lblClass), c.class_caption);
    EXPECT_EQ(controls.shown(ControlId::lblSub), u"Mathematics");
    EXPECT_EQ(controls.shown(ControlId::lblexam), c.exam_caption);
    EXPECT_TRUE(controls.enabled(ControlId::cmdStart));
  }
}

TEST(Refreshpage, NoDataKeepsTheLabels) {
  EventLog log;
  FakeControls controls(log);
  ResultSheet sheet = sheet_of(1, {u"Ann"}, {u"45"});
  sheet.classtext = u"7A";
  ASSERT_TRUE(refreshpage(sheet, controls).ok());
  sheet.examnote.clear();
  sheet.classtext = u"8B";
  ASSERT_TRUE(refreshpage(sheet, controls).ok());
  EXPECT_EQ(controls.shown(ControlId::lbltext), kNoData);
  EXPECT_EQ(controls.shown(ControlId::lblClass), u"CLASS : 7A");
  EXPECT_EQ(controls.shown(ControlId::lblexam), u" (Term 2)");
  EXPECT_FALSE(controls.enabled(ControlId::cmdStart));
}

// A write that fails ends the refresh: nothing is written after it, and
// START is never enabled over a pane or labels that still show another list.
TEST(Refreshpage, StopsAtTheFirstFailure) {
  const ResultSheet loaded = sheet_of(1, {u"Ann"}, {u"45"});
  ResultSheet no_note = loaded;
  no_note.examnote.clear();
  using Op = ControlOp;
  const struct {
    const ResultSheet* sheet;
    Op op;
    ControlId id;
  } cases[] = {
      {&loaded, Op::set_text, ControlId::lbltext},
      {&loaded, Op::set_caption, ControlId::lblexam},
      {&no_note, Op::set_text, ControlId::lbltext},
  };
  for (const auto& c : cases) {
    EventLog log;
    FakeControls controls(log);
    controls.fail(c.op, c.id);
    const Status status = refreshpage(*c.sheet, controls);
    SCOPED_TRACE(log.back());
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(log.back().ends_with(" FAILED"));
    EXPECT_EQ(std::find(log.begin(), log.end(), "set_enabled cmdStart on"), log.end());
  }
}

}  // namespace
}  // namespace tavrino
