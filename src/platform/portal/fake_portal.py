#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A stand-in for the desktop's remote-desktop portal, for tavrino's tests.

fake_portal.py LOG [--version N] [--start-response N] [--close-after KEYS]
               [--device-types MASK]

Owns org.freedesktop.portal.Desktop on the session bus (a private one: run it
under dbus-run-session) and answers as xdg-desktop-portal does: every
request by a Response signal on its request object, after the call returned.
The dialog that Start shows is answered with --start-response (0 granted,
1 cancelled, 2 refused). With --close-after, the desktop closes the session
once that many keys have come, and refuses any key after. From version 2
on, a granted Start hands out a new restore token, "token-N".

Every call goes to LOG, one line each, flushed at once.
"""
import argparse

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BUS_NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
REMOTE_DESKTOP = "org.freedesktop.portal.RemoteDesktop"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"


class Request(dbus.service.Object):
    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, response, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.portal = portal
        self.open = True

    @dbus.service.method(SESSION)
    def Close(self):
        self.portal.log("Session.Close")
        self.open = False
        self.remove_from_connection()

    @dbus.service.signal(SESSION, signature="a{sv}")
    def Closed(self, details):
        pass


class Portal(dbus.service.Object):
    def __init__(self, bus, args):
        super().__init__(bus, PATH)
        self.bus = bus
        self.args = args
        self.out = open(args.log, "a", encoding="utf-8")
        self.sessions = {}
        self.requests = []
        self.keys = 0
        self.tokens = 0

    def log(self, line):
        self.out.write(line + "\n")
        self.out.flush()

    def answer(self, sender, options, response, results):
        sender_part = sender[1:].replace(".", "_")
        path = "%s/request/%s/%s" % (PATH, sender_part, options["handle_token"])
        request = Request(self.bus, path)
        self.requests.append(request)
        # The answer comes after the call has returned, as from a dialog.
        def respond():
            request.Response(dbus.UInt32(response), results)
            request.remove_from_connection()
            return False
        GLib.timeout_add(20, respond)
        return dbus.ObjectPath(path)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        self.log("GetAll " + interface)
        if interface != REMOTE_DESKTOP:
            return dbus.Dictionary({}, signature="sv")
        return dbus.Dictionary(
            {
                "AvailableDeviceTypes": dbus.UInt32(self.args.device_types),
                "version": dbus.UInt32(self.args.version),
            },
            signature="sv",
        )

    @dbus.service.method(REMOTE_DESKTOP, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        self.log("CreateSession")
        sender_part = sender[1:].replace(".", "_")
        handle = "%s/session/%s/%s" % (PATH, sender_part, options["session_handle_token"])
        self.sessions[handle] = Session(self.bus, handle, self)
        return self.answer(sender, options, 0, {"session_handle": dbus.String(handle)})

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oa{sv}", out_signature="o",
                         sender_keyword="sender")
    def SelectDevices(self, session, options, sender=None):
        words = ["SelectDevices", "types=%d" % options.get("types", 0)]
        if "persist_mode" in options:
            words.append("persist_mode=%d" % options["persist_mode"])
        if "restore_token" in options:
            words.append("restore_token=" + options["restore_token"])
        self.log(" ".join(words))
        return self.answer(sender, options, 0, {})

    @dbus.service.method(REMOTE_DESKTOP, in_signature="osa{sv}", out_signature="o",
                         sender_keyword="sender")
    def Start(self, session, parent_window, options, sender=None):
        self.log("Start")
        results = {}
        if self.args.start_response == 0:
            results["devices"] = dbus.UInt32(1)
            if self.args.version >= 2:
                self.tokens += 1
                results["restore_token"] = dbus.String("token-%d" % self.tokens)
        return self.answer(sender, options, self.args.start_response, results)

    @dbus.service.method(REMOTE_DESKTOP, in_signature="oa{sv}iu")
    def NotifyKeyboardKeysym(self, session, options, keysym, state):
        handle = self.sessions.get(str(session))
        if handle is None or not handle.open:
            raise dbus.exceptions.DBusException(
                "no such session", name="org.freedesktop.DBus.Error.AccessDenied")
        self.log("key 0x%x %s" % (keysym, "down" if state else "up"))
        self.keys += 1
        if self.args.close_after and self.keys == self.args.close_after:
            handle.open = False
            self.log("Closed")
            GLib.idle_add(lambda: handle.Closed({}) and False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("log")
    parser.add_argument("--version", type=int, default=1)
    parser.add_argument("--start-response", type=int, default=0)
    parser.add_argument("--close-after", type=int, default=0)
    parser.add_argument("--device-types", type=int, default=7)
    args = parser.parse_args()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus, args)
    name = dbus.service.BusName(BUS_NAME, bus, do_not_queue=True)
    portal.log("ready")
    loop = GLib.MainLoop()
    try:
        loop.run()
    finally:
        del name


if __name__ == "__main__":
    main()
