// SPDX-License-Identifier: MIT
#include "window/sheet_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(ListText, LinesNamesAndGaps) {
  // U+1F600 is one character written as two 16-bit units.
  const std::u16string smile = u"\U0001F600";
  const struct {
    const char* what;
    std::int16_t count;
    std::vector<std::u16string> names;
    std::vector<std::u16string> values;
    std::u16string expected;
  } cases[] = {
      {"short and long name",
       2,
       {u"Ann", u"Christopher Robinson"},
       {u"45", u"7"},
       u"1. Ann\t\t45\r\n2. Christopher Rob\t7\r\n"},
      {"13 characters: two tabs", 1, {u"Abcdefghijklm"}, {u"1"}, u"1. Abcdefghijklm\t\t1\r\n"},
      {"14 characters: one tab, whole",
       1,
       {u"Abcdefghijklmn"},
       {u"1"},
       u"1. Abcdefghijklmn\t1\r\n"},
      {"15 characters: one tab, whole",
       1,
       {u"Abcdefghijklmno"},
       {u"1"},
       u"1. Abcdefghijklmno\t1\r\n"},
      {"16 characters: cut to 15", 1, {u"Abcdefghijklmnop"}, {u"1"}, u"1. Abcdefghijklmno\t1\r\n"},
      {"empty name", 1, {u""}, {u"9"}, u"1. \t\t9\r\n"},
      {"count above the lists shows empty slots",
       3,
       {u"Ann", u"Bob"},
       {u"45"},
       u"1. Ann\t\t45\r\n2. Bob\t\t\r\n3. \t\t\r\n"},
      {"count below the lists shows only the first",
       1,
       {u"Ann", u"Bob"},
       {u"45", u"52"},
       u"1. Ann\t\t45\r\n"},
      {"value is shown whole",
       1,
       {u"Ann"},
       {u"B{+} and a long value"},
       u"1. Ann\t\tB{+} and a long value\r\n"},
      {"count 0", 0, {u"Ann"}, {u"45"}, u""},
      {"negative count", -1, {u"Ann"}, {u"45"}, u""},
      {"lowest negative count that fits", -32767, {u"Ann"}, {u"45"}, u""},
      {"pair across the cut is kept whole",
       1,
       {std::u16string(14, u'a') + smile + u"bc"},
       {u"1"},
       u"1. " + std::u16string(14, u'a') + smile + u"\t1\r\n"},
      {"pair ending at the cut",
       1,
       {std::u16string(13, u'a') + smile + u"bc"},
       {u"1"},
       u"1. " + std::u16string(13, u'a') + smile + u"\t1\r\n"},
      {"pair counts two units for the gap",
       1,
       {std::u16string(12, u'a') + smile},
       {u"1"},
       u"1. " + std::u16string(12, u'a') + smile + u"\t1\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string text = u"left over";
    ASSERT_TRUE(list_text(sheet_of(c.count, c.names, c.values), text).ok());
    EXPECT_EQ(text, c.expected);
  }
}

TEST(ListText, AllFiftyOneSlots) {
  ResultSheet sheet = sheet_of(kSlotCount, {}, {});
  sheet.itemname[50] = u"Last";
  sheet.itemvalue[50] = u"99";
  std::u16string text;
  ASSERT_TRUE(list_text(sheet, text).ok());
  std::size_t lines = 0;
  for (std::size_t at = text.find(u"\r\n"); at != std::u16string::npos;
       at = text.find(u"\r\n", at + 2)) {
    ++lines;
  }
  EXPECT_EQ(lines, 51u);
  EXPECT_TRUE(text.starts_with(u"1. \t\t\r\n2. "));
  EXPECT_TRUE(text.ends_with(u"\r\n51. Last\t\t99\r\n"));
}

TEST(ListText, RefusesCountsTheSlotsCannotHold) {
  for (std::int16_t count : {std::int16_t{52}, std::int16_t{32767}, std::int16_t{-32768}}) {
    SCOPED_TRACE(count);
    std::u16string text = u"left over";
    const Status status = list_text(sheet_of(count, {u"Ann"}, {u"45"}), text);
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().empty());
    EXPECT_TRUE(text.empty());
    // Refused before any control is touched.
    EventLog log;
    FakeControls controls(log);
    EXPECT_FALSE(refreshpage(sheet_of(count, {}, {}), controls).ok());
    EXPECT_TRUE(log.empty());
  }
}

TEST(Refreshpage, WritesControlsInOrder) {
  ResultSheet loaded = sheet_of(1, {u"Ann"}, {u"45"});
  loaded.classtext = u"7A";
  loaded.subjecttext = u"Mathematics";
  loaded.examtext = u"Mid-term";
  ResultSheet empty_count = loaded;
  empty_count.itemcount = 0;
  empty_count.classtext.clear();
  ResultSheet no_note = loaded;
  no_note.examnote.clear();

  const struct {
    const char* what;
    ResultSheet sheet;
    EventLog expected;
  } cases[] = {
      {"data",
       loaded,
       {R"(set_text lbltext "1. Ann\t\t45\r\n")", R"(set_caption lblClass "CLASS : 7A")",
        R"(set_caption lblSub "Mathematics")", R"x(set_caption lblexam "Mid-term (Term 2)")x",
        "set_enabled cmdStart on"}},
      {"data with no entries and no class",
       empty_count,
       {R"(set_text lbltext "")", R"(set_caption lblClass "CLASS : ")",
        R"(set_caption lblSub "Mathematics")", R"x(set_caption lblexam "Mid-term (Term 2)")x",
        "set_enabled cmdStart on"}},
      {"no exam note: no data, whatever the count",
       no_note,
       {R"(set_text lbltext "No Data...")", "set_enabled cmdStart off"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EventLog log;
    FakeControls controls(log);
    ASSERT_TRUE(refreshpage(c.sheet, controls).ok());
    EXPECT_EQ(log, c.expected);
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

TEST(Refreshpage, StopsAtTheFirstFailure) {
  const ResultSheet loaded = sheet_of(1, {u"Ann"}, {u"45"});
  ResultSheet no_note = loaded;
  no_note.examnote.clear();
  using Op = ControlOp;
  const struct {
    const ResultSheet* sheet;
    Op op;
    ControlId id;
    std::size_t operations;  // made, counting the failed one
  } cases[] = {
      {&loaded, Op::set_text, ControlId::lbltext, 1},
      {&loaded, Op::set_caption, ControlId::lblClass, 2},
      {&loaded, Op::set_caption, ControlId::lblSub, 3},
      {&loaded, Op::set_caption, ControlId::lblexam, 4},
      {&loaded, Op::set_enabled, ControlId::cmdStart, 5},
      {&no_note, Op::set_text, ControlId::lbltext, 1},
      {&no_note, Op::set_enabled, ControlId::cmdStart, 2},
  };
  for (const auto& c : cases) {
    EventLog log;
    FakeControls controls(log);
    controls.fail(c.op, c.id);
    const Status status = refreshpage(*c.sheet, controls);
    SCOPED_TRACE(log.back());
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().empty());
    EXPECT_EQ(log.size(), c.operations);
    EXPECT_TRUE(log.back().ends_with(" FAILED"));
  }
}

}  // namespace
}  // namespace tavrino
