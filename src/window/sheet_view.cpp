// SPDX-License-Identifier: MIT
#include "window/sheet_view.h"

#include <cstddef>
#include <cstdint>

#include "base/text.h"
#include "base/unicode.h"

namespace tavrino {
namespace {

// Names longer than this are cut for the pane.
constexpr std::size_t kNameCut = 15;
// Names this long or longer get one tab instead of two. It is one below the
// cut on purpose: a name of 14 or 15 characters is shown whole with one tab.
constexpr std::size_t kOneTabFrom = 14;

// The first 15 units of `name`, or 16 when unit 15 would leave the first half
// of a surrogate pair without its second: half a character would show as a
// replacement box.
std::u16string_view shown_name(std::u16string_view name) {
  if (name.size() <= kNameCut) return name;
  std::size_t cut = kNameCut;
  if (is_high_surrogate(name[cut - 1]) && is_low_surrogate(name[cut])) ++cut;
  return name.substr(0, cut);
}

}  // namespace

Status list_lines(const ResultSheet& sheet, std::vector<ListLine>& lines) {
  lines.clear();
  if (Status fits = check_itemcount(sheet); !fits) return fits;
  for (int i = 0; i < sheet.itemcount; ++i) {
    const std::u16string& name = sheet.itemname[static_cast<std::size_t>(i)];
    lines.push_back({.number = i + 1,
                     .name = shown_name(name),
                     .tabs = name.size() >= kOneTabFrom ? u"\t" : u"\t\t",
                     .value = sheet.itemvalue[static_cast<std::size_t>(i)]});
  }
  return Status::success();
}

Status list_text(const ResultSheet& sheet, std::u16string& text) {
  text.clear();
  std::vector<ListLine> lines;
  if (Status listed = list_lines(sheet, lines); !listed) return listed;
  for (const ListLine& line : lines) {
    text += to_text(line.number);
    text += u". ";
    // Shown as --check shows them: a character that shows nothing or moves
    // the text around it (a line separator would start a row of its own)
    // appears as its code.
    text += escape_hidden(line.name);
    text += line.tabs;
    text += escape_hidden(line.value);
    text += u"\r\n";
  }
  return Status::success();
}

std::u16string class_caption(const ResultSheet& sheet) {
  // Rows hold no class; "CLASS : " over nothing would only look broken.
  if (sheet.literal) return sheet.classtext;
  return u"CLASS : " + sheet.classtext;
}

std::u16string subject_caption(const ResultSheet& sheet) {
  return sheet.subjecttext;
}

std::u16string exam_caption(const ResultSheet& sheet) {
  return sheet.examtext + u" (" + sheet.examnote + u")";
}

Status refreshpage(const ResultSheet& sheet, Controls& controls) {
  if (!holds_data(sheet)) {
    // The labels keep whatever an earlier load put there.
    if (Status s = controls.set_text(ControlId::lbltext, kNoData); !s) return s;
    return controls.set_enabled(ControlId::cmdStart, false);
  }
  std::u16string list;
  if (Status s = list_text(sheet, list); !s) return s;
  // Pane first, then the labels, and START last, so START is never enabled
  // over a pane that still shows an older list.
  if (Status s = controls.set_text(ControlId::lbltext, list); !s) return s;
  if (Status s = controls.set_caption(ControlId::lblClass, class_caption(sheet)); !s) return s;
  if (Status s = controls.set_caption(ControlId::lblSub, subject_caption(sheet)); !s) return s;
  if (Status s = controls.set_caption(ControlId::lblexam, exam_caption(sheet)); !s) return s;
  return controls.set_enabled(ControlId::cmdStart, true);
}

}  // namespace tavrino
