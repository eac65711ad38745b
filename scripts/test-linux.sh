#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Linux stage: builds the Qt desktop app with its tests and runs them
# all: the unit tests, the window's layout test (Qt's offscreen platform), the
# portal keyboard against a fake portal on a private D-Bus, and the
# end-to-end tests: each X11 one on a private Xvfb server with real XTEST
# keystrokes and real mouse clicks into a sample form, each Wayland one in a
# headless sway typing into foot, and the fields read back through the
# accessibility bus from a GTK form, Firefox, Chromium and LibreOffice Calc.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Build: Qt 6 Widgets and QtDBus, Xlib with XTEST, the Wayland client
# library and wayland-scanner, xkbcommon. End-to-end tests: the X server, a
# window manager, the tools that drive and watch the windows (xdotool,
# xprop, xev, setxkbmap, xkbcomp), xterm as a target that answers no pings,
# xclip to own the clipboard for a paste, and the fonts the window asks for;
# on Wayland, a headless sway, foot as the target and Qt's Wayland platform.
# Reading fields back: the accessibility bus on a session D-Bus, and a GTK
# form (zenity), Firefox, Chromium and LibreOffice Calc (on GTK, which it
# tells its cells through) to type into.
ensure_packages "${linux_build_packages[@]}" xvfb xauth xdotool x11-utils x11-xkb-utils \
  openbox xterm xclip fonts-liberation imagemagick sway foot qt6-wayland at-spi2-core dbus zenity \
  firefox-esr chromium libreoffice-calc libreoffice-gtk3

build=${LINUX_BUILD_DIR:-build-linux}
configure_linux "$build"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure
