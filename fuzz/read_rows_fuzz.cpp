// SPDX-License-Identifier: MIT
// Any bytes as a spreadsheet's rows. A load is all or nothing: a refused one
// leaves the sheet exactly as it was and says in one sentence what is wrong
// and where; an accepted one replaces the whole sheet with 1 to 51 literal
// entries, and reads the same from the decoded text as from the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "sheet/result_sheet.h"
#include "sheet/row_reader.h"
#include "sheet/text_decoding.h"

namespace {

using tavrino::ResultSheet;
using tavrino::RowsRead;
using tavrino::Status;

void check(bool condition) {
  if (!condition) std::abort();
}

// A sheet with something in every field, so that any stray write shows.
ResultSheet earlier_sheet() {
  ResultSheet sheet;
  sheet.itemcount = 7;
  sheet.itemname.fill(u"name");
  sheet.itemvalue.fill(u"4");
  sheet.classtext = u"class";
  sheet.examnote = u"note";
  return sheet;
}

bool one_sentence(const std::u16string& message) {
  return !message.empty() && message.back() == u'.' &&
         message.find_first_of(u"\r\n") == std::u16string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
  const tavrino::RowSource source = tavrino::file_rows(u"/f/fuzz.csv");
  const ResultSheet before = earlier_sheet();

  ResultSheet sheet = before;
  RowsRead read;
  const Status loaded = tavrino::read_rows(bytes, source, sheet, read);
  if (!loaded) {
    check(sheet == before);
    check(loaded.message().find(u"\"/f/fuzz.csv\"") != std::u16string::npos);
    // The one sentence may quote cells with line breaks; those aside it ends
    // where a sentence does.
    check(loaded.message().back() == u'.');
    return 0;
  }
  check(sheet.literal);
  check(sheet.itemcount >= 1 && sheet.itemcount <= tavrino::kSlotCount);
  check(sheet.first_row == (read.header ? 2 : 1));
  check(read.rows == sheet.itemcount + (read.header ? 1 : 0));
  check(sheet.classtext.empty() && sheet.examtext == u"fuzz.csv");
  check(read.note.empty() || (read.header && one_sentence(read.note)));
  for (std::size_t i = static_cast<std::size_t>(sheet.itemcount); i < sheet.itemvalue.size(); ++i) {
    check(sheet.itemname[i].empty() && sheet.itemvalue[i].empty());
  }

  // The clipboard's way in reads the decoded text alike.
  std::u16string text;
  check(tavrino::decode_text(bytes, text).ok());
  ResultSheet pasted;
  RowsRead pasted_read;
  check(tavrino::read_row_text(text, source, pasted, pasted_read).ok());
  check(pasted == sheet);
  check(pasted_read.rows == read.rows && pasted_read.delimiter == read.delimiter);
  return 0;
}
