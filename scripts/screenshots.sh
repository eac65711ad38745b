#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes the README's screenshots: tavrino's window with examples/sample.ipt
# loaded, on Linux (the Qt app under Xvfb with openbox) and on Windows
# (tavrino.exe under Wine on its own Xvfb). Writes docs/screenshot-linux.png
# and docs/screenshot-windows.png. Builds what it needs in LINUX_BUILD_DIR
# (default build-linux) and WIN_BUILD_DIR (default build-win64); ONLY=linux
# or ONLY=windows takes just one of them. DPIS="144 192" also takes the
# Windows one at those DPIs (Wine's LogPixels, in a Wine prefix of its own
# each, on a 1280 x 1024 screen) as WIN_BUILD_DIR/screenshot-windows-DPI.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

only=${ONLY:-}
sample=examples/sample.ipt

linux_shot() {
  ensure_packages "${linux_build_packages[@]}" xvfb xauth xdotool x11-utils openbox \
    fonts-liberation imagemagick
  local build=${LINUX_BUILD_DIR:-build-linux}
  configure_linux "$build"
  cmake --build "$build" -j "$(nproc)" --target tavrino tavrino_layout_point >/dev/null
  # In a subshell: its session stops the X server when it ends.
  (
    tavrino=$build/src/platform/qt/tavrino
    layout_point=$build/tests/linux/app/tavrino_layout_point
    start_session
    source tests/linux/app/session.sh
    start_x
    start_wm
    start_tavrino "$sample"
    sleep 1 # the first paint
    # With the window manager's frame and title, as a user sees it.
    import -frame -window "$tavrino_window" docs/screenshot-linux.png
  )
  echo "Wrote docs/screenshot-linux.png"
}

# windows_shot [DPI]: at 96 DPI unless DPI says otherwise.
windows_shot() {
  ensure_packages "${windows_build_packages[@]}" wine wine64 fonts-wine fonts-liberation xvfb \
    xdotool imagemagick
  local build=${WIN_BUILD_DIR:-build-win64} dpi=${1:-96} shot=docs/screenshot-windows.png
  configure_windows "$build"
  cmake --build "$build" -j "$(nproc)" --target tavrino probe >/dev/null
  ((dpi == 96)) || shot=$build/screenshot-windows-$dpi.png
  (
    start_session
    start_x
    if ((dpi == 96)); then
      wine_prefix "$build"
    else
      # The DPI Wine reads when its server starts.
      wine_prefix "$work/dpi"
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
      wineserver -k
      wineserver -w
    fi
    # A path as a Windows user would have it.
    local documents=$WINEPREFIX/drive_c/users/Public/Documents
    mkdir -p "$documents"
    cp "$sample" "$documents/sample.ipt"
    spawn wine "$build/src/platform/win32/tavrino.exe" 'C:\users\Public\Documents\sample.ipt' \
      >/dev/null 2>&1
    local window probe_exe=$build/tests/win32/probe.exe
    window=$(wait_window "$(probe caption)" 30)
    sleep 2 # the first paint
    # Without a window manager Wine draws the frame inside the window.
    import -window "$window" "$shot"
  )
  echo "Wrote $shot"
}

mkdir -p docs
[[ $only == windows ]] || linux_shot
[[ $only == linux ]] || windows_shot
for dpi in ${DPIS:-}; do
  [[ $only == linux ]] || windows_shot "$dpi"
done
