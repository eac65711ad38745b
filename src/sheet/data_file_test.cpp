// SPDX-License-Identifier: MIT
#include "sheet/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/scratch_dir.h"
#include "base/text.h"

namespace tavrino {
namespace {

namespace fs = std::filesystem;

Status read_string(std::string_view data, ResultSheet& sheet) {
  return read_data(std::as_bytes(std::span(data.data(), data.size())), u"F.ipt", sheet);
}

std::string join(const std::array<std::u16string, kSlotCount>& slots) {
  std::size_t used = kSlotCount;
  while (used > 0 && slots[used - 1].empty()) --used;
  std::string out;
  for (std::size_t j = 0; j < used; ++j) out += (j > 0 ? "/" : "") + utf16_to_utf8(slots[j]);
  return out;
}

// count|names|values|class|subject|exam|note, with the slots up to the last
// one that holds something.
std::string render(const ResultSheet& s) {
  return std::to_string(s.itemcount) + "|" + join(s.itemname) + "|" + join(s.itemvalue) + "|" +
         utf16_to_utf8(s.classtext) + "|" + utf16_to_utf8(s.subjecttext) + "|" +
         utf16_to_utf8(s.examtext) + "|" + utf16_to_utf8(s.examnote);
}

std::string load(std::string_view data) {
  ResultSheet sheet;
  const Status status = read_string(data, sheet);
  return status ? render(sheet) : "error: " + utf16_to_utf8(status.message());
}

const std::string kExample =
    "3\nx\nAnn_%_Bob_%_Cy\n45_%_52_%_38\nx\nx\n7A\nx\nMathematics\nx\nMid-term\nTerm 2\n";
const std::string kExampleSheet = "3|Ann/Bob/Cy|45/52/38|7A|Mathematics|Mid-term|Term 2";

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST(ReadData, ItemSyntax) {
  const struct {
    std::string data;
    std::string sheet;
  } cases[] = {
      {kExample, kExampleSheet},
      {replace_all(kExample, "\n", "\r\n"), kExampleSheet},
      {replace_all(kExample, "\n", "\r"), kExampleSheet},
      {kExample.substr(0, kExample.size() - 1), kExampleSheet},
      {"3,x,Ann_%_Bob_%_Cy,45_%_52_%_38,x,x,7A,x,Mathematics,x,Mid-term,Term 2", kExampleSheet},
      // Quotes protect commas and line ends; blanks around them are skipped.
      {"\"3\",\"x\",\"Smith, Ann_%_Bob\",\"45_%_52\",,,\"7A\" ,,\"Maths,\npure\",,  "
       "\"Mid\r\nterm\"  ,"
       "\"  Term 2  \"",
       "3|Smith, Ann/Bob|45/52|7A|Maths,\npure|Mid\r\nterm|  Term 2  "},
      // Blanks in front of and after an unquoted item are dropped, not inside;
      // a tab is no blank but a keystroke of the value.
      {"  3  ,\tx ,  Ann  _%_ Bob  ,45\n", "3|Ann  / Bob|45||||"},
      {"3,x,\tAnn\t,\t45 \t ", "3|\tAnn\t|\t45 \t||||"},
      // A blank line is an empty item.
      {"3\n\nAnn\n\n  \n\n7A\n", "3|Ann||7A|||"},
      // A comma at the end of a line makes no extra item...
      {"3,\nx,\nAnn,  \n45,\n,\n,\n7A,\n", "3|Ann|45|7A|||"},
      // ...but "" there does.
      {"3,,,,,,,,,,Mid-term,\"\"\nTerm 2", "3|||||Mid-term|"},
      {"3\n\n\n\n\n\n\n\n\n\n\n\n\n\nTerm", "3||||||"},
      {"3,x,O\"Brien_%_a\"b", "3|O\"Brien/a\"b|||||"},
      {"3,x,Ann,,,,\xC3\xA9t\xC3\xA9", "3|Ann||\xC3\xA9t\xC3\xA9|||"},
      {"3,x,Ann,,,,caf\xE9", "3|Ann||caf\xC3\xA9|||"},  // Windows-1252
      {"-32767", "-32767||||||"},
      {"51", "51||||||"},
      // The longest item the sheet takes, followed by one it does not take.
      {"1,x,,,,,\"" + std::string(kMaxItemLength, 'c') + "\"," +
           std::string(2 * kMaxItemLength, 'z'),
       "1|||" + std::string(kMaxItemLength, 'c') + "|||"},
  };
  for (const auto& c : cases) EXPECT_EQ(load(c.data), c.sheet) << c.data;
}

TEST(ReadData, ReadsUtf16) {
  std::string le("\xFF\xFE", 2);
  std::string be("\xFE\xFF", 2);
  for (const char c : kExample) {
    le += std::string{c, '\0'};
    be += std::string{'\0', c};
  }
  EXPECT_EQ(load(le), kExampleSheet);
  EXPECT_EQ(load(be), kExampleSheet);
}

TEST(ReadData, LineEndSplitAcrossPieces) {
  // The CR is the last byte of the first 64 KiB piece and its LF the first of
  // the next; counted twice, the pair would shift every later item by one.
  std::string data = "3,";
  data += std::string(65535 - data.size(), 'y');
  data += "\r\nAnn\r\n45\r\n";
  ASSERT_EQ(data[65535], '\r');
  EXPECT_EQ(load(data), "3|Ann|45||||");
  // The same inside quotes keeps the pair as it is.
  std::string quoted_data = "3,x,\"";
  quoted_data += std::string(65535 - quoted_data.size(), 'y');
  quoted_data += "\r\nz\",45";
  EXPECT_EQ(load(quoted_data), "3|" + std::string(65535 - 5, 'y') + "\r\nz|45||||");
}

TEST(ReadData, MergesIntoWhatEarlierFilesLeft) {
  const struct {
    std::string first;
    std::string second;
    std::string sheet;
  } cases[] = {
      {"5,x,A_%_B_%_C_%_D_%_E", "3,x,Ann_%_Bob_%_Cy", "3|Ann/Bob/Cy/D/E|||||"},
      {kExample, "4", "4|Ann/Bob/Cy|45/52/38|7A|Mathematics|Mid-term|Term 2"},
      {kExample, "2,x,P_%_Q,1_%_2,,,8B,,Art", "2|P/Q/Cy|1/2/38|8B|Art|Mid-term|Term 2"},
      // Empty pieces overwrite their slots too.
      {kExample, "2,x,_%_,_%__%_7", "2|//Cy|//7|7A|Mathematics|Mid-term|Term 2"},
      // Empty items overwrite texts; the comma at the end reaches no item 11.
      {kExample, "2,x,Zed,,,,,,,,,", "2|Zed/Bob/Cy|45/52/38||||Term 2"},
  };
  for (const auto& c : cases) {
    ResultSheet sheet;
    ASSERT_TRUE(read_string(c.first, sheet).ok());
    const Status status = read_string(c.second, sheet);
    EXPECT_TRUE(status.ok()) << utf16_to_utf8(status.message());
    EXPECT_EQ(render(sheet), c.sheet) << c.second;
  }
}

std::string list_of(int pieces) {
  std::string list = "p0";
  for (int k = 1; k < pieces; ++k) list += "_%_p" + std::to_string(k);
  return list;
}

// A refusal names the item or line at fault and leaves the sheet as it was.
TEST(ReadData, RefusedLoadsLeaveTheSheetAlone) {
  const struct {
    std::string data;
    std::string message;  // a part of it
  } cases[] = {
      {"3,x," + list_of(52), "The names list in item 2 of \"F.ipt\" has 52 entries"},
      // Held only up to the longest item the sheet takes; a list that runs
      // past it is refused for its entries as soon as it does.
      {"3,x,a," + list_of(20000), "The values list in item 3 of \"F.ipt\" has more than 51"},
      {"3,x,a,b,,,\"" + std::string(kMaxItemLength + 1, 'c'), "Item 6 of \"F.ipt\" is longer"},
      {"3,x," + std::string(kMaxItemLength - 4, 'n') + "_%_" + std::string(10, 'n'),
       "Item 2 of \"F.ipt\" is longer than 65536 characters"},
      {"60", "The entry count in item 0 of \"F.ipt\" is 60;"},
      {"51.5", "is 51.5;"},
      {" 1e9 ", "is 1e9;"},
      {"-32768", "is -32768; the lowest count accepted is -32767."},
      {"", "The file \"F.ipt\" is empty"},
      {"\xEF\xBB\xBF", "is empty"},
      {"   ", "is empty"},
      {std::string("3\nA\0", 4), "NUL character at byte offset 3"},
      {std::string("\xFF\xFE"
                   "3\0,",
                   5),
       "odd number of bytes"},
      {"3\nx\n\"Ann\" Bob\n", "Line 3 of \"F.ipt\" has text after the closing quote"},
      {"3\r\nx\r\n\"Ann\r\n\r\nBob", "item that starts on line 3 of \"F.ipt\" has no closing"},
      {kExample + "\"late", "starts on line 13"},
      // The earlier of two faults is the one reported.
      {std::string("3,\"a\"b,\0", 8), "Line 1 of \"F.ipt\" has text after the closing quote"},
  };
  for (const auto& c : cases) {
    ResultSheet sheet;
    ASSERT_TRUE(read_string(kExample, sheet).ok());
    const ResultSheet before = sheet;
    const Status status = read_string(c.data, sheet);
    EXPECT_FALSE(status.ok()) << c.data;
    EXPECT_NE(utf16_to_utf8(status.message()).find(c.message), std::string::npos)
        << utf16_to_utf8(status.message());
    EXPECT_EQ(sheet, before) << c.data;
  }
}

TEST(ReadData, ReadsManyItems) {
  std::string data = "3,x,Ann_%_Bob,45,,,7A,,Maths,,Mid-term,Term 2";
  for (int k = 0; k < 40000; ++k) data += k % 7 == 0 ? ",\"q,q\"\n" : ",z";
  EXPECT_EQ(load(data), "3|Ann/Bob|45|7A|Maths|Mid-term|Term 2");
}

class ReadFile : public testing::Test {
 protected:
  fs::path write(const std::string& name, std::string_view data) { return dir_.write(name, data); }
  Status readfile(const std::u16string& path, ResultSheet& sheet) {
    return tavrino::readfile(path, sheet, reader_);
  }

