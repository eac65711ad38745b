// SPDX-License-Identifier: MIT
#include "window/check.h"

#include "base/text.h"
#include "playback/key_event.h"
#include "playback/typekeys.h"
#include "sheet/data_file.h"
#include "sheet/result_sheet.h"
#include "window/sheet_view.h"

namespace tavrino {
namespace {

CheckReport refused(const Status& status) {
  return {.exit_code = 2, .output = {}, .error = utf16_to_utf8(status.message())};
}

// The pane ends its lines in CR LF for the window; a terminal wants LF.
std::u16string with_lf_line_ends(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

CheckReport check_file(std::u16string_view path) {
  // A fresh sheet: what the window would show after this file is opened
  // straight after start-up, with no earlier file's leftovers.
  ResultSheet sheet;
  if (Status loaded = readfile(path, sheet); !loaded) return refused(loaded);
  if (!holds_data(sheet)) {
    return {.exit_code = 1, .output = utf16_to_utf8(kNoData) + "\n", .error = {}};
  }
  // Every value must be typable, or START would refuse the whole playback.
  KeyEvents events;
  if (Status typable = playback_events(sheet, events); !typable) return refused(typable);
  std::u16string list;
  if (Status listed = list_text(sheet, list); !listed) return refused(listed);

  // Top to bottom as the window reads: exam, subject, class, then the list.
  std::u16string out = exam_caption(sheet) + u"\n";
  out += subject_caption(sheet) + u"\n";
  out += class_caption(sheet) + u"\n";
  out += with_lf_line_ends(list);
  return {.exit_code = 0, .output = utf16_to_utf8(out), .error = {}};
}

}  // namespace tavrino
