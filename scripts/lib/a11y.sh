# SPDX-License-Identifier: MIT
# The accessibility bus, as a desktop session starts it; needs a session
# (session.sh) and an X server (x.sh).
#
#   start_a11y [on]               a session D-Bus with the accessibility bus on it; with
#                                 "on", the desktop's accessibility switched on (IsEnabled)

# A session D-Bus of the script's own ($DBUS_SESSION_BUS_ADDRESS) and the
# accessibility bus on it, as a desktop session starts them; needs DISPLAY.
# Its sockets go under $work, and GSettings (which the switch is kept in)
# live in memory, so nothing of it outlives the session.
start_a11y() {
  local launcher=/usr/libexec/at-spi-bus-launcher fd
  [[ -x $launcher ]] || fail "at-spi-bus-launcher is not installed (Debian: at-spi2-core)."
  export XDG_RUNTIME_DIR=$work/runtime GSETTINGS_BACKEND=memory
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  : >"$work/session-bus"
  exec {fd}>"$work/session-bus"
  spawn dbus-daemon --session --nofork --nopidfile --print-address="$fd" >"$work/dbus.log" 2>&1
  exec {fd}>&-
  wait_until 10 test -s "$work/session-bus" || fail "The session D-Bus did not start."
  export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/session-bus")
  spawn "$launcher" --launch-immediately >"$work/a11y.log" 2>&1
  wait_until 10 a11y_bus_running || fail "The accessibility bus did not start: $(cat "$work/a11y.log")"
  [[ ${1:-} == on ]] || return 0
  # What GNOME's switch (or a screen reader) sets; programs that start
  # afterwards tell what their fields hold.
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
    variant:boolean:true >/dev/null || fail "IsEnabled could not be set."
}

a11y_bus_running() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}
