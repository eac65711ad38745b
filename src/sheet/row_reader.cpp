// SPDX-License-Identifier: MIT
#include "sheet/row_reader.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/text.h"
#include "sheet/cells.h"
#include "sheet/header_row.h"
#include "sheet/text_decoding.h"

namespace tavrino {
namespace {

std::u16string entries_text(std::int32_t n) {
  return to_text(n) + (n == 1 ? u" entry" : u" entries");
}

}  // namespace

RowSource file_rows(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"/\\");
  return {quoted(path),
          std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1))};
}

RowSource pasted_rows() {
  return {u"the pasted cells", u"Pasted cells"};
}

Status read_row_text(std::u16string_view text, const RowSource& source, ResultSheet& sheet,
                     RowsRead& read) {
  Split found = split_rows(text, source.in);
  if (!found.refusal.empty()) return Status::failure(std::move(found.refusal));
  const std::vector<Row>& rows = found.parsed.rows;
  const bool two_columns = found.delimiter != 0;

  // Rows up to the last that is not empty; empty ones after it are ignored.
  std::size_t used = rows.size();
  while (used > 0 && rows[used - 1].empty) --used;
  if (found.parsed.more) used = kKeptRows + 1;
  const Header header = find_header(rows, std::min(used, rows.size()), two_columns);
  const std::size_t first = header == Header::none ? 0 : 1;
  const std::size_t entries = used - first;

  if (entries > static_cast<std::size_t>(kSlotCount)) {
    return Status::failure(row_text(first + kSlotCount + 1) + u" of " + source.in +
                           u" would be entry " + to_text(kSlotCount + 1) +
                           u", but the list holds at most " + to_text(kSlotCount) + u" entries.");
  }
  if (entries == 0) {
    return Status::failure(header == Header::none
                               ? u"There are no rows in " + source.in + u"."
                               : u"There are no rows below the header row of " + source.in + u".");
  }

  ResultSheet loaded;
  loaded.literal = true;
  loaded.first_row = static_cast<std::int32_t>(first) + 1;
  loaded.itemcount = static_cast<std::int16_t>(entries);
  for (std::size_t i = 0; i < entries; ++i) {
    const Row& row = rows[first + i];
    loaded.itemname[i] = two_columns ? row.cells[0] : u"";
    loaded.itemvalue[i] = row.cells[two_columns ? 1 : 0];
  }
  loaded.examtext = source.title;
  loaded.examnote = entries_text(static_cast<std::int32_t>(entries));
  if (header != Header::none) loaded.subjecttext = rows[0].cells[two_columns ? 1 : 0];

  read = {.rows = static_cast<std::int32_t>(used),
          .header = header != Header::none,
          .delimiter = found.delimiter,
          .note = {}};
  if (header == Header::guessed) {
    const Row& top = rows[0];
    std::u16string cells = tavrino::quoted(top.cells[0]);
    if (two_columns) cells += u", " + tavrino::quoted(top.cells[1]);
    read.note = u"Row 1 of " + source.in + u" (" + cells +
                u") is read as a header, not as an entry, because its mark is not a number and "
                u"the marks below it are; if it is a student, put a header row above it.";
  }
  sheet = std::move(loaded);
  return Status::success();
}

Status read_rows(std::span<const std::byte> bytes, const RowSource& source, ResultSheet& sheet,
                 RowsRead& read) {
  const Encoding encoding = detect_encoding(bytes);
  std::u16string text;
  Decoder decoder(encoding, [&text](std::u16string_view piece) { text.append(piece); });
  Status decoded = decoder.feed(bytes.subspan(mark_length(encoding)));
  if (decoded) decoded = decoder.finish();
  if (!decoded) {
    // The decoder has handed on the text in front of the fault, so its rows
    // say which row the fault is in.
    Split found = split_rows(text, source.in);
    const Parsed before = found.refusal.empty() ? std::move(found.parsed) : parse_cells(text, 0);
    const std::size_t row =
        before.rows.size() + (before.ended_in_line_break || before.rows.empty() ? 1 : 0);
    std::u16string reason = decoded.message();
    if (!reason.empty() && reason[0] >= u'A' && reason[0] <= u'Z') reason[0] += u'a' - u'A';
    return Status::failure(u"Cannot read row " + to_text(static_cast<std::int64_t>(row)) + u" of " +
                           source.in +
                           u" as text (a spreadsheet must be saved as CSV or tab-separated text "
                           u"first): " +
                           reason);
  }
  return read_row_text(text, source, sheet, read);
}

bool is_row_file(std::u16string_view path, std::span<const std::byte> bytes) {
  const std::size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string_view::npos || path.find_first_of(u"/\\", dot) != std::u16string::npos) {
    return false;
  }
  std::u16string extension(path.substr(dot + 1));
  std::transform(extension.begin(), extension.end(), extension.begin(), folded);
  if (extension == u"csv" || extension == u"tsv") return true;
  if (extension != u"txt") return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  using namespace std::string_view_literals;
  for (const std::string_view separator : {"_%_"sv, "_\0%\0_\0"sv, "\0_\0%\0_"sv}) {
    if (text.find(separator) != std::string_view::npos) return false;
  }
  return true;
}

bool is_cell_paste(std::u16string_view text) {
  if (text.find(u'\t') != std::u16string_view::npos) return true;
  // One line break at the very end is how a spreadsheet copies one cell.
  if (text.ends_with(u"\r\n")) {
    text.remove_suffix(2);
  } else if (!text.empty() && is_line_break(text.back())) {
    text.remove_suffix(1);
  }
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

}  // namespace tavrino
