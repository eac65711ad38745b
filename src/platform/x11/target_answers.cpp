// SPDX-License-Identifier: MIT
#include "platform/x11/target_answers.h"

#include <algorithm>

#include "base/text.h"

namespace tavrino {

bool TargetAnswers::take(const TargetEvent& event) {
  if (!active_) return false;
  if (event.type == TargetEvent::Type::destroyed && event.window == top_level_) {
    gone_ = true;
    return true;
  }
  if (event.type != TargetEvent::Type::client_message || event.message_type != protocols_ ||
      static_cast<unsigned long>(event.data[0]) != ping_ ||
      static_cast<unsigned long>(event.data[2]) != pinged_) {
    return false;
  }
  answered_ = std::max(answered_, static_cast<unsigned long>(event.data[1]));
  return true;
}

unsigned long TargetAnswers::ask() {
  ++asked_;
  if (borrowed_unasked_) {
    settles_at_ = asked_;
    borrowed_unasked_ = false;
  }
  return asked_;
}

std::u16string program_name(std::string_view title) {
  std::u16string name = utf8_to_utf16(title);
  for (const std::u16string_view dash : {u" - ", u" \u2014 ", u" \u2013 "}) {
    const auto at = name.rfind(dash);
    if (at != std::u16string::npos && at + dash.size() < name.size()) {
      name = name.substr(at + dash.size());
      break;
    }
  }
  constexpr std::size_t kLongest = 40;
  if (name.size() > kLongest) name = name.substr(0, kLongest - 1) + u"\u2026";
  return escape_hidden(name);
}

}  // namespace tavrino
