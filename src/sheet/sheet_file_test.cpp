// SPDX-License-Identifier: MIT
#include "sheet/sheet_file.h"

#include <gtest/gtest.h>

#include "base/scratch_dir.h"
#include "base/text.h"

namespace tavrino {
namespace {

TEST(LoadFile, TheNameDecidesTheReader) {
  // The same bytes: a data file of one item, or a row of two cells.
  const std::string bytes = "4,x\n";
  const struct {
    const char* name;
    bool rows;
    int count;
  } cases[] = {{"a.ipt", false, 4}, {"a.csv", true, 1}, {"a.TXT", true, 1}, {"a", false, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFile file(bytes, c.name);
    ResultSheet sheet;
    Loaded loaded;
    ASSERT_TRUE(load_file(file.path(), sheet, StandardFileReader(), loaded));
    EXPECT_EQ(loaded.rows, c.rows);
    EXPECT_EQ(sheet.literal, c.rows);
    EXPECT_EQ(sheet.itemcount, c.count);
  }
  ResultSheet sheet;
  Loaded loaded;
  const Status missing = load_file(u"/nonexistent/m.csv", sheet, StandardFileReader(), loaded);
  EXPECT_FALSE(missing);
  EXPECT_EQ(sheet, ResultSheet());
}

TEST(LoadFile, SaysWhichEntriesTheFileBeforeFills) {
  const std::string eight =
      "8,x,A_%_B_%_C_%_D_%_E_%_F_%_G_%_H,1_%_2_%_3_%_4_%_5_%_6_%_7_%_8,,,7A,,M,,E,N\n";
  const struct {
    const char* what;
    bool after_eight;  // loaded after a file of eight entries
    std::string file;
    std::string note;  // a part of it; empty: no note
  } cases[] = {
      {"as many values as entries", true, "2,x,A_%_B,1_%_2,,,7A,,M,,E,N\n", ""},
      {"more values than entries", false, "1,x,A_%_B,1_%_2,,,7A,,M,,E,N\n", ""},
      {"two short", true, "4,x,A_%_B,1_%_2,,,7A,,M,,E,N\n",
       "Entries 3 and 4 keep the marks of the file loaded before"},
      {"one short", true, "4,x,A,1_%_2_%_3,,,7A,,M,,E,N\n",
       "Entry 4 keeps the mark of the file loaded before"},
      {"no values", true, "5,x,A,,,,7A,,M,,E,N\n", "Entries 1 to 5 keep the marks"},
      {"nothing before", false, "3,x,A,1,,,7A,,M,,E,N\n", "Entries 2 and 3 have no marks"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResultSheet sheet;
    Loaded loaded;
    if (c.after_eight) {
      ScratchFile before(eight, "before.ipt");
      ASSERT_TRUE(load_file(before.path(), sheet, StandardFileReader(), loaded));
      ASSERT_EQ(loaded.note, u"");
    }
    ScratchFile file(c.file, "f.ipt");
    ASSERT_TRUE(load_file(file.path(), sheet, StandardFileReader(), loaded));
    const std::string note = utf16_to_utf8(loaded.note);
    if (c.note.empty()) {
      EXPECT_EQ(note, "");
    } else {
      EXPECT_TRUE(note.starts_with(c.note)) << note;
    }
  }
}

TEST(LoadFile, ADataFileAfterRowsKeepsNoneOfTheirText) {
  ScratchFile rows("Name;Mark\nAnn;~5\nBob;A+\nCy;3\n", "m.csv");
  ScratchFile short_list("3,x,Zed,9,,,7B,,Art,,Final,T3\n", "f.ipt");
  ResultSheet sheet;
  Loaded loaded;
  ASSERT_TRUE(load_file(rows.path(), sheet, StandardFileReader(), loaded));
  ASSERT_TRUE(load_file(short_list.path(), sheet, StandardFileReader(), loaded));
  EXPECT_FALSE(sheet.literal);
  EXPECT_EQ(sheet.first_row, 0);
  EXPECT_EQ(sheet.itemvalue[1], u"");
  EXPECT_EQ(sheet.itemname[1], u"");
  EXPECT_TRUE(utf16_to_utf8(loaded.note).starts_with("Entries 2 and 3 have no marks"));
  // A refused data file leaves the rows as they were.
  ASSERT_TRUE(load_file(rows.path(), sheet, StandardFileReader(), loaded));
  const ResultSheet before = sheet;
  ScratchFile bad("3,x,\"Zed\n", "bad.ipt");
  EXPECT_FALSE(load_file(bad.path(), sheet, StandardFileReader(), loaded));
  EXPECT_EQ(sheet, before);
}

}  // namespace
}  // namespace tavrino
