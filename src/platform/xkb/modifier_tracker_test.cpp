// SPDX-License-Identifier: MIT
#include "platform/xkb/modifier_tracker.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
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
  static const std::map<unsigned, std::string> kNames = {
      {50, "Shift"}, {37, "Ctrl"}, {64, "Alt"}, {92, "AltGr"}};
  return kNames.at(keycode);
}

// One step of a playback as the keyboard drives the tracker.
using Step = std::function<KeyActions(ModifierTracker&)>;

Step press(Modifier m) {
  return [m](ModifierTracker& t) { return t.press(m); };
}
Step release(Modifier m) {
  return [m](ModifierTracker& t) { return t.release(m); };
}
Step stroke(unsigned needed) {
  return [needed](ModifierTracker& t) { return t.stroke(needed); };
}
const Step kReleaseExtra = [](ModifierTracker& t) { return t.release_extra(); };
const Step kFinish = [](ModifierTracker& t) { return t.finish(); };

// The key actions of all steps, written "+Shift -Shift", with "|" between
// steps so that each action shows where it came from.
std::string run(ModifierTracker& tracker, const std::vector<Step>& steps) {
  std::string out;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) out += " |";
    for (const KeyAction& action : steps[i](tracker)) {
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
}

}  // namespace
}  // namespace tavrino
