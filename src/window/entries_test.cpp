// SPDX-License-Identifier: MIT
#include "window/entries.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"

namespace tavrino {
namespace {

ResultSheet rows_sheet(std::int32_t first_row, std::vector<std::u16string> values) {
  ResultSheet sheet;
  sheet.literal = true;
  sheet.first_row = first_row;
  sheet.itemcount = static_cast<std::int16_t>(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) sheet.itemvalue[i] = values[i];
  return sheet;
}

TEST(Entries, AMarkThatCannotBeTypedIsNamedByItsRow) {
  const struct {
    const char* what;
    ResultSheet sheet;
    std::size_t first;
    std::string error;  // its start; empty: success
  } cases[] = {
      {"below a header", rows_sheet(2, {u"4", u"A+", u"5\x1B"}), 0,
       "Entry 3 (row 4, \"5\x1B\") cannot be typed, at character 2: The control character U+001B"},
      {"no header", rows_sheet(1, {u"4\uFFFF"}), 0, "Entry 1 (row 1, "},
      {"typed before the next START", rows_sheet(2, {u"4\x01", u"5"}), 1, ""},
      {"key-string syntax is text here", rows_sheet(1, {u"{x", u"%{F4}"}), 0, ""},
      {"a data file is checked by the playback",
       [] {
         ResultSheet data = rows_sheet(1, {u"\x01"});
         data.literal = false;
         return data;
       }(),
       0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Status status = check_rows_typable(c.sheet, c.first);
    EXPECT_TRUE(utf16_to_utf8(status.message()).starts_with(c.error))
        << utf16_to_utf8(status.message());
    EXPECT_EQ(status.ok(), c.error.empty());
  }
}

}  // namespace
}  // namespace tavrino
