// SPDX-License-Identifier: MIT
#include "platform/win32/focus_facts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tavrino {
namespace {

TEST(FocusFacts, ClassifiesTheForegroundWindow) {
  constexpr DWORD kOwn = 40;
  constexpr DWORD kMedium = SECURITY_MANDATORY_MEDIUM_RID;
  constexpr DWORD kHigh = SECURITY_MANDATORY_HIGH_RID;
  constexpr std::optional<DWORD> kUnknown;
  using enum Focus::Kind;
  const struct {
    const char* name;
    std::uintptr_t foreground;
    DWORD owner;
    std::optional<DWORD> owner_level;
    std::optional<DWORD> own_level;
    std::optional<std::wstring> input_desktop;
    Focus expected;
  } cases[] = {
      {"no window on our desktop", 0, 0, kUnknown, kMedium, L"Default", {none, 0}},
      {"desktop names ignore case", 0, 0, kUnknown, kMedium, L"DEFAULT", {none, 0}},
      {"locked: the input desktop cannot be opened",
       0,
       0,
       kUnknown,
       kMedium,
       std::nullopt,
       {secure, 0}},
      {"another desktop takes the input", 0, 0, kUnknown, kMedium, L"Winlogon", {secure, 0}},
      {"a window of ours, levels unknown",
       0x1234,
       kOwn,
       kUnknown,
       kUnknown,
       std::nullopt,
       {own, 0x1234}},
      {"same level", 0x1234, 41, kMedium, kMedium, std::nullopt, {other, 0x1234}},
      {"run as administrator", 0x1234, 41, kHigh, kMedium, std::nullopt, {elevated, 0x1234}},
      {"both as administrator", 0x1234, 41, kHigh, kHigh, std::nullopt, {other, 0x1234}},
      {"cannot be opened", 0x1234, 41, kUnknown, kHigh, std::nullopt, {elevated, 0x1234}},
      {"own level unknown, target medium",
       0x1234,
       41,
       kMedium,
       kUnknown,
       std::nullopt,
       {other, 0x1234}},
      {"own level unknown, target high",
       0x1234,
       41,
       kHigh,
       kUnknown,
       std::nullopt,
       {elevated, 0x1234}},
  };
  for (const auto& c : cases) {
    FocusFacts facts;
    facts.foreground = c.foreground;
    facts.owner_process = c.owner;
    facts.own_process = kOwn;
    facts.owner_level = c.owner_level;
    facts.own_level = c.own_level;
    facts.input_desktop = c.input_desktop;
    facts.own_desktop = L"Default";
    EXPECT_EQ(classify_focus(facts), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace tavrino
