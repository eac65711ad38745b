// SPDX-License-Identifier: MIT
#include "platform/session/session_keyboard.h"

#include <cstdlib>
#include <utility>

#include "platform/portal/portal_keyboard.h"
#include "platform/portal/remote_desktop.h"
#include "platform/wayland/virtual_keyboard.h"
#include "platform/wayland/wayland_display.h"
#include "platform/x11/xtest_keyboard.h"
#include "playback/window_focus.h"

namespace tavrino {

namespace {

// Asks the compositor, and the portal only when the compositor has no
// virtual keyboard: a portal that is not running yet is started by the bus
// on the first question, which takes a moment.
SessionFacts facts_of_this_session() {
  SessionFacts facts;
  const char* display = std::getenv("DISPLAY");
  facts.x_display = display != nullptr && *display != '\0';
  if (!wayland_session(std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_SESSION_TYPE"))) {
    return facts;
  }
  WaylandDisplay wayland;
  if (!wayland.connect()) return facts;
  facts.wayland = true;
  facts.virtual_keyboard = wayland.offers_virtual_keyboard();
  wayland.disconnect();
  if (!facts.virtual_keyboard) facts.portal_keyboard = RemoteDesktop::probe().keyboard;
  return facts;
}

}  // namespace

SessionKeyboard::SessionKeyboard(Ways ways, std::function<bool()> own_window_active)
    : ways_(std::move(ways)), own_window_active_(std::move(own_window_active)) {}

std::unique_ptr<SessionKeyboard> SessionKeyboard::for_this_session(SessionKeyboardOptions options) {
  PortalKeyboardOptions portal;
  portal.show_status = std::move(options.show_status);
  portal.read_keymap = read_compositor_keymap;
  Ways ways{std::make_unique<XTestKeyboard>(std::move(options.quit_requested)),
            std::make_unique<VirtualKeyboard>(),
            std::make_unique<PortalKeyboard>(std::move(portal)), facts_of_this_session};
  return std::make_unique<SessionKeyboard>(std::move(ways), std::move(options.own_window_active));
}

Keyboard::Opened SessionKeyboard::begin() {
  const BackendChoice choice = choose_backend(ways_.facts());
  backend_ = choice.backend;
  Keyboard* chosen = nullptr;
  switch (choice.backend) {
    case Backend::xtest:
    case Backend::xwayland:
      chosen = ways_.xtest.get();
      break;
    case Backend::virtual_keyboard:
      chosen = ways_.virtual_keyboard.get();
      break;
    case Backend::portal:
      chosen = ways_.portal.get();
      break;
    case Backend::none:
      return {nullptr, Status::failure(choice.refusal)};
  }
  Opened opened = chosen->begin();
  if (!opened.status || choice.backend != Backend::xwayland) return opened;
  // XTEST reaches only X11 programs; a native Wayland window with the
  // focus leaves XWayland's focus on no window of its own. tavrino's own
  // window is let through, for the playback to refuse as it refuses it
  // everywhere.
  const Focus focus = focus_seen(own_window_active_, [&opened] { return opened.session->focus(); });
  if (focus.kind != Focus::Kind::own && focus.kind != Focus::Kind::other) {
    return {nullptr, Status::failure(xwayland_only_refusal())};
  }
  return opened;
}

}  // namespace tavrino
