// SPDX-License-Identifier: MIT
#include "platform/x11/focus_facts.h"

#include <gtest/gtest.h>

namespace tavrino {
namespace {

constexpr std::int64_t kPid = 4242;
constexpr const char* kHost = "desk";

TEST(FocusFacts, WhoseWindowHasTheFocus) {
  using Input = FocusFacts::Input;
  using Kind = Focus::Kind;
  const WindowFacts form{0x600005, 999, "desk"};
  const WindowFacts ours{0x800007, kPid, "desk"};
  const WindowFacts our_box{0x80002a, kPid, std::nullopt};
  const WindowFacts no_pid{0x400001, std::nullopt, std::nullopt};
  const WindowFacts remote_same_pid{0x500003, kPid, "server"};
  struct Case {
    const char* what;
    FocusFacts facts;
    Focus focus;
  };
  const Case cases[] = {
      {"no focus", {Input::none, {}}, {Kind::none, 0}},
      {"focus follows the pointer", {Input::pointer_root, {}}, {Kind::none, 0}},
      {"the root window", {Input::root, {form}}, {Kind::none, 0}},
      {"another program's form", {Input::window, {form}}, {Kind::other, 0x600005}},
      {"a program that does not say its pid", {Input::window, {no_pid}}, {Kind::other, 0x400001}},
      {"tavrino's main window", {Input::window, {ours}}, {Kind::own, 0x800007}},
      {"tavrino's message box, with no machine named",
       {Input::window, {our_box, ours}},
       {Kind::own, 0x80002a}},
      {"a dialog without a pid over tavrino's window",
       {Input::window, {no_pid, ours}},
       {Kind::own, 0x400001}},
      {"a dialog of another program", {Input::window, {no_pid, form}}, {Kind::other, 0x400001}},
      {"the same pid on another machine",
       {Input::window, {remote_same_pid}},
       {Kind::other, 0x500003}},
      {"a window that went away while looked at", {Input::window, {}}, {Kind::unknown, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(classify_focus(c.facts, kPid, kHost), c.focus) << c.what;
  }
}

}  // namespace
}  // namespace tavrino
