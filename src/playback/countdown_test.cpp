// SPDX-License-Identifier: MIT
#include "playback/countdown.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/text.h"

namespace tavrino {
namespace {

TEST(Countdown, StepFromBoxText) {
  using Action = CountdownStep::Action;
  struct Case {
    std::u16string box;
    Action action;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      {u"5", Action::show, u"4"},
      {u"5\r\n", Action::show, u"4"},
      {u"1", Action::show, u"0"},
      {u"32767", Action::show, u"32766"},
      {u"2.5", Action::show, u"1"},
      {u"0", Action::play, u"5"},
      {u"-3", Action::play, u"5"},
      {u"-32768", Action::play, u"5"},
      {u"abc", Action::play, u"5"},
      {u"99999", Action::out_of_range, u""},
      {u"-40000", Action::out_of_range, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(utf16_to_utf8(c.box));
    const CountdownStep step = countdown_step(c.box);
    EXPECT_EQ(step.action, c.action);
    EXPECT_EQ(utf16_to_utf8(step.text), utf16_to_utf8(c.text));
  }
}

}  // namespace
}  // namespace tavrino
