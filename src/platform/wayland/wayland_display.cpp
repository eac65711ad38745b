// SPDX-License-Identifier: MIT
#include "platform/wayland/wayland_display.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <wayland-client.h>

#include "base/text.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace tavrino {

namespace {

// What wl_keyboard tells before anything else: its keymap.
struct KeymapReader {
  std::string text;
  bool received = false;
  bool readable = true;

  static void on_keymap(void* data, wl_keyboard*, std::uint32_t format, int fd,
                        std::uint32_t size) {
    auto* self = static_cast<KeymapReader*>(data);
    self->received = true;
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
      void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (map != MAP_FAILED) {
        self->text.assign(static_cast<const char*>(map), size);
        munmap(map, size);
      } else {
        self->readable = false;
      }
    } else {
      self->readable = false;
    }
    close(fd);
  }
  static void on_enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
  static void on_leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
  static void on_key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                     std::uint32_t) {}
  static void on_modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                           std::uint32_t, std::uint32_t) {}
  static void on_repeat_info(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
};

const wl_keyboard_listener kKeymapListener = {
    KeymapReader::on_keymap, KeymapReader::on_enter,     KeymapReader::on_leave,
    KeymapReader::on_key,    KeymapReader::on_modifiers, KeymapReader::on_repeat_info,
};

}  // namespace

WaylandDisplay::~WaylandDisplay() {
  disconnect();
}

Status WaylandDisplay::connect() {
  disconnect();
  const char* name = std::getenv("WAYLAND_DISPLAY");
  display_ = wl_display_connect(nullptr);
  if (display_ == nullptr) {
    return Status::failure(u"Cannot connect to the Wayland compositor (" +
                           utf8_to_utf16(name != nullptr ? name : "wayland-0") + u").");
  }
  static const wl_registry_listener listener = {&WaylandDisplay::on_global,
                                                &WaylandDisplay::on_global_remove};
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &listener, this);
  return roundtrip();
}

void WaylandDisplay::on_global(void* data, wl_registry* registry, unsigned name,
                               const char* interface, unsigned version) {
  auto* self = static_cast<WaylandDisplay*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
    // The first seat: a desktop has one.
    self->seat_ = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
  } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
             self->manager_ == nullptr) {
    self->manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
  }
}

void WaylandDisplay::on_global_remove(void*, wl_registry*, unsigned) {}

void WaylandDisplay::disconnect() {
  if (display_ == nullptr) return;
  if (manager_ != nullptr) zwp_virtual_keyboard_manager_v1_destroy(manager_);
  if (seat_ != nullptr) {
    if (wl_seat_get_version(seat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
      wl_seat_release(seat_);
    } else {
      wl_seat_destroy(seat_);
    }
  }
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_flush(display_);
  wl_display_disconnect(display_);
  display_ = nullptr;
  registry_ = nullptr;
  seat_ = nullptr;
  manager_ = nullptr;
}

Status WaylandDisplay::roundtrip() {
  if (display_ == nullptr) return Status::failure(u"There is no connection to the compositor.");
  if (wl_display_roundtrip(display_) < 0) {
    const int error = wl_display_get_error(display_);
    if (error == EPROTO) {
      return Status::failure(u"The Wayland compositor refused a request of the keyboard.");
    }
    return Status::failure(u"The connection to the Wayland compositor was lost.");
  }
  return Status::success();
}

Status WaylandDisplay::read_keymap(std::string& text) {
  if (seat_ == nullptr) return Status::failure(u"The Wayland compositor offers no keyboard seat.");
  wl_keyboard* keyboard = wl_seat_get_keyboard(seat_);
  KeymapReader reader;
  wl_keyboard_add_listener(keyboard, &kKeymapListener, &reader);
  Status status = roundtrip();
  if (status && !reader.received) status = roundtrip();
  if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
    wl_keyboard_release(keyboard);
  } else {
    wl_keyboard_destroy(keyboard);
  }
  if (!status) return status;
  if (!reader.received || !reader.readable || reader.text.empty()) {
    return Status::failure(u"The Wayland compositor did not hand over its keyboard layout.");
  }
  text = std::move(reader.text);
  return Status::success();
}

Status read_compositor_keymap(std::string& text) {
  WaylandDisplay wayland;
  if (Status connected = wayland.connect(); !connected) return connected;
  return wayland.read_keymap(text);
}

}  // namespace tavrino
