// SPDX-License-Identifier: MIT
// Rendering of the ResultSheet into the window: the numbered list, the three
// heading captions and START's enabled state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "controls.h"
#include "sheet/result_sheet.h"

namespace tavrino {

inline constexpr std::u16string_view kNoData = u"No Data...";

// One line of the list, in its parts: number, ". ", name, tabs, value.
struct ListLine {
  int number = 0;            // the entry's number, from 1
  std::u16string_view name;  // cut to 15 characters, never inside a surrogate pair
  std::u16string_view tabs;  // one tab when the whole name is 14 characters or
                             // longer, two when shorter
  std::u16string_view value;
};

// The lines for entries 0 to itemcount - 1; none for an itemcount of 0 or
// below. Fails for an itemcount that the 51 slots cannot hold. The parts
// point into `sheet`.
Status list_lines(const ResultSheet& sheet, std::vector<ListLine>& lines);

// The list as the pane shows it: each line of list_lines as one text,
// ending in CR LF, with the characters of names and values that show nothing
// or disguise the text around them written as "<U+XXXX>" (escape_hidden).
Status list_text(const ResultSheet& sheet, std::u16string& text);

std::u16string class_caption(const ResultSheet& sheet);    // "CLASS : 7A"; for rows the class alone
std::u16string subject_caption(const ResultSheet& sheet);  // "Mathematics"
std::u16string exam_caption(const ResultSheet& sheet);     // "Mid-term (Term 2)"

// Writes the sheet into the controls: without data the pane reads
// "No Data..." and START is disabled, the labels keep their captions;
// with data the pane, then lblClass, lblSub, lblexam, then START enabled.
// Stops at the first control operation that fails and returns its failure.
Status refreshpage(const ResultSheet& sheet, Controls& controls);

}  // namespace tavrino
