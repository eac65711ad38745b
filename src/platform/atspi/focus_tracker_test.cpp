// SPDX-License-Identifier: MIT
#include "platform/atspi/focus_tracker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrino {
namespace {

// One focus event as a program sends it: "+a" a focused, "-a" a left,
// "t>c" t names c as its current child.
void apply(FocusTracker<std::string>& tracker, const std::string& event) {
  if (event[0] == '+') return tracker.focused(event.substr(1));
  if (event[0] == '-') return tracker.unfocused(event.substr(1));
  const std::size_t arrow = event.find('>');
  tracker.active_descendant(event.substr(0, arrow), event.substr(arrow + 1));
}

std::string shown(const FocusTracker<std::string>::Target& target) {
  if (target.descendant.empty()) return target.object;
  return target.object + ">" + target.descendant;
}

TEST(FocusTracker, FollowsTheEventsOfEachToolkit) {
  struct Case {
    const char* what;
    std::vector<std::string> events;
    std::string focus;  // "" for none
  };
  const std::vector<Case> cases = {
      // GTK, as zenity's form sends them on Tab.
      {"gtk", {"+a", "+a", "-a", "+b", "+b"}, "b"},
      {"gtk, window left", {"+a", "-a"}, ""},
      // Firefox: no "left" for the field before.
      {"firefox", {"+a", "+b", "+c"}, "c"},
      // A "left" that comes after the next field was entered.
      {"late left", {"+a", "+b", "-a"}, "b"},
      // Calc on Tab: the editor gives the focus back, the sheet names the
      // cell just typed into, then the next one.
      {"calc, between",
       {"+sheet", "sheet>A1", "-sheet", "+editor", "-editor", "+sheet"},
       "sheet>A1"},
      {"calc, moved on",
       {"+sheet", "sheet>A1", "-sheet", "+editor", "-editor", "+sheet", "sheet>A1", "sheet>B1"},
       "sheet>B1"},
      {"calc, editing", {"+sheet", "sheet>A1", "-sheet", "+editor"}, "editor"},
      // A cell named by another container says nothing about this one.
      {"other container", {"list>item", "+sheet"}, "sheet"},
      {"descendant after leaving", {"+sheet", "sheet>A1", "-sheet", "+entry"}, "entry"},
      {"nothing", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FocusTracker<std::string> tracker;
    for (const std::string& event : c.events) apply(tracker, event);
    EXPECT_EQ(shown(tracker.current()), c.focus);
  }
}

}  // namespace
}  // namespace tavrino
