// SPDX-License-Identifier: MIT
// The data file reader.
//
// A data file is a text file read as a sequence of items; an item's position
// in that sequence, counted from 0 across the whole file, decides its meaning
// (line breaks do not):
//   0  number of entries (leading-number conversion) -> itemcount
//   2  entry names joined by "_%_"                   -> itemname slots 0, 1, ...
//   3  entry values joined by "_%_"                  -> itemvalue slots 0, 1, ...
//   6  class -> classtext     8  subject -> subjecttext
//   10 exam  -> examtext      11 exam note -> examnote
//   1, 4, 5, 7, 9 and everything after 11 are read and discarded.
//
// Item syntax:
// - Items are separated by a comma or a line end; CR LF, LF and CR alone all
//   end a line.
// - Blanks (spaces) in front of an item are skipped; blanks at the end of an
//   unquoted item are dropped too ("  Ann  ," is "Ann"). A tab is not a blank:
//   it belongs to the item and is typed as the Tab key, as the file says.
// - An item that starts with a double quote runs to the next double quote;
//   commas and line ends between the quotes belong to the item, the quotes do
//   not. After the closing quote only blanks may follow before the next comma
//   or line end; other text there is refused, since dropping it would lose
//   data silently. An unterminated quote is refused, naming the line it opened
//   on. A double quote inside an unquoted item is an ordinary character.
// - A blank line is an empty item, so an unused item may be left blank.
// - A comma at the end of a line (blanks may stand between them) ends the item
//   before it and does not make an extra empty item; write "" for an empty item
//   at the end of a line. The same holds for a comma at the end of the file.
// - A line end at the end of the file does not start another item.
//
// Each load is all or nothing: the file is read whole and checked first, and
// the sheet is changed only when nothing is wrong; a refused load leaves the
// sheet exactly as it was. A successful load changes only what the file
// supplies: items the file does not reach leave their fields as they were, and
// slots past the end of a list keep their contents; slots the list does reach
// are overwritten, also with empty pieces. An empty names or values item
// leaves every slot of its list unchanged.
//
// The file is read once, whole, into memory (see file_reader.h for the
// limits: at most kMaxFileSize bytes, and pipes and devices only as far as
// the platform's reader takes them), and that one copy is decoded: the
// encoding found and the text decoded are always those of the same bytes.
//
// Refused (with a message naming the file): a file that cannot be opened or
// read (missing, a directory, no permission, a read error, larger than
// kMaxFileSize), an empty file, a text that cannot be decoded (see
// text_decoding.h), an unterminated quote or text after a closing quote, a
// names or values list of more than 51 pieces, an item the sheet takes (0, 2,
// 3, 6, 8, 10 or 11) longer than kMaxItemLength characters, and an entry
// count above 51, equal to -32768 or outside -32768..32767.
// Counts of 0 and below (down to -32767) are accepted: the sheet then shows and
// types no entries.
//
// Items past 11 are scanned but not stored, so memory does not grow with them
// and any number of items is fine. The items the sheet takes are held only up
// to kMaxItemLength characters, and the text is decoded a piece at a time, so
// beyond the file's bytes a load costs little memory: decoding stops as soon
// as one of those items passes that length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/status.h"
#include "file_reader.h"
#include "result_sheet.h"

namespace tavrino {

// The longest item the sheet takes, in 16-bit characters: far more than any
// form field or heading needs (a names or values list holds all 51 entries).
inline constexpr std::size_t kMaxItemLength = 65536;

// Reads the file at `path` through `reader` into `sheet`. On failure the
// message names the path and the reason, and `sheet` is unchanged.
Status readfile(std::u16string_view path, ResultSheet& sheet, const FileReader& reader);

// The same for a file's bytes already in memory; `name` stands for the file
// in messages.
Status read_data(std::span<const std::byte> bytes, std::u16string_view name, ResultSheet& sheet);

// How many pieces the file's own names and values lists hold (0 for a list
// it leaves out or empty), so that the slots it leaves to the file before
// can be told apart from its own.
struct ListLengths {
  std::int32_t names = 0;
  std::int32_t values = 0;
};

// read_data, and on success the lengths of the file's lists.
Status read_data(std::span<const std::byte> bytes, std::u16string_view name, ResultSheet& sheet,
                 ListLengths& lengths);

}  // namespace tavrino
