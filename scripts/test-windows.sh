#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows stage: cross-builds tavrino.exe and every test program with
# mingw-w64, then runs them all under Wine on a private Xvfb server: the
# core's unit tests (16-bit wchar_t, Windows paths and file APIs), the Win32
# front-end's tests, --check, and the end-to-end typing test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages cmake make g++-mingw-w64-x86-64 googletest wine wine64 fonts-wine \
  fonts-liberation xvfb xdotool imagemagick

build=${WIN_BUILD_DIR:-build-win64}
wine=$(command -v wine)
mkdir -p "$build"
export WINEPREFIX=$PWD/$build/wineprefix
export WINEARCH=win64
export WINEDEBUG=-all
# Skip the prompts to download Mono and Gecko; nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=
cleanup() {
  # Only this build's Wine programs run on this prefix's server.
  wineserver -k 2>/dev/null || true
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -f "$build/xvfb-display"
}
trap cleanup EXIT

# A private X server: Xvfb picks a free display and writes its number.
rm -f "$build/xvfb-display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$build/xvfb-display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [[ -s $build/xvfb-display ]] && break
  sleep 0.1
done
[[ -s $build/xvfb-display ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n 1 "$build/xvfb-display")

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "Setting up the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# With no window manager, Wine draws the window frames itself and manages the
# focus as Windows does.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CROSSCOMPILING_EMULATOR="$wine"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 300
