// SPDX-License-Identifier: MIT
#include "platform/win32/focus_facts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace tavrino {
namespace {

TEST(FocusFacts, ClassifiesTheForegroundWindow) {
  constexpr DWORD kOwn = 40;
  constexpr DWORD kMedium = SECURITY_MANDATORY_MEDIUM_RID;
  constexpr DWORD kHigh = SECURITY_MANDATORY_HIGH_RID;
  constexpr std::optional<DWORD> kUnknown;
  using enum Focus::Kind;
  const auto facts_of = [](std::uintptr_t foreground, DWORD owner, std::optional<DWORD> owner_level,
                           std::optional<DWORD> own_level,
                           std::optional<std::wstring> input_desktop) {
    FocusFacts facts;
    facts.foreground = foreground;
    facts.owner_process = owner;
    facts.own_process = kOwn;
    facts.owner_level = owner_level;
    facts.own_level = own_level;
    facts.input_desktop = std::move(input_desktop);
    facts.own_desktop = L"Default";
    return facts;
  };
  // No foreground window: whether the input desktop is ours.
  const struct {
    const char* name;
    std::optional<std::wstring> input_desktop;
    Focus::Kind expected;
  } desktops[] = {
      {"no window on our desktop", L"Default", none},
      {"desktop names ignore case", L"DEFAULT", none},
      {"locked: the input desktop cannot be opened", std::nullopt, secure},
      {"another desktop takes the input", L"Winlogon", secure},
  };
  for (const auto& c : desktops) {
    EXPECT_EQ(classify_focus(facts_of(0, 0, kUnknown, kMedium, c.input_desktop)),
              (Focus{c.expected, 0}))
        << c.name;
  }
  // A foreground window: whose it is, and whether its keys would be dropped.
  const struct {
    const char* name;
    DWORD owner;
    std::optional<DWORD> owner_level, own_level;
    Focus::Kind expected;
  } windows[] = {
      {"a window of ours, levels unknown", kOwn, kUnknown, kUnknown, own},
      {"same level", 41, kMedium, kMedium, other},
      {"run as administrator", 41, kHigh, kMedium, elevated},
      {"both as administrator", 41, kHigh, kHigh, other},
      {"cannot be opened", 41, kUnknown, kHigh, elevated},
      {"own level unknown, target medium", 41, kMedium, kUnknown, other},
      {"own level unknown, target high", 41, kHigh, kUnknown, elevated},
  };
  for (const auto& c : windows) {
    EXPECT_EQ(classify_focus(facts_of(0x1234, c.owner, c.owner_level, c.own_level, std::nullopt)),
              (Focus{c.expected, 0x1234}))
        << c.name;
  }
}

}  // namespace
}  // namespace tavrino
