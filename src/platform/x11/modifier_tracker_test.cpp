// SPDX-License-Identifier: MIT
#include "platform/x11/modifier_tracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrino {
namespace {

// Masks as the core protocol has them: Shift, Control, Mod1 (Alt), Mod5
// (level 3 on the usual layouts).
constexpr unsigned kShift = 1 << 0;
constexpr unsigned kControl = 1 << 2;
constexpr unsigned kAlt = 1 << 3;
constexpr unsigned kLevel3 = 1 << 7;

const ModifierKeys kKeys = {{50, kShift}, {37, kControl}, {64, kAlt}, {92, kLevel3}};

std::string name_of(unsigned keycode) {
  switch (keycode) {
    case 50:
      return "Shift";
    case 37:
      return "Ctrl";
    case 64:
      return "Alt";
    case 92:
      return "AltGr";
  }
  return std::to_string(keycode);
}

// One step of a playback as the keyboard drives the tracker.
struct Step {
  enum class Kind { press, release, stroke, release_extra, finish } kind;
  Modifier modifier = Modifier::shift;
  unsigned needed = 0;
};

Step press(Modifier m) {
  return {Step::Kind::press, m};
}
Step release(Modifier m) {
  return {Step::Kind::release, m};
}
Step stroke(unsigned needed) {
  return {Step::Kind::stroke, Modifier::shift, needed};
}
const Step kReleaseExtra{Step::Kind::release_extra};
const Step kFinish{Step::Kind::finish};

// The key actions of all steps, written "+Shift -Shift", with "|" between
// steps so that each action shows where it came from.
std::string run(ModifierTracker& tracker, const std::vector<Step>& steps) {
  std::string out;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& step = steps[i];
    KeyActions actions;
    switch (step.kind) {
      case Step::Kind::press:
        actions = tracker.press(step.modifier);
        break;
      case Step::Kind::release:
        actions = tracker.release(step.modifier);
        break;
      case Step::Kind::stroke:
        actions = tracker.stroke(step.needed);
        break;
      case Step::Kind::release_extra:
        actions = tracker.release_extra();
        break;
      case Step::Kind::finish:
        actions = tracker.finish();
        break;
    }
    if (i > 0) out += " |";
    for (const KeyAction& action : actions) {
      out += (action.down ? " +" : " -") + name_of(action.keycode);
    }
  }
  return out;
}

TEST(ModifierTrackerTest, Playbacks) {
  using enum Modifier;
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::string actions;
    unsigned held_after;
  };
  const Case cases[] = {
      {"+a: the key string's Shift, nothing extra",
       {press(shift), stroke(0), release(shift)},
       " +Shift | | -Shift",
       0},
      {"+A: a held Shift serves a capital too",
       {press(shift), stroke(kShift), release(shift)},
       " +Shift | | -Shift",
       0},
      {"^+a",
       {press(ctrl), press(shift), stroke(0), release(shift), release(ctrl)},
       " +Ctrl | +Shift | | -Shift | -Ctrl",
       0},
      {"ABc: one Shift press for a run of capitals",
       {stroke(kShift), stroke(kShift), stroke(0), kReleaseExtra},
       " +Shift | | -Shift |",
       0},
      {"A@ on a German layout: Shift gives way to AltGr",
       {stroke(kShift), stroke(kLevel3), kReleaseExtra},
       " +Shift | -Shift +AltGr | -AltGr",
       0},
      {"Shift and AltGr together",
       {stroke(kShift | kLevel3), stroke(0)},
       " +Shift +AltGr | -Shift -AltGr",
       0},
      {"+ with a Shift+AltGr character: only AltGr is extra",
       {press(shift), stroke(kShift | kLevel3), release(shift)},
       " +Shift | +AltGr | -AltGr -Shift",
       0},
      {"Ctrl held does not count as Shift",
       {press(ctrl), stroke(kShift)},
       " +Ctrl | +Shift",
       kControl},
      {"extra Shift goes up before the key string presses Ctrl",
       {stroke(kShift), press(ctrl), stroke(0)},
       " +Shift | -Shift +Ctrl |",
       kControl},
      {"extra Shift goes up before the key string presses Shift",
       {stroke(kShift), press(shift), stroke(kShift)},
       " +Shift | -Shift +Shift |",
       kShift},
      {"extra AltGr goes up before a release",
       {press(alt), stroke(kLevel3), release(alt)},
       " +Alt | +AltGr | -AltGr -Alt",
       0},
      {"nested presses of one modifier: one press, one release",
       {press(shift), press(shift), release(shift), stroke(0), release(shift)},
       " +Shift | | | | -Shift",
       0},
      {"the mask stays while a nested press is held",
       {press(shift), press(shift), release(shift)},
       " +Shift | |",
       kShift},
      {"release without a press",
       {release(ctrl), stroke(kShift), release(shift)},
       " | +Shift | -Shift",
       0},
      {"finish: the extras, then each modifier once, in reverse order of first press",
       {press(ctrl), press(shift), press(ctrl), stroke(kLevel3), kFinish, kFinish},
       " +Ctrl | +Shift | | +AltGr | -AltGr -Shift -Ctrl |",
       0},
      {"finish with nothing down", {stroke(0), kFinish}, " |", 0},
  };
  for (const Case& c : cases) {
    ModifierTracker tracker(kKeys);
    EXPECT_EQ(run(tracker, c.steps), c.actions) << c.what;
    EXPECT_EQ(tracker.held(), c.held_after) << c.what;
  }
}

// A layout without AltGr and without Alt: nothing is pressed for them, and
// an Alt press the caller lets through leaves nothing to release.
TEST(ModifierTrackerTest, AbsentKeys) {
  ModifierTracker tracker({{50, kShift}, {37, kControl}, {}, {}});
  EXPECT_EQ(run(tracker, {stroke(kShift | kLevel3), press(Modifier::alt), stroke(0), kFinish}),
            " +Shift | -Shift | |");
  EXPECT_EQ(tracker.held(), 0u);
  EXPECT_EQ(tracker.key(Modifier::alt).keycode, 0u);
  EXPECT_EQ(tracker.key(Modifier::ctrl).keycode, 37u);
}

}  // namespace
}  // namespace tavrino
