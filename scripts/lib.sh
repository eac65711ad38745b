# SPDX-License-Identifier: MIT
# Shared by the scripts: installs Debian packages that are not there yet, and
# sets up Wine on a private X server for the Windows build.

# ensure_packages PKG...: as root, apt-get installs the missing ones (after one
# apt-get update per run); otherwise names them and fails.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing Debian packages: ${missing[*]}. Install them with: sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
  if [[ -z ${TAVRINO_APT_UPDATED:-} ]]; then
    apt-get update
    export TAVRINO_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# private_x DIR: starts Xvfb on a free display, its number kept in
# DIR/xvfb-display, and exports DISPLAY. end_session (from an EXIT trap)
# stops it.
private_x() {
  session_dir=$1
  mkdir -p "$session_dir"
  rm -f "$session_dir/xvfb-display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$session_dir/xvfb-display" 2>/dev/null &
  session_xvfb=$!
  for _ in $(seq 1 100); do
    [[ -s $session_dir/xvfb-display ]] && break
    sleep 0.1
  done
  [[ -s $session_dir/xvfb-display ]] || { echo "Xvfb did not start" >&2; return 1; }
  DISPLAY=:$(head -n 1 "$session_dir/xvfb-display")
  export DISPLAY
}

# wine_prefix BUILD: Wine set up for the 64-bit prefix BUILD/wineprefix,
# which is created on first use; needs DISPLAY. end_session stops the
# prefix's Wine programs.
wine_prefix() {
  export WINEPREFIX=$PWD/$1/wineprefix
  session_wine=$WINEPREFIX
  export WINEARCH=win64
  export WINEDEBUG=-all
  # Skip the prompts to download Mono and Gecko; nothing here needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "Setting up the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # With no window manager, Wine draws the window frames itself and manages
  # the focus as Windows does.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

end_session() {
  # Only this prefix's Wine programs run on its server.
  if [[ -n ${session_wine:-} ]]; then WINEPREFIX=$session_wine wineserver -k 2>/dev/null || true; fi
  if [[ -n ${session_xvfb:-} ]]; then kill "$session_xvfb" 2>/dev/null || true; fi
  if [[ -n ${session_dir:-} ]]; then rm -f "$session_dir/xvfb-display"; fi
}
