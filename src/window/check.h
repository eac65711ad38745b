// SPDX-License-Identifier: MIT
// The --check command: loads a file as Open... would right after start-up and
// checks every value START would type, typing nothing.
//
// What it prints is meant to be read by a person deciding whether to trust a
// file, so nothing in it may be hidden: every character that shows nothing
// or disguises the text around it (a control character such as ESC or CR, a
// bidirectional control, a zero-width character, a noncharacter, a lone
// surrogate) is printed as "<U+XXXX>", and a "<U+" in the file as
// "<U+003C>U+" (escape_hidden in base/text.h). The tabs between a name and
// its value are the list's layout and stay tabs; a tab inside a name or
// value is printed as "<U+0009>".
#pragma once

#include <string>
#include <string_view>

#include "sheet/file_reader.h"

namespace tavrino {

struct CheckReport {
  // 0: the sheet holds data; `output` is the exam, subject and class captions
  //    (a line each) and then the list pane's lines, each ending in "\n".
  // 1: it holds none; `output` is "No Data...\n".
  // 2: the file was refused or a value cannot be typed; `output` is empty and
  //    `error` is one sentence.
  // Both with hidden characters escaped, as above.
  int exit_code = 0;
  std::string output;  // UTF-8
  std::string error;   // UTF-8, without a line end
  // With exit codes 0 and 1: what the window would tell after loading the
  // file (a guessed header row, entries the file leaves to the file loaded
  // before), one sentence for standard error, or empty. UTF-8, escaped.
  std::string note;
};

// Reads the file at `path` through `reader` into a fresh sheet: no earlier
// file's entries carry over, as they would in a window that has loaded one.
// Rows (.csv, .tsv, .txt) and data files, as Open... tells them apart.
CheckReport check_file(std::u16string_view path, const FileReader& reader);

}  // namespace tavrino
