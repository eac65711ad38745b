// SPDX-License-Identifier: MIT
// A connection of tavrino's own to the Wayland compositor, beside the one the
// window's toolkit has: what the compositor offers (a seat, the virtual
// keyboard manager), and the keymap it hands to every client.
#pragma once

#include <string>

#include "base/status.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;

namespace tavrino {

class WaylandDisplay {
 public:
  WaylandDisplay() = default;
  WaylandDisplay(const WaylandDisplay&) = delete;
  WaylandDisplay& operator=(const WaylandDisplay&) = delete;
  ~WaylandDisplay();  // disconnects

  // Connects to the compositor named by WAYLAND_DISPLAY and learns what it
  // offers. Fails with a sentence for the user.
  Status connect();
  void disconnect();

  bool connected() const { return display_ != nullptr; }
  bool offers_virtual_keyboard() const { return manager_ != nullptr && seat_ != nullptr; }

  // The keymap the compositor hands to clients for the seat's keyboard, in
  // XKB's text format.
  Status read_keymap(std::string& text);

  // Sends what is queued and waits until the compositor has handled it.
  // Fails when the connection is lost or the compositor refused a request.
  Status roundtrip();

  wl_display* display() const { return display_; }
  wl_seat* seat() const { return seat_; }
  zwp_virtual_keyboard_manager_v1* virtual_keyboard_manager() const { return manager_; }

 private:
  static void on_global(void* data, wl_registry* registry, unsigned name, const char* interface,
                        unsigned version);
  static void on_global_remove(void* data, wl_registry* registry, unsigned name);

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
};

// The keymap the compositor of WAYLAND_DISPLAY hands to its clients, read
// through a connection made for it alone (see read_keymap).
Status read_compositor_keymap(std::string& text);

}  // namespace tavrino
