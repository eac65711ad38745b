// SPDX-License-Identifier: MIT
// Opening a file of either kind, as Open..., the command line, a drop and
// --check do: rows (.csv, .tsv, .txt; row_reader.h) or a data file (every
// other name, .ipt above all; data_file.h). The file is read once, through
// the FileReader, and refused as its reader refuses it, leaving the sheet
// unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/status.h"
#include "file_reader.h"
#include "result_sheet.h"
#include "row_reader.h"

namespace tavrino {

struct Loaded {
  bool rows = false;  // read as rows; `read` says what they held
  RowsRead read;
  // A sentence the user should see after the load, or empty: the header row
  // that was a guess, or the entries a data file leaves to the file before.
  std::u16string note;
};

// Reads the file at `path` into `sheet`. On failure the message names the
// file and the reason, and `sheet` and `loaded` are unchanged. A data file
// read over a sheet of rows starts from an empty sheet, so that no text of
// the rows is ever typed as a key string.
Status load_file(std::u16string_view path, ResultSheet& sheet, const FileReader& reader,
                 Loaded& loaded);

// After a data file whose count is larger than its values list: which
// entries it leaves to the file loaded before, and whether they hold that
// file's marks or nothing ("Entries 3 and 4 keep the marks of the file
// loaded before: this file has 2 values for 4 entries."). Empty when the
// list reaches every entry. `sheet` is the sheet after the load; `values`
// the length of the file's own values list.
std::u16string leftover_note(const ResultSheet& sheet, std::int32_t values);

}  // namespace tavrino
