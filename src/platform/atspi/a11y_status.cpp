// SPDX-License-Identifier: MIT
#include "platform/atspi/a11y_status.h"

#include <dbus/dbus.h>

#include <cstdlib>

namespace tavrino {

namespace {

constexpr int kCallTimeoutMs = 500;

// One boolean property of org.a11y.Status; false when it cannot be read.
bool status_property(DBusConnection* bus, const char* name) {
  DBusMessage* call = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus",
                                                   "org.freedesktop.DBus.Properties", "Get");
  if (call == nullptr) return false;
  const char* interface = "org.a11y.Status";
  dbus_message_append_args(call, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name,
                           DBUS_TYPE_INVALID);
  // The bus was seen running; should it have gone since, it must not be
  // started again by this call.
  dbus_message_set_auto_start(call, FALSE);
  DBusError error;
  dbus_error_init(&error);
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, kCallTimeoutMs, &error);
  dbus_message_unref(call);
  dbus_error_free(&error);
  if (reply == nullptr) return false;
  bool value = false;
  DBusMessageIter iter;
  DBusMessageIter variant;
  if (dbus_message_iter_init(reply, &iter) &&
      dbus_message_iter_get_arg_type(&iter) == DBUS_TYPE_VARIANT) {
    dbus_message_iter_recurse(&iter, &variant);
    if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_BOOLEAN) {
      dbus_bool_t b = FALSE;
      dbus_message_iter_get_basic(&variant, &b);
      value = b != FALSE;
    }
  }
  dbus_message_unref(reply);
  return value;
}

}  // namespace

A11yStatus session_a11y_status() {
  // Without an address libdbus would launch a session bus of its own.
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') return {};
  DBusError error;
  dbus_error_init(&error);
  // A private connection, closed again: the shared one belongs to whoever
  // else in the program uses libdbus.
  DBusConnection* bus = dbus_connection_open_private(address, &error);
  A11yStatus status;
  if (bus != nullptr && dbus_bus_register(bus, &error)) {
    status.running = dbus_bus_name_has_owner(bus, "org.a11y.Bus", &error) != FALSE;
    if (status.running) {
      status.enabled =
          status_property(bus, "IsEnabled") || status_property(bus, "ScreenReaderEnabled");
    }
  }
  dbus_error_free(&error);
  if (bus != nullptr) {
    dbus_connection_close(bus);
    dbus_connection_unref(bus);
  }
  return status;
}

std::u16string how_to_read_text(const A11yStatus& status) {
  if (!status.running) {
    return u"tavrino reads fields through the desktop's accessibility layer, which is not "
           u"running in this session. GNOME and KDE start it; turn accessibility on in the "
           u"desktop's settings, then start the program with the form again.";
  }
  if (!status.enabled) {
    return u"Most programs tell what their fields hold only while the desktop's accessibility "
           u"is on. On GNOME, turn it on with: gsettings set org.gnome.desktop.interface "
           u"toolkit-accessibility true (on another desktop, in its accessibility settings), "
           u"then start the program with the form again. Chromium also needs to be started "
           u"with --force-renderer-accessibility.";
  }
  return u"The program with the form told nothing about its fields. Start it again now that "
         u"accessibility is on; Chromium also needs to be started with "
         u"--force-renderer-accessibility.";
}

}  // namespace tavrino
