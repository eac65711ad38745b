#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows packages stage: builds the ZIP (cpack -G ZIP in the mingw-w64
# build) and checks that it holds tavrino.exe and README-windows.txt, that
# the version resource carries the build's version, and that the
# tavrino.exe from the ZIP starts under Wine on a private X server; then
# builds the MSI beside it (the msi target) and installs, upgrades and
# uninstalls it under Wine (tests/win32/msi.sh).
# Environment: WIN_BUILD_DIR (default build-win64), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${windows_build_packages[@]}" wine wine64 xvfb wixl

build=${WIN_BUILD_DIR:-build-win64}
start_session
start_x

echo "== The Windows ZIP ($build)"
configure_windows "$build"
cmake --build "$build" -j "${JOBS:-$(nproc)}"
version=$(project_version "$build")
rm -f "$build"/tavrino-*.zip
(cd "$build" && cpack -G ZIP) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
top=tavrino-$version-win64
zip=$PWD/$build/$top.zip
check "the ZIP is named $top.zip" test -f "$zip"
[[ -f $zip ]] || exit 1
zip_holds_exe_and_readme() {
  local want got
  want=$(printf '%s\n' "$top/tavrino.exe" "$top/README-windows.txt" | LC_ALL=C sort)
  got=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
  [[ $got == "$want" ]] || { echo "holds: $got"; return 1; }
}
check "the ZIP holds tavrino.exe and README-windows.txt" zip_holds_exe_and_readme
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
exe=$work/zip/$top/tavrino.exe
readme=$work/zip/$top/README-windows.txt
readme_is_for_windows() {
  # Every line ends in CR LF, and it names the version and --check.
  ! grep -q $'[^\r]$' "$readme" && grep -q "tavrino $version" "$readme" && grep -q -- '--check' "$readme"
}
check "README-windows.txt has CR LF lines and names $version" readme_is_for_windows
check "the version resource says $version" \
  python3 scripts/check_package_files.py pe-version "$exe" "$version"

wine_prefix "$build"
starts_under_wine() {
  local code=0
  wine "$exe" --version >"$work/wine.out" 2>"$work/wine.err" || code=$?
  ((code == 0)) || { echo "exit $code"; cat "$work/wine.err"; return 1; }
  [[ $(tr -d '\r' <"$work/wine.out") == "tavrino $version" ]] || { cat "$work/wine.out"; return 1; }
}
check "tavrino.exe from the ZIP starts under Wine (--version)" starts_under_wine

echo "== The Windows MSI ($build)"
rm -f "$build"/tavrino-*.msi
cmake --build "$build" --target msi >"$work/msi.log" 2>&1 || { cat "$work/msi.log"; exit 1; }
check "the MSI is named $top.msi, beside the ZIP" test -f "$build/$top.msi"
msi_result=0
bash tests/win32/msi.sh "$build" || msi_result=$?
checks_done && exit "$msi_result"
