#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows stage: cross-builds tavrino.exe and every test program with
# mingw-w64, then runs them all under Wine on a private Xvfb server: the
# core's unit tests (16-bit wchar_t, Windows paths and file APIs), the Win32
# front-end's tests, --check, and the end-to-end typing test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${windows_build_packages[@]}" wine wine64 fonts-wine \
  fonts-liberation xvfb xdotool imagemagick

build=${WIN_BUILD_DIR:-build-win64}
start_session
start_x
wine_prefix "$build"

configure_windows "$build"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 300
