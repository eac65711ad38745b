// SPDX-License-Identifier: MIT
#include "window/check.h"

#include <vector>

#include "base/text.h"
#include "playback/key_event.h"
#include "playback/entry_events.h"
#include "sheet/result_sheet.h"
#include "sheet/sheet_file.h"
#include "window/entries.h"
#include "window/sheet_view.h"

namespace tavrino {
namespace {

CheckReport refused(const Status& status) {
  // The sentence quotes values and the file name as they are, so it is
  // escaped like the list.
  return {.exit_code = 2,
          .output = {},
          .error = utf16_to_utf8(escape_hidden(status.message())),
          .note = {}};
}

}  // namespace

CheckReport check_file(std::u16string_view path, const FileReader& reader) {
  // A fresh sheet: what the window would show after this file is opened
  // straight after start-up, with no earlier file's leftovers.
  ResultSheet sheet;
  Loaded loaded;
  if (Status status = load_file(path, sheet, reader, loaded); !status) return refused(status);
  std::string note = utf16_to_utf8(escape_hidden(loaded.note));
  if (!holds_data(sheet)) {
    return {.exit_code = 1,
            .output = utf16_to_utf8(kNoData) + "\n",
            .error = {},
            .note = std::move(note)};
  }
  // Every value must be typable, or START would refuse the whole playback.
  if (Status typable = check_rows_typable(sheet, 0); !typable) return refused(typable);
  KeyEvents events;
  if (Status typable = playback_events(sheet, events); !typable) return refused(typable);
  std::vector<ListLine> lines;
  if (Status listed = list_lines(sheet, lines); !listed) return refused(listed);

  // Top to bottom as the window reads: exam, subject, class, then the list.
  // The captions' own parts hold no "<", so escaping them whole is the same
  // as escaping the file's text in them.
  std::u16string out = escape_hidden(exam_caption(sheet)) + u"\n";
  out += escape_hidden(subject_caption(sheet)) + u"\n";
  out += escape_hidden(class_caption(sheet)) + u"\n";
  for (const ListLine& line : lines) {
    out += to_text(line.number) + u". " + escape_hidden(line.name);
    out += line.tabs;
    out += escape_hidden(line.value) + u"\n";
  }
  return {.exit_code = 0, .output = utf16_to_utf8(out), .error = {}, .note = std::move(note)};
}

}  // namespace tavrino
