// SPDX-License-Identifier: MIT
#include "sheet/row_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "sheet/data_file.h"

namespace tavrino {
namespace {

std::string join(const std::array<std::u16string, kSlotCount>& slots, int count) {
  std::string out;
  for (int j = 0; j < count; ++j) {
    out += (j > 0 ? "/" : "") + utf16_to_utf8(slots[static_cast<std::size_t>(j)]);
  }
  return out;
}

// count|names|values|delimiter|subject, or "error: " and the message.
std::string load(std::string_view bytes) {
  ResultSheet sheet;
  RowsRead read;
  const Status status = read_rows(std::as_bytes(std::span(bytes.data(), bytes.size())),
                                  file_rows(u"m.csv"), sheet, read);
  if (!status) return "error: " + utf16_to_utf8(status.message());
  const std::string delimiter = read.delimiter == u'\t' ? "tab"
                                : read.delimiter == 0   ? "one"
                                                        : std::string(1, char(read.delimiter));
  EXPECT_TRUE(sheet.literal);
  EXPECT_EQ(sheet.first_row, read.header ? 2 : 1);
  return std::to_string(sheet.itemcount) + "|" + join(sheet.itemname, sheet.itemcount) + "|" +
         join(sheet.itemvalue, sheet.itemcount) + "|" + delimiter + "|" +
         utf16_to_utf8(sheet.subjecttext);
}

// Excel's "Unicode text": UTF-16 little-endian with a byte-order mark.
std::string utf16(std::string_view ascii) {
  std::string out = "\xFF\xFE";
  for (const char c : ascii) out += std::string{c, '\0'};
  return out;
}

// `n` rows "Sn,n", after `head`.
std::string rows(int n, std::string head = "") {
  for (int i = 1; i <= n; ++i) head += "S" + std::to_string(i) + "," + std::to_string(i) + "\n";
  return head;
}

TEST(ReadRows, WhatASpreadsheetGives) {
  const struct {
    std::string bytes;
    // A whole result; or its start, then "..."; or "error: " and the start of
    // the message.
    std::string sheet;
  } cases[] = {
      // Each delimiter, found from the text.
      {"Ann,45\nBob,52\n", "2|Ann/Bob|45/52|,|"},
      {"Ann;7,5\r\nBob;8\r\n", "2|Ann/Bob|7,5/8|;|"},
      {"Ann\t7,5\nBob\t8", "2|Ann/Bob|7,5/8|tab|"},
      {"Ann,1\rBob,2\r", "2|Ann/Bob|1/2|,|"},
      // A semicolon in a comma file's name splits no row alike.
      {"Ann; Jo,45\nBob,52\n", "2|Ann; Jo/Bob|45/52|,|"},
      // One column: every cell a mark; decimal commas stay in the mark.
      {"45\n52\n38\n", "3|//|45/52/38|one|"},
      {"7,5\n8\n6,25\n", "3|//|7,5/8/6,25|one|"},
      {"\"7,5\"\n\"8,5\"\n", "2|/|7,5/8,5|one|"},
      {"7,5\n8,5\n", "error: Every row of \"m.csv\" reads as one mark with a decimal comma"},
      // Further columns are ignored.
      {"Ann,45,good\nBob,52,\"fine, really\"\n", "2|Ann/Bob|45/52|,|"},
      // Quotes: the delimiter, doubled quotes and line breaks inside; blanks
      // around them; a quote inside an unquoted cell is a character.
      {"\"Raman, Priya\",74\n\"O\"\"Brien\",\"5\"\n", "2|Raman, Priya/O\"Brien|74/5|,|"},
      {"Ann,\"line 1\r\nline 2\"\nBob,3\n", "2|Ann/Bob|line 1\r\nline 2/3|,|"},
      {"O\"Brien;45\nAnn; \"7;5\" \n", "2|O\"Brien/Ann|45/7;5|;|"},
      {"Ann,\"7\"x\nBob,8\n", "error: Row 1 of \"m.csv\" has text after the closing quote"},
      {"Ann,45\nBob,\"52\nCy,38\n", "error: Row 2 of \"m.csv\" opens a quoted cell that has no"},
      // Encodings.
      {"\xEF\xBB\xBFName,Mark\nZo\xC3\xAB,45\n", "1|Zo\xC3\xAB|45|,|Mark"},
      {"Zo\xEB;45\n\xC5ke;7,5\n", "2|Zo\xC3\xAB/\xC3\x85ke|45/7,5|;|"},  // Windows-1252
      {utf16("Name\tMark\r\nAnn\t45\r\n"), "1|Ann|45|tab|Mark"},
      {std::string("Ann,1\nBob,2\nC\0y,3\n", 18),
       "error: Cannot read row 3 of \"m.csv\" as text (a spreadsheet must be saved as CSV"},
      {std::string("PK\x03\x04\x14\0\x06\0", 8), "error: Cannot read row 1 of \"m.csv\""},
      // The header: heading words in any case and several languages, or a
      // word above numbers; a mark that is a number is never a header.
      {"Student,Score\nAnn,45\n", "1|Ann|45|,|Score"},
      {"NAZWISKO;Ocena:\nAnn;5\n", "1|Ann|5|;|Ocena:"},
      {"Mark\n45\n52\n", "2|/|45/52|one|Mark"},
      {"Name;Test 1\nAnn;5\nBob;\n", "2|Ann/Bob|5/|;|Test 1"},
      {"Student;45\nBob;52\n", "2|Student/Bob|45/52|;|"},
      {"Ann;A+\nBob;B\n", "2|Ann/Bob|A+/B|;|"},
      {"Name;Mark\n", "error: There are no rows below the header row of \"m.csv\"."},
      // Empty cells stay entries; empty rows at the end are ignored, those in
      // the middle are entries.
      {"Ann;\n;52\n", "2|Ann/|/52|;|"},
      {"Ann,1\n\nBob,2\n,\n\n", "3|Ann//Bob|1//2|,|"},
      {"\n\n", "error: There are no rows in \"m.csv\"."},
      // Rows that split unlike the first.
      {"Ann,45\nRaman, Priya,74\n",
       "error: Row 2 of \"m.csv\" has 3 cells where row 1 has 2, split at each comma"},
      // Limits: 51 entries, with a header and empty rows after them too.
      {rows(51), "51|..."},
      {rows(51, "Name,Mark\n") + ",\n\n\n", "51|..."},
      {rows(52), "error: Row 52 of \"m.csv\" would be entry 52, but the list holds at most 51"},
      {rows(51) + "\n\n\n\nx,1\n", "error: Row 52 of \"m.csv\" would be entry 52"},
      {"Ann," + std::string(kMaxItemLength, '9') + "\n", "1|Ann|..."},
      {"Ann,1\nBob," + std::string(kMaxItemLength + 1, '9') + "\n",
       "error: Row 2 of \"m.csv\" has a cell of more than 65536 characters"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 80));
    const std::string got = load(c.bytes);
    if (c.sheet.starts_with("error: ") || c.sheet.ends_with("...")) {
      EXPECT_TRUE(got.starts_with(c.sheet.substr(0, c.sheet.find("...")))) << got;
    } else {
      EXPECT_EQ(got, c.sheet);
    }
  }
}

TEST(ReadRows, AGuessedHeaderIsSaid) {
  // A word above numbers is a header; the guess can be wrong, which is why it
  // is said, and a heading word needs no such note.
  for (const std::u16string_view text : {u"Test 1;Final\nAnn;5\n", u"Ann;absent\nBob;5\n"}) {
    ResultSheet sheet;
    RowsRead read;
    ASSERT_TRUE(read_row_text(text, pasted_rows(), sheet, read));
    EXPECT_TRUE(read.header);
    EXPECT_TRUE(utf16_to_utf8(read.note).starts_with("Row 1 of the pasted cells ("))
        << utf16_to_utf8(read.note);
  }
  ResultSheet sheet;
  RowsRead read;
  ASSERT_TRUE(read_row_text(u"Name;Mark\nAnn;5\n", pasted_rows(), sheet, read));
  EXPECT_TRUE(read.header);
  EXPECT_EQ(read.note, u"");
}

TEST(ReadRows, ARefusedTextLeavesTheSheetAlone) {
  ResultSheet sheet;
  RowsRead read;
  ASSERT_TRUE(read_row_text(u"Ann\t45\nBob\t52\n", pasted_rows(), sheet, read));
  sheet.classtext = u"kept";
  const ResultSheet before = sheet;
  const RowsRead read_before = read;
  EXPECT_FALSE(read_row_text(u"Ann\t\"45\n", pasted_rows(), sheet, read));
  EXPECT_EQ(sheet, before);
  EXPECT_EQ(read.rows, read_before.rows);
  // A load replaces everything, the heading too.
  ASSERT_TRUE(read_row_text(u"7\n", pasted_rows(), sheet, read));
  EXPECT_EQ(sheet.classtext, u"");
  EXPECT_EQ(sheet.examtext, u"Pasted cells");
  EXPECT_EQ(sheet.itemname[1], u"");
}

TEST(ReadRows, WhichFilesAndPastesAreRows) {
  const auto bytes_of = [](std::string_view text) {
    return std::vector<std::byte>(reinterpret_cast<const std::byte*>(text.data()),
                                  reinterpret_cast<const std::byte*>(text.data()) + text.size());
  };
  const std::vector<std::byte> rows = bytes_of("Ann;7,5\nBob;8\n");
  for (std::u16string_view path : {u"a.csv", u"/x.y/B.TSV", u"C:\\m\\7A.Txt"}) {
    EXPECT_TRUE(is_row_file(path, rows)) << utf16_to_utf8(path);
  }
  for (std::u16string_view path : {u"a.ipt", u"/dev/stdin", u"/x.csv/data", u"csv"}) {
    EXPECT_FALSE(is_row_file(path, rows)) << utf16_to_utf8(path);
  }
  // A data file saved as text, in one-byte text or UTF-16 either way round,
  // stays a data file; a spreadsheet's file does not even then.
  using namespace std::string_view_literals;
  for (const std::string_view data : {"2,x,Ann_%_Bob,45_%_52,,,7A,,M,,E,N\n"sv,
                                      "\xff\xfe"
                                      "2\0\n\0A\0_\0%\0_\0B\0"sv,
                                      "\xfe\xff"
                                      "\0"
                                      "2\0\n\0A\0_\0%\0_\0B"sv}) {
    EXPECT_FALSE(is_row_file(u"7A.txt", bytes_of(data)));
    EXPECT_TRUE(is_row_file(u"7A.csv", bytes_of(data)));
  }
  for (std::u16string_view text : {u"Ann\t45", u"45\n52", u"45\r\n52\r\n", u"\t"}) {
    EXPECT_TRUE(is_cell_paste(text)) << utf16_to_utf8(text);
  }
  for (std::u16string_view text : {u"/home/ann/7A.csv", u"12\n", u"12\r\n", u""}) {
    EXPECT_FALSE(is_cell_paste(text)) << utf16_to_utf8(text);
  }
}

}  // namespace
}  // namespace tavrino
