#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up and runs every test on a Debian 12 machine: installs the packages
# that are missing (as root, with apt-get), builds, and runs the whole suite:
# the core's unit tests, the same under AddressSanitizer and UBSan plus a
# bounded run of each fuzzer, then the Linux app's tests (Xvfb), then the
# Windows build's tests (mingw-w64 and Wine), then the packages (the .deb
# installed and removed with apt-get, the Windows ZIP run under Wine, the
# MSI installed, upgraded and uninstalled under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages cmake g++ make libgtest-dev

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure

for stage in scripts/test-reliability.sh scripts/test-linux.sh scripts/test-windows.sh \
  scripts/test-deb.sh scripts/test-zip.sh; do
  if [[ -f $stage ]]; then
    bash "$stage"
  fi
done
