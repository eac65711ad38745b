// SPDX-License-Identifier: MIT
#include "playback/window_focus.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrino {
namespace {

TEST(WindowFocus, OwnWhenAnyWindowOnTheWayUpIsOurs) {
  using enum Focus::Kind;
  const FocusedWindow form{0x600005, false};
  const FocusedWindow main{0x800007, true};
  const FocusedWindow box{0x80002a, true};
  const FocusedWindow picker{0x400001, false};  // another program's dialog
  const struct {
    const char* what;
    std::vector<FocusedWindow> windows;
    Focus focus;
  } cases[] = {
      {"another program's form", {form}, {other, 0x600005}},
      {"our main window", {main}, {own, 0x800007}},
      {"our message box over our main window", {box, main}, {own, 0x80002a}},
      {"a dialog of another program over our window", {picker, main}, {own, 0x400001}},
      {"a dialog over another program's form", {picker, form}, {other, 0x400001}},
      {"a window that went away while looked at", {}, {unknown, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(focus_of(c.windows), c.focus) << c.what;
}

TEST(WindowFocus, TheFrontEndsWordComesBeforeThePlatforms) {
  using enum Focus::Kind;
  constexpr Focus kForm{other, 0x600005};
  const struct {
    const char* what;
    std::function<bool()> own_window_active;
    Focus focus;
    bool platform_asked;
  } cases[] = {
      {"no word from the front-end", {}, kForm, true},
      {"none of our windows active", [] { return false; }, kForm, true},
      // The platform is not asked: on Windows that would take the window
      // with the focus as the target.
      {"one of our windows active", [] { return true; }, {own, 0}, false},
  };
  for (const auto& c : cases) {
    bool asked = false;
    const Focus focus = focus_seen(c.own_window_active, [&asked, kForm] {
      asked = true;
      return kForm;
    });
    EXPECT_EQ(focus, c.focus) << c.what;
    EXPECT_EQ(asked, c.platform_asked) << c.what;
  }
}

}  // namespace
}  // namespace tavrino
