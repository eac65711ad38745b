// SPDX-License-Identifier: MIT
#include "platform/win32/desktop.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <optional>
#include <string>

namespace tavrino {
namespace {

TEST(Desktop, ClassifiesTheForegroundWindow) {
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

std::array<BYTE, 256> keys_down(std::initializer_list<BYTE> down) {
  std::array<BYTE, 256> state{};
  for (BYTE vk : down) state[vk] = 0x80;
  return state;
}

TEST(Desktop, NamesTheModifiersHeld) {
  using enum HeldKey;
  const struct {
    std::initializer_list<BYTE> down;
    HeldKeys expected;
  } cases[] = {
      {{}, {}},
      {{'A', VK_CAPITAL, VK_SPACE}, {}},  // not modifiers
      {{VK_LSHIFT}, {shift}},
      {{VK_RSHIFT}, {shift}},
      {{VK_SHIFT}, {shift}},
      {{VK_LCONTROL}, {ctrl}},
      {{VK_RCONTROL}, {ctrl}},
      {{VK_LMENU}, {alt}},
      {{VK_LCONTROL, VK_LMENU}, {ctrl, alt}},
      {{VK_RMENU}, {altgr}},
      {{VK_LCONTROL, VK_RMENU}, {altgr}},  // what AltGr presses
      {{VK_RCONTROL, VK_RMENU}, {ctrl, altgr}},
      {{VK_CONTROL, VK_MENU}, {ctrl, alt}},  // only the generic keys known
      {{VK_CONTROL, VK_MENU, VK_LCONTROL, VK_RMENU}, {altgr}},
      {{VK_LWIN}, {super}},
      {{VK_RWIN}, {super}},
      {{VK_LSHIFT, VK_RSHIFT, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LWIN},
       {shift, ctrl, alt, altgr, super}},
  };
  for (const auto& c : cases) {
    const std::array<BYTE, 256> state = keys_down(c.down);
    EXPECT_EQ(held_modifiers(state), c.expected) << "case " << (&c - cases);
  }
}

TEST(Desktop, TellsTheUsersEscFromOthers) {
  const struct {
    WPARAM message;
    DWORD vk;
    DWORD flags;
    bool users_escape;
  } cases[] = {
      {WM_KEYDOWN, VK_ESCAPE, 0, true},
      {WM_SYSKEYDOWN, VK_ESCAPE, LLKHF_ALTDOWN, true},  // Esc with Alt held
      {WM_KEYDOWN, VK_ESCAPE, LLKHF_EXTENDED, true},
      {WM_KEYUP, VK_ESCAPE, LLKHF_UP, false},
      {WM_SYSKEYUP, VK_ESCAPE, LLKHF_UP, false},
      {WM_KEYDOWN, VK_ESCAPE, LLKHF_INJECTED, false},  // the playback's own {ESC}
      {WM_KEYDOWN, VK_ESCAPE, LLKHF_INJECTED | LLKHF_LOWER_IL_INJECTED, false},
      {WM_KEYDOWN, VK_TAB, 0, false},
      {WM_KEYDOWN, VK_CANCEL, 0, false},
  };
  for (const auto& c : cases) {
    KBDLLHOOKSTRUCT key{};
    key.vkCode = c.vk;
    key.flags = c.flags;
    EXPECT_EQ(is_users_escape(c.message, key), c.users_escape) << "case " << (&c - cases);
  }
}

// A thread that takes the lock, and either lets it go before it ends or
// ends while holding it.
struct LockThread {
  PlaybackLock* lock;
  bool release;
  bool acquired = false;
};

DWORD WINAPI take_lock(void* parameter) {
  auto* job = static_cast<LockThread*>(parameter);
  job->acquired = job->lock->acquire();
  if (job->release) job->lock->release();
  return 0;
}

bool acquire_on_other_thread(PlaybackLock& lock, bool release) {
  LockThread job{&lock, release};
  HANDLE thread = CreateThread(nullptr, 0, &take_lock, &job, 0, nullptr);
  if (thread == nullptr) return false;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return job.acquired;
}

TEST(Desktop, LetsOnePlaybackTypeAtATime) {
  const std::wstring name = L"Local\\tavrino.test." + std::to_wstring(GetCurrentProcessId());
  PlaybackLock ours(name);
  PlaybackLock others(name);
  ASSERT_TRUE(ours.acquire());
  EXPECT_FALSE(acquire_on_other_thread(others, true)) << "taken while ours holds it";
  ours.release();
  EXPECT_TRUE(acquire_on_other_thread(others, true));
  // A tavrino that ended while typing leaves the lock abandoned, not held.
  EXPECT_TRUE(acquire_on_other_thread(others, false));
  EXPECT_TRUE(ours.acquire());
  ours.release();
}

}  // namespace
}  // namespace tavrino
