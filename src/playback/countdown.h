// SPDX-License-Identifier: MIT
// The countdown's decision for one timer tick. The number in the countdown box
// is the countdown's only state, read afresh on every tick, so the user sets
// the delay by typing into the box.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrino {

// What the box shows after playback, whatever it showed before.
inline constexpr std::u16string_view kCountdownReset = u"5";

struct CountdownStep {
  enum class Action {
    show,          // n > 0: show `text` (n - 1 in decimal) and keep counting
    play,          // n <= 0: stop the timer, type the values, show "5"
    out_of_range,  // the number does not fit 16 bits: stop the timer, type
                   // nothing, keep the box as it is, say so
  };
  Action action = Action::play;
  std::u16string text;
};

CountdownStep countdown_step(std::u16string_view box_text);

// The message for Action::out_of_range.
std::u16string countdown_range_message();

}  // namespace tavrino
