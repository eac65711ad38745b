// SPDX-License-Identifier: MIT
#include "platform/x11/autorepeat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrino {
namespace {

// Which events of a sequence a target could take for autorepeat, as "." for
// no and "R" for yes.
std::string repeats(const std::vector<KeyAction>& actions) {
  std::string marks;
  std::optional<KeyAction> previous;
  for (const KeyAction& action : actions) {
    marks += taken_for_autorepeat(previous, action) ? 'R' : '.';
    previous = action;
  }
  return marks;
}

TEST(Autorepeat, APressRightAfterTheReleaseOfItsKeycodeLooksLikeARepeat) {
  constexpr unsigned kL = 46, kO = 32, kShift = 50, kZero = 19;
  struct Case {
    const char* what;
    std::vector<KeyAction> actions;
    const char* marks;
  };
  const Case cases[] = {
      {"ll", {{kL, true}, {kL, false}, {kL, true}, {kL, false}}, "..R."},
      {"lol",
       {{kL, true}, {kL, false}, {kO, true}, {kO, false}, {kL, true}, {kL, false}},
       "......"},
      {"000",
       {{kZero, true}, {kZero, false}, {kZero, true}, {kZero, false}, {kZero, true}},
       "..R.R"},
      // A release of another key in between: the press is not what comes
      // right after the release, so no target can take it for a repeat.
      {"L then l, with Shift released between",
       {{kShift, true}, {kL, true}, {kL, false}, {kShift, false}, {kL, true}, {kL, false}},
       "......"},
      {"the press of a held key is no repeat", {{kShift, true}, {kShift, true}}, ".."},
      {"a release after a release", {{kL, false}, {kL, false}}, ".."},
  };
  for (const Case& c : cases) EXPECT_EQ(repeats(c.actions), c.marks) << c.what;
}

}  // namespace
}  // namespace tavrino
