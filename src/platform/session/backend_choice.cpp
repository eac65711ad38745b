// SPDX-License-Identifier: MIT
#include "platform/session/backend_choice.h"

#include <string_view>

namespace tavrino {

namespace {

constexpr std::u16string_view kWaylandWays =
    u"the virtual-keyboard protocol (which sway, Hyprland, labwc and wayfire offer) or the "
    u"remote-desktop portal (which GNOME and KDE offer)";

}  // namespace

BackendChoice choose_backend(const SessionFacts& facts) {
  if (!facts.wayland) return {Backend::xtest, {}};
  if (facts.virtual_keyboard) return {Backend::virtual_keyboard, {}};
  if (facts.portal_keyboard) return {Backend::portal, {}};
  if (facts.x_display) return {Backend::xwayland, {}};
  return {Backend::none,
          u"Nothing was typed: typing into this Wayland desktop needs " +
              std::u16string(kWaylandWays) +
              u", and it offers neither; nor does it run XWayland, through which tavrino types "
              u"into X11 programs. Loading and viewing data files works without them."};
}

bool wayland_session(const char* wayland_display, const char* session_type) {
  if (wayland_display != nullptr && *wayland_display != '\0') return true;
  return session_type != nullptr && std::string_view(session_type) == "wayland";
}

std::u16string xwayland_only_refusal() {
  return u"Nothing was typed: this Wayland desktop offers neither " + std::u16string(kWaylandWays) +
         u", so tavrino can type only into X11 programs running under XWayland, and the window "
         u"with the keyboard focus is not one of them.";
}

}  // namespace tavrino
