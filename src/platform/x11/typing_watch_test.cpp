// SPDX-License-Identifier: MIT
#include "platform/x11/typing_watch.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace tavrino {
namespace {

constexpr unsigned kEsc = 9, kCtrl = 37, kShift = 50, kA = 38, kB = 56, kCaps = 66;

UserKey classify(unsigned keycode) {
  switch (keycode) {
    case kEsc:
      return {UserKey::Kind::escape, HeldKey::shift, {}};
    case kCtrl:
      return {UserKey::Kind::modifier, HeldKey::ctrl, {}};
    case kShift:
      return {UserKey::Kind::modifier, HeldKey::shift, {}};
    default:
      return {UserKey::Kind::other, HeldKey::shift, keycode == kCaps ? u"Caps_Lock" : u"\"a\""};
  }
}

using Step = std::function<void(TypingWatch&)>;

// The playback sends event `event` as a press and release of `keycode`.
Step typed(unsigned keycode, std::size_t event) {
  return [=](TypingWatch& w) {
    w.sent(keycode, true, event);
    w.sent(keycode, false, event);
    w.sent_events(event + 1);
  };
}
// The server reports a key of the XTEST device, or of the user's keyboard.
Step xtest(unsigned keycode, bool down) {
  return [=](TypingWatch& w) { w.xtest_key(keycode, down); };
}
Step handled(unsigned keycode) {
  return [=](TypingWatch& w) {
    w.xtest_key(keycode, true);
    w.xtest_key(keycode, false);
  };
}
Step user(unsigned keycode, bool down) {
  return [=](TypingWatch& w) { w.user_key(keycode, down); };
}

TEST(TypingWatch, TellsWhichKeysOfThePlaybackTheUserDisturbed) {
  const Step click = [](TypingWatch& w) { w.button(1); };
  const Step wheel = [](TypingWatch& w) { w.button(4); };
  const Step grab = [](TypingWatch& w) { w.grab_began(); };
  const Step ungrab = [](TypingWatch& w) { w.grab_ended(); };
  const Step new_layout = [](TypingWatch& w) { w.layout_changed(); };
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::optional<Disturbance> disturbed;
    HeldKeys held;
  } cases[] = {
      {"the playback alone", {typed(kA, 0), typed(kB, 1), handled(kA), handled(kB)}, {}, {}},
      {"Ctrl held while the playback's second key was handled",
       {typed(kA, 0), typed(kB, 1), handled(kA), user(kCtrl, true), handled(kB)},
       Disturbance{Disturbance::Kind::key, 1, u"Ctrl"},
       {HeldKey::ctrl}},
      {"Ctrl tapped between two keys changes nothing",
       {typed(kA, 0), typed(kB, 1), handled(kA), user(kCtrl, true), user(kCtrl, false),
        handled(kB)},
       {},
       {}},
      {"Ctrl held across a release only",
       {typed(kA, 0), xtest(kA, true), user(kCtrl, true), xtest(kA, false)},
       {},
       {HeldKey::ctrl}},
      {"a letter typed by the user between the playback's keys",
       {typed(kA, 0), typed(kB, 1), handled(kA), user(kA, true), handled(kB)},
       Disturbance{Disturbance::Kind::key, 1, u"\"a\""},
       {}},
      {"Caps Lock pressed in the middle of a key",
       {typed(kA, 0), xtest(kA, true), user(kCaps, true), xtest(kA, false)},
       Disturbance{Disturbance::Kind::key, 0, u"Caps_Lock"},
       {}},
      // Another program faking keys sends them through the same device.
      {"a key faked by another program",
       {typed(kA, 0), typed(kB, 1), handled(kA), xtest(kShift, true), handled(kB)},
       Disturbance{Disturbance::Kind::key, 1, u"Shift"},
       {HeldKey::shift}},
      {"a click",
       {typed(kA, 0), typed(kB, 1), handled(kA), click, handled(kB)},
       Disturbance{Disturbance::Kind::click, 1, {}},
       {}},
      {"the wheel", {typed(kA, 0), handled(kA), wheel}, {}, {}},
      {"another program grabs the keyboard before the playback's key is handled",
       {typed(kA, 0), typed(kB, 1), handled(kA), grab, handled(kB)},
       Disturbance{Disturbance::Kind::grab, 1, {}},
       {}},
      {"a grab that comes and goes between keys",
       {typed(kA, 0), handled(kA), grab, ungrab, typed(kB, 1), handled(kB)},
       {},
       {}},
      {"a new layout while keys are on their way",
       {typed(kA, 0), typed(kB, 1), handled(kA), new_layout, handled(kB)},
       Disturbance{Disturbance::Kind::layout, 1, {}},
       {}},
      {"the first disturbance is the one told",
       {typed(kA, 0), typed(kB, 1), click, handled(kA), user(kA, true), handled(kB)},
       Disturbance{Disturbance::Kind::click, 0, {}},
       {}},
      {"Esc is no disturbance", {typed(kA, 0), user(kEsc, true), handled(kA)}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TypingWatch watch(classify);
    for (const Step& step : c.steps) step(watch);
    EXPECT_EQ(watch.disturbed(), c.disturbed);
    EXPECT_EQ(watch.held(), c.held);
  }
}

TEST(TypingWatch, CountsEscAndKnowsTheModifiersHeld) {
  TypingWatch watch(classify);
  watch.user_holds(kShift);
  watch.user_holds(kA);  // not a modifier: not held as one
  EXPECT_EQ(watch.held(), HeldKeys{HeldKey::shift});
  watch.user_key(kEsc, true);
  watch.user_key(kEsc, false);
  watch.user_key(kEsc, true);
  EXPECT_EQ(watch.escapes(), 2u);
  watch.user_key(kShift, false);
  EXPECT_TRUE(watch.held().empty());
}

}  // namespace
}  // namespace tavrino
