// SPDX-License-Identifier: MIT
#include "window/check.h"

#include <gtest/gtest.h>

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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFile file(c.file);
    const CheckReport report = check_file(file.path());
    EXPECT_EQ(report.exit_code, c.exit_code);
    EXPECT_EQ(report.output, c.output);
    EXPECT_EQ(report.error.empty(), c.exit_code != 2);
    EXPECT_EQ(report.error.find('\n'), std::string::npos);
  }
}

TEST(CheckFile, MissingFileIsRefused) {
  std::u16string path;
  {
    ScratchFile gone("1");
    path = gone.path();
  }
  const CheckReport report = check_file(path);
  EXPECT_EQ(report.exit_code, 2);
  EXPECT_TRUE(report.output.empty());
  EXPECT_FALSE(report.error.empty());
}

}  // namespace
}  // namespace tavrino
