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
    auto xtest_made = std::make_unique<FakeKeyboard>();
    auto virtual_made = std::make_unique<FakeKeyboard>();
    auto portal_made = std::make_unique<FakeKeyboard>();
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

  FakeKeyboard* xtest = nullptr;
  FakeKeyboard* virtual_keyboard = nullptr;
  FakeKeyboard* portal = nullptr;
  SessionFacts facts;
  bool own_window = false;
  std::unique_ptr<SessionKeyboard> keyboard;
  ResultSheet sheet;
};

TEST_F(SessionKeyboardTest, EachPlaybackTypesThroughTheWayTheSessionOffersThen) {
  // The facts are asked again at every playback.
  const std::pair<SessionFacts, FakeKeyboard*> cases[] = {
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

}  // namespace
}  // namespace tavrino
