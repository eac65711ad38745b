// SPDX-License-Identifier: MIT
#include "sheet/sheet_file.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/text.h"
#include "sheet/data_file.h"

namespace tavrino {
namespace {

// "Entry 4", "Entries 3 and 4", "Entries 3 to 8".
std::u16string entry_range(std::int32_t first, std::int32_t last) {
  if (first == last) return u"Entry " + to_text(first);
  return u"Entries " + to_text(first) + (last == first + 1 ? u" and " : u" to ") + to_text(last);
}

}  // namespace

Status load_file(std::u16string_view path, ResultSheet& sheet, const FileReader& reader,
                 Loaded& loaded) {
  std::vector<std::byte> bytes;
  if (Status read = reader.read_file(path, bytes); !read) return read;
  Loaded now;
  if (is_row_file(path, bytes)) {
    now.rows = true;
    if (Status status = read_rows(bytes, file_rows(path), sheet, now.read); !status) return status;
    now.note = now.read.note;
  } else {
    // A data file keeps what the file before left in the slots it does not
    // reach, but not the marks of rows: they are text, and read as key
    // strings "~5" would press Enter. After rows it starts from nothing.
    ResultSheet fresh;
    ResultSheet& target = sheet.literal ? fresh : sheet;
    ListLengths lengths;
    if (Status status = read_data(bytes, path, target, lengths); !status) return status;
    if (sheet.literal) sheet = std::move(fresh);
    // A sheet without data lists and types nothing, so nothing is left over.
    if (holds_data(sheet)) now.note = leftover_note(sheet, lengths.values);
  }
  loaded = std::move(now);
  return Status::success();
}

std::u16string leftover_note(const ResultSheet& sheet, std::int32_t values) {
  const std::int32_t count = std::min<std::int32_t>(sheet.itemcount, kSlotCount);
  if (values >= count) return {};
  const bool earlier =
      std::any_of(sheet.itemvalue.begin() + values, sheet.itemvalue.begin() + count,
                  [](const std::u16string& value) { return !value.empty(); });
  const bool one = values + 1 == count;
  const std::u16string has =
      values == 0 ? u"no values" : to_text(values) + (values == 1 ? u" value" : u" values");
  const std::u16string why = u": this file has " + has + u" for " + to_text(count) + u" entries";
  const std::u16string entries = entry_range(values + 1, count);
  if (earlier) {
    return entries + (one ? u" keeps the mark" : u" keep the marks") +
           u" of the file loaded before" + why + u".";
  }
  return entries + (one ? u" has no mark" : u" have no marks") + why +
         u", and a window that has loaded another file before types that file's marks there.";
}

}  // namespace tavrino
