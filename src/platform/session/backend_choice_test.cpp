// SPDX-License-Identifier: MIT
#include "platform/session/backend_choice.h"

#include <gtest/gtest.h>

namespace tavrino {
namespace {

TEST(BackendChoice, EachSessionGetsTheFirstWayItOffers) {
  struct Case {
    SessionFacts facts;
    Backend backend;
  };
  // wayland, x_display, virtual_keyboard, portal_keyboard
  const Case cases[] = {
      {{false, true, false, false}, Backend::xtest},
      // Not Wayland and no DISPLAY either: XTEST says that it needs X11.
      {{false, false, false, false}, Backend::xtest},
      {{true, true, true, true}, Backend::virtual_keyboard},
      {{true, false, true, false}, Backend::virtual_keyboard},
      {{true, true, false, true}, Backend::portal},
      {{true, false, false, true}, Backend::portal},
      {{true, true, false, false}, Backend::xwayland},
      {{true, false, false, false}, Backend::none},
  };
  for (const Case& c : cases) {
    const BackendChoice choice = choose_backend(c.facts);
    EXPECT_EQ(choice.backend, c.backend) << c.facts.wayland << c.facts.x_display
                                         << c.facts.virtual_keyboard << c.facts.portal_keyboard;
    EXPECT_EQ(choice.refusal.empty(), c.backend != Backend::none);
  }
}

TEST(BackendChoice, ARefusalNamesWhatTheDesktopLacks) {
  const std::u16string refusal = choose_backend({true, false, false, false}).refusal;
  for (const std::u16string_view part : {u"Nothing was typed", u"virtual-keyboard protocol",
                                         u"remote-desktop portal", u"XWayland"}) {
    EXPECT_NE(refusal.find(part), std::u16string::npos) << std::string(part.begin(), part.end());
  }
  EXPECT_NE(xwayland_only_refusal().find(u"not one of them"), std::u16string::npos);
}

TEST(BackendChoice, ASessionIsWaylandByItsDisplayOrItsType) {
  EXPECT_TRUE(wayland_session("wayland-0", nullptr));
  EXPECT_TRUE(wayland_session(nullptr, "wayland"));
  EXPECT_TRUE(wayland_session("wayland-1", "x11"));
  EXPECT_FALSE(wayland_session("", "x11"));
  EXPECT_FALSE(wayland_session(nullptr, "tty"));
  EXPECT_FALSE(wayland_session(nullptr, nullptr));
}

}  // namespace
}  // namespace tavrino
