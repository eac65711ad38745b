# SPDX-License-Identifier: MIT
# Windows programs under Wine; needs a session (session.sh) and an X server
# (x.sh).
#
#   wine_prefix DIR               Wine with the 64-bit prefix DIR/wineprefix
#   win_path FILE, probe ARGS..., win_click WINDOW CONTROL  Windows programs under Wine

# wine_prefix DIR: Wine set up for the prefix DIR/wineprefix, which is created
# on first use; needs DISPLAY. Its Wine programs are ended on exit.
wine_prefix() {
  local dir=$1
  [[ $dir == /* ]] || dir=$PWD/$dir
  mkdir -p "$dir"
  export WINEPREFIX=$dir/wineprefix WINEARCH=win64 WINEDEBUG=-all
  # Skip the prompts to download Mono and Gecko; nothing here needs them.
  # Without winemenubuilder, a shortcut a test installs makes no entry in
  # the host's own application menu.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "Setting up the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  at_exit stop_wine "$WINEPREFIX"
  # With no window manager, Wine draws the window frames itself and manages
  # the focus as Windows does.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# Only this prefix's programs run on its server.
stop_wine() { WINEPREFIX=$1 wineserver -k 2>/dev/null; }

# tests/win32/probe.exe ($probe_exe) finds windows and controls from outside,
# under $wine (default: the wine on PATH).
win_path() { winepath -w "$1" 2>/dev/null; }
probe() { "${wine:-wine}" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
win_click() {
  local x y
  read -r x y < <(probe point "$@")
  xdotool mousemove "$x" "$y" click 1
}
