// SPDX-License-Identifier: MIT
#include "platform/session/session_keyboard.h"

#include <gtest/gtest.h>

#include "playback/fake_keyboard.h"
#include "playback/typekeys.h"

namespace tavrino {
namespace {

class SessionKeyboardTest : public ::testing::Test {
 protected:
  SessionKeyboardTest() {
    auto xtest_made = std::make_unique<RecordingKeyboard>();
    auto virtual_made = std::make_unique<RecordingKeyboard>();
    auto portal_made = std::make_unique<RecordingKeyboard>();
    xtest = xtest_made.get();
    virtual_keyboard = virtual_made.get();
    portal = portal_made.get();
    keyboard = std::make_unique<SessionKeyboard>(
        SessionKeyboard::Ways{std::move(xtest_made), std::move(virtual_made),
                              std::move(portal_made), [this] { return facts; }},
        [this] { return own_window; });
    sheet.itemcount = 2;
    sheet.itemvalue[0] = u"45";
    sheet.itemvalue[1] = u"52";
  }

  RecordingKeyboard* xtest = nullptr;
  RecordingKeyboard* virtual_keyboard = nullptr;
  RecordingKeyboard* portal = nullptr;
  SessionFacts facts;
  bool own_window = false;
  std::unique_ptr<SessionKeyboard> keyboard;
  ResultSheet sheet;
};

TEST_F(SessionKeyboardTest, EachPlaybackTypesThroughTheWayTheSessionOffersThen) {
  // The facts are asked again at every playback.
  const std::pair<SessionFacts, RecordingKeyboard*> cases[] = {
      {{true, true, true, true}, virtual_keyboard},
      {{true, true, false, true}, portal},
      {{false, true, false, false}, xtest},
      {{true, true, false, false}, xtest},  // XWayland, and an X11 window has the focus
  };
  for (const auto& [session, used] : cases) {
    facts = session;
    const std::size_t before = used->delivered().size();
    EXPECT_TRUE(typekeys(sheet, *keyboard));
    const KeyEvents& delivered = used->delivered();
    EXPECT_EQ(describe(KeyEvents(delivered.begin() + static_cast<std::ptrdiff_t>(before),
                                 delivered.end())),
              u"4 5 [TAB] 5 2 [TAB]");
    EXPECT_FALSE(used->open());
  }
  EXPECT_EQ(xtest->begin_calls(), 2);
  EXPECT_EQ(virtual_keyboard->begin_calls(), 1);
  EXPECT_EQ(portal->begin_calls(), 1);
}

TEST_F(SessionKeyboardTest, NothingIsTypedWhileTavrinosOwnWindowIsActive) {
  facts = {true, false, true, false};
  own_window = true;
  const Status result = typekeys(sheet, *keyboard);
  EXPECT_NE(result.message().find(u"tavrino's own window had the keyboard focus"),
            std::u16string::npos);
  EXPECT_EQ(virtual_keyboard->typed(), u"");
  EXPECT_FALSE(virtual_keyboard->open());
}

TEST_F(SessionKeyboardTest, WithXWaylandOnlyANativeWindowWithTheFocusIsRefused) {
  facts = {true, true, false, false};
  for (const Focus::Kind kind : {Focus::Kind::none, Focus::Kind::unknown}) {
    xtest->focus_after(0, Focus{kind, 0});
    const Status result = typekeys(sheet, *keyboard);
    EXPECT_EQ(result.message(), xwayland_only_refusal());
    EXPECT_EQ(xtest->typed(), u"");
    EXPECT_FALSE(xtest->open());
  }
}

TEST_F(SessionKeyboardTest, AWaylandDesktopWithNoWayToTypeIsNamedAndNothingBegins) {
  facts = {true, false, false, false};
  const Status result = typekeys(sheet, *keyboard);
  EXPECT_EQ(result.message(), choose_backend(facts).refusal);
  EXPECT_EQ(xtest->begin_calls() + virtual_keyboard->begin_calls() + portal->begin_calls(), 0);
}

TEST_F(SessionKeyboardTest, EndingTwiceEndsTheChosenKeyboardOnce) {
  facts = {true, false, false, true};
  ASSERT_TRUE(keyboard->begin());
  EXPECT_TRUE(portal->open());
  keyboard->end();
  keyboard->end();
  EXPECT_FALSE(portal->open());
  EXPECT_EQ(portal->end_calls(), 1);
}

}  // namespace
}  // namespace tavrino
