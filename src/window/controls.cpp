// SPDX-License-Identifier: MIT
#include "window/controls.h"

#include <algorithm>

#include "base/text.h"
#include "window/layout.h"

namespace tavrino {

bool applies(ControlOp op, ControlId id) {
  switch (op) {
    case ControlOp::set_text:
      return id == ControlId::lbltext || id == ControlId::txtTime || id == ControlId::txtfile;
    case ControlOp::get_text:
      return id == ControlId::txtTime || id == ControlId::txtfile;
    case ControlOp::set_caption:
      return id == ControlId::lblClass || id == ControlId::lblSub || id == ControlId::lblexam;
    case ControlOp::set_enabled:
      return id == ControlId::cmdStart;
    case ControlOp::set_timer:
      return id == ControlId::Timer1;
  }
  return false;
}

namespace {

struct OpNames {
  std::string_view name;       // as the table in controls.h writes it
  std::u16string_view object;  // what a control without it lacks
};

// By ControlOp.
constexpr OpNames kOpNames[] = {
    {"set_text", u"text to set"}, {"get_text", u"text to read"},
    {"set_caption", u"caption"},  {"set_enabled", u"enabled state to set"},
    {"set_timer", u"timer"},
};

}  // namespace

Status check_applies(ControlOp op, ControlId id) {
  if (applies(op, id)) return Status::success();
  return Status::failure(utf8_to_utf16(layout_of(id).name) + u" has no " +
                         std::u16string(kOpNames[static_cast<std::size_t>(op)].object) + u".");
}

std::string_view op_name(ControlOp op) {
  return kOpNames[static_cast<std::size_t>(op)].name;
}

std::int32_t settopmost(WindowPlacement& placement, WindowHandle window) {
  // Position and size are ignored under these flags; the window keeps both.
  return placement.set_window_pos(window, kHwndTopmost, 0, 0, 0, 0, kSwpNosize | kSwpNomove);
}

std::vector<FileFilter> split_filter(std::u16string_view filter) {
  std::vector<FileFilter> pairs;
  std::size_t pos = 0;
  while (pos < filter.size()) {
    const std::size_t description_end = filter.find(u'|', pos);
    if (description_end == std::u16string_view::npos) break;  // no pattern follows
    const std::size_t pattern_start = description_end + 1;
    if (pattern_start >= filter.size()) break;  // "description|" at the very end
    std::size_t pattern_end = filter.find(u'|', pattern_start);
    if (pattern_end == std::u16string_view::npos) pattern_end = filter.size();
    pairs.push_back({std::u16string(filter.substr(pos, description_end - pos)),
                     std::u16string(filter.substr(pattern_start, pattern_end - pattern_start))});
    pos = pattern_end + 1;
  }
  return pairs;
}

std::vector<FileFilter> offered_filters(std::u16string_view filter) {
  const FileFilter spreadsheets{u"Spreadsheet Files (*.csv;*.tsv;*.txt) ", u"*.csv;*.tsv;*.txt"};
  std::vector<FileFilter> pairs = split_filter(filter);
  if (std::find(pairs.begin(), pairs.end(), spreadsheets) == pairs.end()) {
    pairs.push_back(spreadsheets);
  }
  return pairs;
}

}  // namespace tavrino
