// SPDX-License-Identifier: MIT
// The row reader: marks as a spreadsheet gives them, in a CSV or
// tab-separated file or as cells copied to the clipboard.
//
// One row per entry: the first cell is the name, the second the mark. With
// one column every cell is a mark and the names stay empty. Further columns
// are ignored. The marks are literal text (ResultSheet::literal): each
// character is typed as itself, a line break in a cell as Enter.
//
// Cells, as RFC 4180 has them:
// - Rows end at CR LF, LF or CR alone.
// - A cell that starts with a double quote runs to the next double quote that
//   is not doubled; the delimiter and line breaks between them belong to the
//   cell, a doubled quote is one quote. Blanks may stand in front of the
//   opening quote and after the closing one; other text after the closing
//   quote, and a quote that is never closed, are refused, naming the row.
//   A double quote inside an unquoted cell is an ordinary character.
//
// The delimiter is found from the text: tab, semicolon and comma are tried in
// that order, and the first that splits every row into the same number of
// cells, at least two, is taken (a fully empty row fits any number). When
// none does:
// - without any of them outside quotes, the text is one column;
// - when the only one is the comma and every comma stands between digits in
//   rows of at most two cells, the commas are decimal commas ("7,5" in a
//   column of marks) and the text is one column;
// - otherwise it is refused, naming the first row whose number of cells
//   differs from the first row's.
// A comma that splits every row into a whole number and digits ("7,5" in
// every row) could be one column of decimal marks or two columns of
// numbers; that is refused, with how to make it clear (a header row).
//
// The header: the first row is a header, and no entry, when its mark cell is
// not a number and either its name or mark cell is a heading word ("Name",
// "Student", "Mark", "Score", "Grade", "Note", ... in English, German,
// French, Spanish, Italian, Dutch, Polish and Portuguese, in any case, with
// or without a colon), or its mark cell is one line and every mark below
// it that is not empty is a number. In the second case the reader says so in `RowsRead::note`,
// since the first student's mark may also be a word ("absent"). A number is digits with an optional
// sign, decimal point or comma and percent sign.
//
// Fully empty rows at the end are ignored; one in the middle is an entry with
// an empty name and mark, so that the marks after it stay in their fields.
//
// Refused, with one sentence naming the row: more than kSlotCount entries,
// a cell of more than kMaxItemLength characters, a malformed quote, rows of
// differing numbers of cells, a text that holds no rows or only the header,
// and (files) bytes that are not text (see text_decoding.h).
//
// Each load is all or nothing. A successful load replaces the whole sheet: no
// slot or heading keeps what an earlier file put there. The heading is what
// the rows can honestly say: the exam is the file's name (or "Pasted cells")
// and the note the number of entries, the subject is the header's mark cell
// and the class is empty.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/status.h"
#include "result_sheet.h"

namespace tavrino {

// Where rows come from, in the words of a message and of the heading.
struct RowSource {
  std::u16string in;     // "\"/home/ann/7A.csv\"", "the pasted cells": "row 3 of ..."
  std::u16string title;  // the exam caption: "7A.csv", "Pasted cells"
};

// A file: `path` quoted in messages, its name without the folder as title.
RowSource file_rows(std::u16string_view path);
// The clipboard.
RowSource pasted_rows();

// What a successful load found.
struct RowsRead {
  std::int32_t rows = 0;  // rows read, the header included, empty ones at the end not
  bool header = false;
  char16_t delimiter = 0;  // u'\t', u';' or u','; 0 for one column
  // A sentence the user should see, or empty: why the first row was taken
  // for a header when that was a guess.
  std::u16string note;
};

// Reads decoded text into `sheet`. On failure the message names the row and
// the source, and `sheet` is unchanged.
Status read_row_text(std::u16string_view text, const RowSource& source, ResultSheet& sheet,
                     RowsRead& read);

// The same for a file's bytes: UTF-8 with or without a byte-order mark,
// UTF-16 with one, or Windows-1252, decoded as text_decoding.h says.
Status read_rows(std::span<const std::byte> bytes, const RowSource& source, ResultSheet& sheet,
                 RowsRead& read);

// Whether a file of this name and content is read as rows: .csv and .tsv,
// and .txt unless it holds the list separator "_%_" (in one-byte text or
// UTF-16), which a data file of two entries or more has and a spreadsheet's
// export has not: data files saved as text files open as they always did.
// Every other name is read as a data file. Extensions in any case.
bool is_row_file(std::u16string_view path, std::span<const std::byte> bytes);

// Whether a text from the clipboard is cells to load as the list: it holds a
// tab, or more than one line (a line break at its very end does not count).
// One line without a tab (a path, a number) is for the box that has the
// focus.
bool is_cell_paste(std::u16string_view text);

}  // namespace tavrino
