// SPDX-License-Identifier: MIT
#include "platform/win32/hook_watch.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tavrino {
namespace {

std::u16string name(const HookKey& key) {
  if (key.key.vkCode == VK_ESCAPE) return u"Esc";
  return u"\"" + std::u16string(1, static_cast<char16_t>(key.key.vkCode - 'A' + 'a')) + u"\"";
}

using Step = std::function<void(HookWatch&)>;

HookKey hook_key(DWORD vk, bool down, DWORD flags, ULONG_PTR extra, DWORD scan = 0) {
  HookKey key;
  key.message = down ? WM_KEYDOWN : WM_KEYUP;
  key.key.vkCode = vk;
  key.key.scanCode = scan;
  key.key.flags = flags | (down ? 0 : LLKHF_UP);
  key.key.dwExtraInfo = extra;
  return key;
}

// The playback sends event `event` as records `record` (down) and
// `record` + 1 (up).
Step typed(std::uint32_t record, std::size_t event) {
  return [=](HookWatch& w) {
    w.sent(record, event, true);
    w.sent(record + 1, event, false);
    w.sent_events(event + 1);
  };
}
// The hook sees one of the playback's records, or both of an event's.
Step seen(std::uint32_t record) {
  return [=](HookWatch& w) { w.saw(hook_key('K', true, LLKHF_INJECTED, own_record_info(record))); };
}
Step handled(std::uint32_t record) {
  return [=](HookWatch& w) {
    seen(record)(w);
    seen(record + 1)(w);
  };
}
// A key of the user's keyboard.
Step user(DWORD vk, bool down) {
  return [=](HookWatch& w) { w.saw(hook_key(vk, down, 0, 0)); };
}
// A key another program put into the input stream, with its own extra info.
Step injected(DWORD vk, bool down, DWORD scan = 0) {
  return [=](HookWatch& w) { w.saw(hook_key(vk, down, LLKHF_INJECTED, 0x1234, scan)); };
}
Step tap(DWORD vk) {
  return [=](HookWatch& w) {
    user(vk, true)(w);
    user(vk, false)(w);
  };
}

TEST(HookWatch, TellsWhichKeysOfThePlaybackTheUserDisturbed) {
  const Step new_layout = [](HookWatch& w) { w.layout_changed(1); };
  const auto key_at = [](std::size_t after, std::u16string key) {
    return Disturbance{Disturbance::Kind::key, after, std::move(key)};
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::optional<Disturbance> disturbed = {};
    HeldKeys held = {};
  } cases[] = {
      {"the playback alone", {typed(1, 0), typed(3, 1), handled(1), handled(3)}},
      {"Ctrl pressed after the playback's keys went through, and still held",
       {typed(1, 0), handled(1), user(VK_LCONTROL, true)},
       {},
       {HeldKey::ctrl}},
      {"Ctrl held while the second key goes down",
       {typed(1, 0), typed(3, 1), handled(1), user(VK_LCONTROL, true), handled(3)},
       key_at(1, u"Ctrl"),
       {HeldKey::ctrl}},
      {"Ctrl tapped between two keys changes nothing",
       {typed(1, 0), typed(3, 1), handled(1), tap(VK_RCONTROL), handled(3)}},
      {"Ctrl held across a release only",
       {typed(1, 0), seen(1), user(VK_LCONTROL, true), seen(2), user(VK_LCONTROL, false)}},
      {"a letter typed by the user between the playback's keys",
       {typed(1, 0), typed(3, 1), handled(1), user('X', true), handled(3)},
       key_at(1, u"\"x\"")},
      {"a letter typed in the middle of an event",
       {typed(1, 0), typed(3, 1), seen(1), user('X', true), seen(2), handled(3)},
       key_at(0, u"\"x\"")},
      {"a key another program put into the input stream",
       {typed(1, 0), typed(3, 1), handled(1), injected('X', true), handled(3)},
       key_at(1, u"\"x\"")},
      {"Alt tapped alone opens the menu bar for the keys after it",
       {typed(1, 0), typed(3, 1), handled(1), tap(VK_LMENU), handled(3)},
       key_at(1, u"Alt")},
      {"Alt with Shift in between opens no menu",
       {typed(1, 0), handled(1), user(VK_LMENU, true), tap(VK_LSHIFT), user(VK_LMENU, false),
        typed(3, 1), handled(3)}},
      {"the left Ctrl that Windows adds to AltGr is nobody's Ctrl",
       {typed(1, 0), injected(VK_LCONTROL, true, 0x21D), handled(1)}},
      {"records the hook was skipped for went through",
       {typed(1, 0), typed(3, 1), typed(5, 2), seen(4), user('X', true), handled(5)},
       key_at(2, u"\"x\"")},
      {"a new layout",
       {typed(1, 0), typed(3, 1), handled(1), new_layout, handled(3)},
       Disturbance{Disturbance::Kind::layout, 1, {}}},
      {"the first disturbance is the one told",
       {typed(1, 0), typed(3, 1), user('X', true), handled(1), user(VK_LCONTROL, true), handled(3)},
       key_at(0, u"\"x\""),
       {HeldKey::ctrl}},
      {"the user's Esc is no disturbance", {typed(1, 0), user(VK_ESCAPE, true), handled(1)}},
      {"another program's Esc reaches the target",
       {typed(1, 0), injected(VK_ESCAPE, true), handled(1)},
       key_at(0, u"Esc")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HookWatch watch(name);
    for (const Step& step : c.steps) step(watch);
    EXPECT_EQ(watch.disturbed(), c.disturbed);
    EXPECT_EQ(watch.held(), c.held);
  }
}

TEST(HookWatch, CountsPressesOfEscNotItsRepeats) {
  HookWatch watch(name);
  watch.user_holds(VK_LSHIFT);
  watch.user_holds('A');  // not a modifier: not held as one
  EXPECT_EQ(watch.held(), HeldKeys{HeldKey::shift});
  for (const Step& step : {user(VK_ESCAPE, true), user(VK_ESCAPE, true), user(VK_ESCAPE, true)}) {
    step(watch);
  }
  EXPECT_EQ(watch.escapes(), 1u);
  EXPECT_TRUE(watch.escape_held());
  user(VK_ESCAPE, false)(watch);
  EXPECT_FALSE(watch.escape_held());
  user(VK_ESCAPE, true)(watch);
  EXPECT_EQ(watch.escapes(), 2u);
  user(VK_LSHIFT, false)(watch);
  EXPECT_TRUE(watch.held().empty());

  // Esc already down as watching begins asks for nothing until pressed again.
  HookWatch held_from_before(name);
  held_from_before.user_holds(VK_ESCAPE);
  user(VK_ESCAPE, true)(held_from_before);
  EXPECT_EQ(held_from_before.escapes(), 0u);
  EXPECT_TRUE(held_from_before.escape_held());
}

TEST(HookWatch, KnowsWhichRecordsTheHookHasSeen) {
  HookWatch watch(name);
  for (const Step& step : {typed(7, 0), typed(9, 1), seen(7), seen(8)}) step(watch);
  EXPECT_TRUE(watch.handled(8));
  EXPECT_FALSE(watch.handled(9));
  EXPECT_EQ(watch.handled_events(), 1u);
  // A record of another program, tagged as none of ours, moves nothing on.
  injected('K', true)(watch);
  EXPECT_FALSE(watch.handled(9));
  watch.forget_unseen();
  EXPECT_TRUE(watch.handled(10));
  EXPECT_EQ(watch.handled_events(), 2u);
}

}  // namespace
}  // namespace tavrino
