// SPDX-License-Identifier: MIT
#include "window/controls.h"

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

Status check_applies(ControlOp op, ControlId id) {
  if (applies(op, id)) return Status::success();
  std::u16string_view what;
  switch (op) {
    case ControlOp::set_text:
      what = u"text to set";
      break;
    case ControlOp::get_text:
      what = u"text to read";
      break;
    case ControlOp::set_caption:
      what = u"caption";
      break;
    case ControlOp::set_enabled:
      what = u"enabled state to set";
      break;
    case ControlOp::set_timer:
      what = u"timer";
      break;
  }
  return Status::failure(utf8_to_utf16(layout_of(id).name) + u" has no " + std::u16string(what) +
                         u".");
}

std::string_view op_name(ControlOp op) {
  switch (op) {
    case ControlOp::set_text:
      return "set_text";
    case ControlOp::get_text:
      return "get_text";
    case ControlOp::set_caption:
      return "set_caption";
    case ControlOp::set_enabled:
      return "set_enabled";
    case ControlOp::set_timer:
      return "set_timer";
  }
  return "?";
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

}  // namespace tavrino