  ScratchDir dir_;
  StandardFileReader reader_;
};

TEST_F(ReadFile, ChecksTheWholeFileForUtf8) {
  // The class is valid UTF-8, but a byte well past the first piece is not,
  // so the whole file is Windows-1252 and the class reads as two characters.
  std::string data = "3,x,Ann,45,,,\xC3\xA9," + std::string(200000, 'z') + ",caf\xE9";
  ResultSheet sheet;
  ASSERT_TRUE(readfile(write("old.ipt", data).u16string(), sheet).ok());
  EXPECT_EQ(sheet.classtext, u"\u00C3\u00A9");
  data.back() = 'e';
  ASSERT_TRUE(readfile(write("new.ipt", data).u16string(), sheet).ok());
  EXPECT_EQ(sheet.classtext, u"\u00E9");
}

TEST_F(ReadFile, DecodesTheBytesItRead) {
  // A reader that hands over other bytes on every read, as a file rewritten
  // between two reads would: the one read decides encoding and text alike.
  class ChangingReader final : public FileReader {
   public:
    Status read_file(std::u16string_view, std::vector<std::byte>& bytes) const override {
      const std::string_view data = reads_++ == 0 ? "1,x,Zo\xC3\xAB" : "1,x,Zo\xEB";
      bytes.assign(reinterpret_cast<const std::byte*>(data.data()),
                   reinterpret_cast<const std::byte*>(data.data() + data.size()));
      return Status::success();
    }
    mutable int reads_ = 0;
  } changing;
  ResultSheet sheet;
  ASSERT_TRUE(tavrino::readfile(u"f.ipt", sheet, changing).ok());
  EXPECT_EQ(sheet.itemname[0], u"Zo\u00EB");
  EXPECT_EQ(changing.reads_, 1);
}

}  // namespace
}  // namespace tavrino
