// SPDX-License-Identifier: MIT
#include "playback/countdown.h"

#include "base/text.h"
#include "sheet/number.h"

namespace tavrino {

CountdownStep countdown_step(std::u16string_view box_text) {
  const LeadingNumber number = leading_number(box_text);
  if (!number.in_range) return {CountdownStep::Action::out_of_range, {}};
  if (number.value > 0) return {CountdownStep::Action::show, to_text(number.value - 1)};
  return {CountdownStep::Action::play, std::u16string(kCountdownReset)};
}

std::u16string countdown_range_message() {
  return u"The countdown must be a whole number from -32768 to 32767.";
}

}  // namespace tavrino
