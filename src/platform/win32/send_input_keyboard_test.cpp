// SPDX-License-Identifier: MIT
#include "platform/win32/send_input_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/fake_layout.h"
#include "platform/win32/hook_watch.h"
#include "platform/win32/playback_lock.h"
#include "playback/fake_keyboard.h"
#include "playback/typekeys.h"
#include "sheet/result_sheet.h"

namespace tavrino {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr Focus kTarget{Focus::Kind::other, 7};

// The desktop as a test sets it up. It records every SendInput call, and
// plays the keyboard hook: the hook sees each record that went in, in order,
// and the user's keys in among them where the test puts them.
class FakeDesktop final : public Desktop {
 public:
  explicit FakeDesktop(TestClock& clock) : clock_(clock) {}

  Status open(std::function<void()> release_all) override {
    log.push_back("open");
    release_all_ = std::move(release_all);
    return open_result;
  }
  void close() override { log.push_back("close"); }
  Focus focus() override { return focus_now; }
  std::unique_ptr<KeyLayout> target_layout() override {
    return std::make_unique<FakeLayout>(layout);
  }
  std::uintptr_t layout_id() override { return layout_now; }
  bool caps_lock_on() override { return caps; }
  UINT send_input(std::span<INPUT> inputs) override {
    calls.emplace_back(inputs.begin(), inputs.end());
    log.push_back("send " + describe_inputs(calls.back()));
    const auto taken = std::min<UINT>(static_cast<UINT>(inputs.size()), accept);
    if (clock_.now() < hung_until) records_while_hung += taken;
    for (UINT i = 0; i < taken; ++i) {
      note_user_keys();
      const INPUT& input = inputs[i];
      HookKey key;
      key.message = (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0 ? WM_KEYUP : WM_KEYDOWN;
      key.key.vkCode = input.ki.wVk;
      key.key.flags = LLKHF_INJECTED;
      key.key.dwExtraInfo = input.ki.dwExtraInfo;
      if (!hook_blind) stream_.push_back(key);
      ++records_;
    }
    note_user_keys();
    return taken;
  }

  bool key_down(BYTE vk) override {
    return std::count(down_at_start.begin(), down_at_start.end(), vk);
  }
  bool start_hook() override {
    log.push_back("hook");
    hooked_ = true;
    note_user_keys();
    return hook_result;
  }
  void stop_hook() override {
    log.push_back("unhook");
    hooked_ = false;
  }
  void take_hook_keys(std::vector<HookKey>& keys) override {
    note_user_keys();
    if (hook_stalled) return;
    keys.insert(keys.end(), stream_.begin(), stream_.end());
    stream_.clear();
  }
  void wait_for_hook(milliseconds most) override {
    clock_.advance(most);
    if (on_wait) on_wait(*this);
  }
  std::u16string key_name(const HookKey& key) override {
    return u"key " + std::u16string(1, static_cast<char16_t>(key.key.vkCode));
  }
  // SendMessageTimeout's answer: within `wait`, once the target is no longer
  // hung; with no time to wait, whether it is not hung.
  bool responsive(std::uint64_t window, milliseconds wait) override {
    EXPECT_EQ(window, kTarget.window);
    const Clock::time_point now = clock_.now();
    if (now >= hung_until) return true;
    if (wait.count() == 0) return false;
    clock_.advance(std::min<Clock::duration>(wait, hung_until - now));
    return clock_.now() >= hung_until;
  }
  bool window_exists(std::uint64_t window) override { return window == 7 && !target_closed; }
  std::u16string window_title(std::uint64_t) override { return u"marks.txt - Notepad"; }
  bool secure_desktop() override { return secure; }

  // The user presses or lets go of `vk` once the hook has seen `after` of
  // the records sent, or once the clock reaches `when`.
  void user_key(std::size_t after, BYTE vk, bool down) { user_.push_back({after, {}, vk, down}); }
  void user_key_at(Clock::time_point when, BYTE vk, bool down) {
    user_.push_back({0, when, vk, down});
  }
  // The keyboard's emergency release, as the console handler would call it.
  void console_closes() { release_all_(); }

  std::vector<std::string> log;
  std::vector<std::vector<INPUT>> calls;
  Status open_result = Status::success();
  bool hook_result = true;
  Focus focus_now = kTarget;
  FakeLayout layout = us_layout();
  std::uintptr_t layout_now = 1;
  bool caps = false;
  bool secure = false;
  bool target_closed = false;
  std::vector<BYTE> down_at_start;
  UINT accept = UINT_MAX;     // records taken per call
  bool hook_stalled = false;  // the hook sees nothing for now
  bool hook_blind = false;    // the hook never sees the playback's records
  Clock::time_point hung_until{};
  std::size_t records_while_hung = 0;
  std::function<void(FakeDesktop&)> on_wait;

 private:
  struct UserKey {
    std::size_t after;
    Clock::time_point when;
    BYTE vk;
    bool down;
  };
  void note_user_keys() {
    if (!hooked_) return;
    std::erase_if(user_, [&](const UserKey& user) {
      if (user.after > records_ || user.when > clock_.now()) return false;
      HookKey key;
      key.message = user.down ? WM_KEYDOWN : WM_KEYUP;
      key.key.vkCode = user.vk;
      stream_.push_back(key);
      return true;
    });
  }

  TestClock& clock_;
  std::function<void()> release_all_;
  bool hooked_ = false;
  std::size_t records_ = 0;
  std::vector<HookKey> stream_;
  std::vector<UserKey> user_;
};

std::vector<std::string> sends(const FakeDesktop& desktop) {
  std::vector<std::string> out;
  for (const auto& call : desktop.calls) out.push_back(describe_inputs(call));
  return out;
}

// A keyboard and its desktop on a test clock.
struct Rig {
  explicit Rig(SendInputOptions options = {}) : keyboard(desktop, with_clock(std::move(options))) {}
  SendInputOptions with_clock(SendInputOptions options) {
    options.now = clock.function();
    return options;
  }
  // A session that has locked and prepared for `events`.
  std::unique_ptr<KeyboardSession> prepared(const KeyEvents& events) {
    auto session = std::move(keyboard.begin().session);
    EXPECT_TRUE(session->lock());
    EXPECT_TRUE(session->prepare(events).ok());
    return session;
  }
  TestClock clock;
  FakeDesktop desktop{clock};
  SendInputKeyboard keyboard;
};

TEST(SendInputKeyboard, ASessionHoldsTheDesktopFromLockToItsEnd) {
  KeyEvents value = text(U"B-");
  value.push_back(KeyEvent::of_key(Key::tab));
  const struct {
    bool unicode_only;
    const char* sent;  // in one call, so that no key of the user's lands in between
  } cases[] = {
      {false, "send [Shift]↓ [B]↓ [B]↑ [Shift]↑ [Minus]↓ [Minus]↑ [Tab]↓ [Tab]↑"},
      {true, "send B↓ B↑ -↓ -↑ [Tab]↓ [Tab]↑"},
  };
  for (const auto& c : cases) {
    Rig rig({.unicode_only = c.unicode_only});
    auto session = rig.prepared(value);
    const KeyboardSession::Sent sent = session->send(value);
    EXPECT_EQ(session->target_name(), u"Notepad");
    session.reset();
    EXPECT_TRUE(sent.status.ok());
    EXPECT_EQ(sent.delivered, value.size());
    EXPECT_EQ(rig.desktop.log,
              (std::vector<std::string>{"open", "hook", c.sent, "unhook", "close"}));
  }
}

TEST(SendInputKeyboard, RefusesBeforeAnythingIsSent) {
  KeyEvents untypable = text(U"fine");
  const KeyEvents bad = held(Modifier::ctrl, text(U"\u00E9"));
  untypable.insert(untypable.end(), bad.begin(), bad.end());
  const struct {
    const char* what;
    KeyEvents events;
    bool hook;
  } cases[] = {
      {"a character the layout cannot type", untypable, true},
      {"Windows refuses the hook", text(U"fine"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.desktop.caps = true;
    rig.desktop.hook_result = c.hook;
    auto session = std::move(rig.keyboard.begin().session);
    ASSERT_TRUE(session->lock());
    EXPECT_FALSE(session->prepare(c.events).ok());
    session.reset();
    EXPECT_TRUE(rig.desktop.calls.empty()) << "not even Caps Lock";
  }
}

TEST(SendInputKeyboard, LocksNothingWhileAnotherPlaybackTypes) {
  Rig rig;
  rig.desktop.open_result = Status::failure(another_playback_message());
  auto session = std::move(rig.keyboard.begin().session);
  EXPECT_FALSE(session->lock());
  session.reset();
  EXPECT_EQ(rig.desktop.log, std::vector<std::string>{"open"}) << "no hook, nothing to close";
}

TEST(SendInputKeyboard, LetsGoOfEveryKeyOnEveryWayOut) {
  // Ctrl and Alt pressed and never released by the events themselves, as
  // when a playback stops in the middle of "^%(...)".
  const KeyEvents pressed{KeyEvent::press_of(Modifier::ctrl), KeyEvent::press_of(Modifier::alt)};
  using Owned = std::unique_ptr<KeyboardSession>;
  const struct {
    const char* name;
    std::function<void(Owned&, FakeDesktop&)> way_out;
  } cases[] = {
      {"the session ends", [](Owned& session, FakeDesktop&) { session.reset(); }},
      {"the console closes", [](Owned&, FakeDesktop& desktop) { desktop.console_closes(); }},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.desktop.caps = true;
    auto session = rig.prepared(pressed);
    session->send(pressed);
    c.way_out(session, rig.desktop);
    ASSERT_EQ(rig.desktop.calls.size(), 3u) << c.name;
    EXPECT_EQ(describe_inputs(rig.desktop.calls[2]),
              "[Mask]↓ [Mask]↑ [Alt]↑ [Ctrl]↑ [Caps]↓ [Caps]↑")
        << c.name;
    // Once the console has closed nothing more goes out.
    if (session) {
      EXPECT_EQ(session->send(text(U"45")).delivered, 0u);
    }
    session.reset();
    EXPECT_EQ(rig.desktop.calls.size(), 3u) << "nothing let go of twice: " << c.name;
  }
}

TEST(SendInputKeyboard, CountsWhatWentInWhenInputIsBlocked) {
  // "a", then Ctrl+C, then Tab: records A↓ A↑ Ctrl↓ C↓ C↑ Ctrl↑ Tab↓ Tab↑.
  KeyEvents events = text(U"a");
  const KeyEvents ctrl_c = held(Modifier::ctrl, text(U"c"));
  events.insert(events.end(), ctrl_c.begin(), ctrl_c.end());
  events.push_back(KeyEvent::of_key(Key::tab));
  struct Case {
    UINT accept;
    std::size_t delivered;
    const char* cleanup;  // a second call that lets go of what is still down
  };
  const Case cases[] = {
      {0, 0, nullptr},   {1, 0, "[A]↑"},         {2, 1, nullptr},
      {3, 2, "[Ctrl]↑"}, {4, 2, "[C]↑ [Ctrl]↑"}, {7, 4, "[Tab]↑"},
  };
  for (const Case& c : cases) {
    for (const bool secure : {false, true}) {
      SCOPED_TRACE(testing::Message() << "accepting " << c.accept << (secure ? ", secure" : ""));
      Rig rig;
      rig.desktop.accept = c.accept;
      rig.desktop.secure = secure;
      auto session = rig.prepared(events);
      const KeyboardSession::Sent sent = session->send(events);
      EXPECT_EQ(sent.delivered, c.delivered);
      ASSERT_FALSE(sent.status.ok());
      // A locked screen is no blocked input, and is said to be one.
      EXPECT_EQ(sent.status.message(), secure ? secure_desktop_message() : blocked_input_message());
      ASSERT_EQ(rig.desktop.calls.size(), c.cleanup != nullptr ? 2u : 1u);
      if (c.cleanup != nullptr) EXPECT_EQ(describe_inputs(rig.desktop.calls[1]), c.cleanup);
    }
  }
}

TEST(SendInputKeyboard, WatchesTheKeyboardWhileItTypes) {
  // "ab", then "cd": records 1 to 4 and 5 to 8, events 0 and 1, then 2 and 3.
  using Kind = Disturbance::Kind;
  const struct {
    const char* what;
    KeyboardWatch expected;
    std::function<void(FakeDesktop&)> before = {};
    std::function<void(FakeDesktop&, KeyboardSession&)> between = {};  // after "ab" went out
  } cases[] = {
      {"all well", {}},
      {"Ctrl pressed between the two sends",
       {.held = {HeldKey::ctrl}, .disturbed = Disturbance{Kind::key, 2, u"Ctrl"}},
       [](FakeDesktop& d) { d.user_key(4, VK_LCONTROL, true); }},
      {"Shift held as typing began",
       {.held = {HeldKey::shift}, .disturbed = Disturbance{Kind::key, 0, u"Shift"}},
       [](FakeDesktop& d) { d.down_at_start = {VK_RSHIFT}; }},
      {"the target's layout changed before the target took anything",
       {.disturbed = Disturbance{Kind::layout, 0, {}}},
       {},
       [](FakeDesktop& d, KeyboardSession&) { d.layout_now = 2; }},
      {"the target's layout changed after it took the first two events",
       {.disturbed = Disturbance{Kind::layout, 2, {}}},
       {},
       [](FakeDesktop& d, KeyboardSession& s) {
         EXPECT_TRUE(s.ask_taken());
         EXPECT_EQ(s.answers(milliseconds(0)), 1u);
         d.layout_now = 2;
       }},
      // The focus check stops typing; the layout is that other window's.
      {"another window with another layout",
       {},
       {},
       [](FakeDesktop& d, KeyboardSession&) {
         d.focus_now = {Focus::Kind::other, 8};
         d.layout_now = 2;
       }},
      {"the target was closed",
       {.target_gone = true},
       {},
       [](FakeDesktop& d, KeyboardSession&) { d.target_closed = true; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    if (c.before) c.before(rig.desktop);
    auto session = rig.prepared(text(U"abcd"));
    EXPECT_EQ(session->focus(), kTarget);
    session->send(text(U"ab"));
    if (c.between) c.between(rig.desktop, *session);
    session->send(text(U"cd"));
    EXPECT_EQ(session->watch(), c.expected);
  }
}

TEST(SendInputKeyboard, SaysTheTargetTookTheKeysOnceTheHookSawThemAndTheTargetAnswers) {
  const struct {
    const char* what;
    std::function<void(FakeDesktop&)> setup;
    std::size_t at_once;       // answers(0) right after the keys went out
    std::size_t within_20_ms;  // answers(20 ms) then
  } cases[] = {
      {"all well", [](FakeDesktop&) {}, 1, 1},
      {"the hook catches up while it is waited for",
       [](FakeDesktop& d) {
         d.hook_stalled = true;
         d.on_wait = [](FakeDesktop& desktop) { desktop.hook_stalled = false; };
       },
       0, 1},
      {"the hook does not catch up", [](FakeDesktop& d) { d.hook_stalled = true; }, 0, 0},
      {"the target answers 10 ms late",
       [](FakeDesktop& d) { d.hung_until = Clock::time_point{} + milliseconds(10); }, 0, 1},
      {"the target hangs", [](FakeDesktop& d) { d.hung_until = Clock::time_point::max(); }, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    c.setup(rig.desktop);
    auto session = rig.prepared(text(U"ab"));
    session->send(text(U"ab"));
    ASSERT_TRUE(session->ask_taken());
    EXPECT_EQ(session->answers(milliseconds(0)), c.at_once);
    EXPECT_EQ(rig.clock.now(), Clock::time_point{}) << "no wait without time for one";
    EXPECT_EQ(session->answers(milliseconds(20)), c.within_20_ms);
    EXPECT_LE(rig.clock.now(), Clock::time_point{} + milliseconds(20)) << "waited too long";
  }
}

TEST(SendInputKeyboard, CannotSayWhatWasTakenWithAHookThatSeesNoneOfItsKeys) {
  Rig rig;
  rig.desktop.hook_blind = true;
  auto session = rig.prepared(text(U"ab"));
  session->send(text(U"ab"));
  EXPECT_EQ(session->focus(), kTarget);  // after waiting for the hook in vain, once
  const Clock::time_point waited = rig.clock.now();
  EXPECT_GT(waited, Clock::time_point{});
  EXPECT_FALSE(session->ask_taken());
  session->send(text(U"cd"));
  session->focus();
  EXPECT_EQ(rig.clock.now(), waited) << "not waited for again";
}

TEST(SendInputKeyboard, KeepsTheHookUntilTheUserLetsGoOfEsc) {
  const struct {
    const char* what;
    std::optional<milliseconds> let_go;  // after the session ends
    milliseconds waited;
  } cases[] = {
      {"let go of after half a second", milliseconds(500), milliseconds(500)},
      {"held on", std::nullopt, milliseconds(3000)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.desktop.user_key(1, VK_ESCAPE, true);
    auto session = rig.prepared(text(U"ab"));
    session->send(text(U"ab"));
    EXPECT_EQ(session->watch().escapes, 1u);
    if (c.let_go) rig.desktop.user_key_at(rig.clock.now() + *c.let_go, VK_ESCAPE, false);
    const Clock::time_point ended = rig.clock.now();
    session.reset();
    const auto waited = rig.clock.now() - ended;
    EXPECT_GE(waited, c.waited);
    EXPECT_LT(waited, c.waited + milliseconds(20));
    EXPECT_EQ(rig.desktop.log.back(), "close");
    EXPECT_EQ(rig.desktop.log.end()[-2], "unhook");
  }
}

TEST(SendInputKeyboard, NamesTheTargetByItsProgram) {
  const struct {
    std::u16string_view title;
    std::u16string_view name;
  } cases[] = {
      {u"a - b - Notepad", u"Notepad"},
      {u"Report — Mozilla Firefox", u"Mozilla Firefox"},
      {u"Untitled -", u"Untitled -"},  // nothing after the dash
      {u"x - Evil‮gnp.exe", u"Evil<U+202E>gnp.exe"},
      {u"A program whose name is far too long for a status line",
       u"A program whose name is far too long fo…"},
  };
  for (const auto& c : cases) EXPECT_EQ(program_name(c.title), c.name) << "case " << (&c - cases);
}

ResultSheet sheet_of(std::initializer_list<std::u16string> values) {
  ResultSheet sheet;
  for (const std::u16string& value : values) {
    sheet.itemvalue[static_cast<std::size_t>(sheet.itemcount)] = value;
    ++sheet.itemcount;
  }
  return sheet;
}

// A whole playback of `values` through the rig's keyboard, on its clock.
Status play(Rig& rig, std::initializer_list<std::u16string> values) {
  Playback playback(sheet_of(values), rig.keyboard,
                    {.now = rig.clock.function(), .own_window_active = {}});
  return run_playback(playback, rig.clock);
}

// What the desktop was given, as the characters and keys it typed.
std::string typed_text(const FakeDesktop& desktop) {
  std::string out;
  for (const auto& call : desktop.calls) {
    for (const INPUT& input : call) {
      if ((input.ki.dwFlags & KEYEVENTF_KEYUP) != 0) continue;
      const WORD vk = input.ki.wVk;
      if (vk == VK_TAB) out += '|';
      if (vk >= 'A' && vk <= 'Z') out += static_cast<char>(vk - 'A' + 'a');
      if (vk >= '0' && vk <= '9') out += static_cast<char>(vk);
    }
  }
  return out;
}

TEST(SendInputKeyboard, APlaybackGoesByWhatTheHookSaw) {
  const std::u16string long_value(100, u'q');
  const std::string all = "45|" + std::string(100, 'q') + "|77|";
  const Clock::time_point start{};
  const struct {
    const char* what;
    std::function<void(FakeDesktop&)> setup;
    const char16_t* says = nullptr;  // a part of the message; none when all was typed
  } cases[] = {
      {"nothing happens", [](FakeDesktop&) {}},
      {"a key pressed in the second value", [](FakeDesktop& d) { d.user_key(30, 'X', true); },
       u"entry 2"},
      {"Ctrl held after the first value for a second",
       [start](FakeDesktop& d) {
         d.user_key(6, VK_LCONTROL, true);
         d.user_key_at(start + milliseconds(1000), VK_LCONTROL, false);
       }},
      {"the target hangs for two seconds",
       [start](FakeDesktop& d) { d.hung_until = start + milliseconds(2000); }},
      {"the target hangs for good", [](FakeDesktop& d) { d.hung_until = Clock::time_point::max(); },
       u"took no keys"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    c.setup(rig.desktop);
    const Status result = play(rig, {u"45", long_value, u"77"});
    EXPECT_EQ(result.ok(), c.says == nullptr);
    if (c.says == nullptr) {
      EXPECT_EQ(typed_text(rig.desktop), all);
    } else {
      EXPECT_NE(result.message().find(c.says), std::u16string::npos);
    }
    // Flow control: never more than the playback's bound ahead of a target
    // that takes nothing (each of these events is two records).
    EXPECT_LE(rig.desktop.records_while_hung, 2 * Playback::kMostAhead);
    EXPECT_EQ(rig.desktop.log.back(), "close");
  }
}

TEST(SendInputKeyboard, APlaybackStopsAtEscWithNoKeyDown) {
  // Esc is pressed while the second value, which holds Shift, goes out:
  // after Caps Lock, 4, 5 and Tab (8 records) and Shift, A and Shift again
  // (5 more).
  Rig rig;
  rig.desktop.caps = true;
  rig.desktop.user_key(13, VK_ESCAPE, true);
  const Status result = play(rig, {u"45", u"+ab", u"x"});
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.message().find(u"Esc was pressed"), std::u16string::npos);
  EXPECT_EQ(sends(rig.desktop), (std::vector<std::string>{
                                    "[Caps]↓ [Caps]↑",
                                    "[4]↓ [4]↑ [5]↓ [5]↑",
                                    "[Tab]↓ [Tab]↑",
                                    "[Shift]↓ [A]↓ [A]↑ [Shift]↑ [B]↓ [B]↑",
                                    "[Caps]↓ [Caps]↑",
                                }));
}

}  // namespace
}  // namespace tavrino
