// SPDX-License-Identifier: MIT
#include "window/check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "window/fakes.h"

namespace tavrino {
namespace {

TEST(CheckFile, ExitCodesAndOutput) {
  const struct {
    const char* what;
    std::string_view file;
    int exit_code;
    std::string output;
  } cases[] = {
      {"typical",
       "3\nany\nAnn_%_Bob_%_Cy\n45_%_52_%_38\nany\nany\n7A\nany\nMathematics\nany\nMid-term\nTerm "
       "2\n",
       0, "Mid-term (Term 2)\nMathematics\nCLASS : 7A\n1. Ann\t\t45\n2. Bob\t\t52\n3. Cy\t\t38\n"},
      {"one line, count 0", "0,,,,,,,,,,,Note\n", 0, " (Note)\n\nCLASS : \n"},
      {"no exam note", "3\nany\nAnn_%_Bob_%_Cy\n45_%_52_%_38\n", 1, "No Data...\n"},
      {"a value that is not a key string", "1,,Ann,B+,,,7A,,M,,E,N\n", 2, ""},
      {"empty file", "", 2, ""},
      // Nothing that a terminal would act on or hide gets through as it is.
      {"ESC, CR and a bidi override in names and values",
       "2,,\"Ann\x1B[8m_%_\xE2\x80\xAE"
       "evil\",\"4\r^a{DEL}%{F4}~_%_5\",,,7A,,M,,E,N\n",
       0,
       "E (N)\nM\nCLASS : 7A\n1. Ann<U+001B>[8m\t\t4<U+000D>^a{DEL}%{F4}~\n"
       "2. <U+202E>evil\t\t5\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFile file(c.file);
    const CheckReport report = check_file(file.path(), StandardFileReader());
    EXPECT_EQ(report.exit_code, c.exit_code);
    EXPECT_EQ(report.output, c.output);
    EXPECT_EQ(report.error.empty(), c.exit_code != 2);
    EXPECT_EQ(report.error.find('\n'), std::string::npos);
  }
}

TEST(CheckFile, RowsAndWhatTheWindowWouldSay) {
  const struct {
    const char* name;
    std::string_view file;
    int exit_code;
    std::string output;
    std::string message;  // the start of the error or the note; empty: none
  } cases[] = {
      {"m.csv", "Name;Mark\nAnn;A+\nBob;{x}\n", 0,
       "m.csv (2 entries)\nMark\n\n1. Ann\t\tA+\n2. Bob\t\t{x}\n", ""},
      {"m.tsv", "Ann\t\"4\x1B\"\n", 2, "", "Entry 1 (row 1, \"4<U+001B>\") cannot be typed"},
      {"m.txt", "Final mark\n4\n", 0, "m.txt (1 entry)\nFinal mark\n\n1. \t\t4\n", "Row 1 of "},
      // A fresh sheet: slots 3 and 4 show empty, whatever a window that had
      // loaded another file first would carry over into them.
      {"m.ipt", "4,,A_%_B,1_%_2,,,7A,,M,,E,N\n", 0,
       "E (N)\nM\nCLASS : 7A\n1. A\t\t1\n2. B\t\t2\n3. \t\t\n4. \t\t\n",
       "Entries 3 and 4 have no marks: this file has 2 values for 4 entries"},
      // A value that cannot be typed is quoted in the error, escaped like the list.
      {"c.ipt", "1,,Ann,\"4\x1B[2J\",,,7A,,M,,E,N\n", 2, "",
       "Entry 1 (\"4<U+001B>[2J\") cannot be typed, at character 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFile file(c.file, c.name);
    const CheckReport report = check_file(file.path(), StandardFileReader());
    EXPECT_EQ(report.exit_code, c.exit_code);
    EXPECT_EQ(report.output, c.output);
    const std::string& message = c.exit_code == 2 ? report.error : report.note;
    EXPECT_TRUE(message.starts_with(c.message)) << message;
    EXPECT_EQ(message.empty(), c.message.empty()) << message;
    EXPECT_EQ(message.find('\x1B'), std::string::npos);
  }
}

}  // namespace
}  // namespace tavrino
