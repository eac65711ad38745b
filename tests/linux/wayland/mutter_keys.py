#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Answers the desktop's dialog in a headless mutter, as a user would with
the keyboard, for gnome_portal_test.sh.

mutter_keys.py WATCHED KEYSYM...

Opens a remote-desktop session of mutter's own (org.gnome.Mutter.RemoteDesktop,
which asks nobody), taps Shift so that the seat has a keyboard, waits until
the file WATCHED holds the line tavrino shows before the portal's dialog,
gives the dialog a moment to appear, and presses the keysyms (hex) in turn.
"""
import sys
import time

import dbus

SERVICE = "org.gnome.Mutter.RemoteDesktop"
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"


def main():
    watched, keysyms = sys.argv[1], [int(k, 16) for k in sys.argv[2:]]
    bus = dbus.SessionBus()
    desktop = bus.get_object(SERVICE, "/org/gnome/Mutter/RemoteDesktop")
    path = desktop.CreateSession(dbus_interface=SERVICE)
    session = bus.get_object(SERVICE, path)
    session.Start(dbus_interface=SESSION)

    def tap(keysym):
        for down in (True, False):
            session.NotifyKeyboardKeysym(dbus.UInt32(keysym), down, dbus_interface=SESSION)

    tap(0xFFE1)  # Shift_L
    print("ready", flush=True)
    deadline = time.monotonic() + 60
    while "status: The desktop asks" not in open(watched, encoding="utf-8").read():
        if time.monotonic() > deadline:
            sys.exit("tavrino never announced the dialog")
        time.sleep(0.05)
    time.sleep(1.5)
    for keysym in keysyms:
        tap(keysym)
        time.sleep(0.3)
    print("answered", flush=True)
    time.sleep(60)


if __name__ == "__main__":
    main()
