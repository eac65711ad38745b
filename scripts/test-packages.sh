#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packaging stage: builds the packages and uses them as a user would.
#  1. The Debian package (cpack -G DEB in the Linux app's build): installs it
#     with apt-get, runs the installed /usr/bin/tavrino (--version, --check,
#     and its window on a private X server), checks that the desktop entry,
#     the MIME type of .ipt files and the icons are in place and known to the
#     desktop databases, then removes it with apt-get and checks that none of
#     its files is left. Whatever apt-get installed along with it and nothing
#     needs any more is removed too, so the machine is left as it was found.
#  2. The Windows ZIP (cpack -G ZIP in the mingw-w64 build): it holds
#     tavrino.exe and README-windows.txt, the version resource carries the
#     project's version, and the tavrino.exe from the ZIP starts under Wine.
# The version everywhere must be the one project() sets.
# Environment: LINUX_BUILD_DIR (default build-linux) and WIN_BUILD_DIR
# (default build-win64), the build folders the other stages use; JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages cmake g++ make pkg-config libgtest-dev qt6-base-dev libx11-dev libxtst-dev \
  libxkbcommon-dev dpkg-dev binutils desktop-file-utils shared-mime-info xdg-utils \
  libfile-mimeinfo-perl xvfb xdotool g++-mingw-w64-x86-64 googletest wine wine64

jobs=${JOBS:-$(nproc)}
linux_build=${LINUX_BUILD_DIR:-build-linux}
win_build=${WIN_BUILD_DIR:-build-win64}
sample=examples/sample.ipt
work=$(mktemp -d)

failures=0
passed=0
# check NAME COMMAND...: runs COMMAND and counts it as passed or failed.
check() {
  local name=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failures=$((failures + 1))
    echo "FAIL $name"
    sed 's/^/     /' "$work/check.log"
  fi
}

# configure DIR ARGS...: configures DIR with ARGS. A folder configured
# already keeps its build type and toolchain, so the other stages find it as
# they left it.
configure() {
  local dir=$1 arg args=()
  shift
  for arg in "$@"; do
    [[ -f $dir/CMakeCache.txt && $arg == -DCMAKE_@(BUILD_TYPE|TOOLCHAIN_FILE)=* ]] ||
      args+=("$arg")
  done
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
}

# The version project() sets, as the build folder's cache holds it.
project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

installed() { dpkg-query -W -f='${Status}' tavrino 2>/dev/null | grep -q "install ok installed"; }
known() { dpkg-query -W tavrino >/dev/null 2>&1; }

added_packages=()
cleanup() {
  local status=$?
  # A failed check must not leave the package behind.
  if known; then
    echo "Removing the tavrino package"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y tavrino >/dev/null 2>&1 || true
  fi
  end_session
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

private_x "$win_build"

echo "== The Debian package ($linux_build)"
configure "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRINO_BUILD_LINUX_APP=ON
cmake --build "$linux_build" -j "$jobs"
version=$(project_version "$linux_build")
[[ -n $version ]] || { echo "No project version in $linux_build/CMakeCache.txt" >&2; exit 1; }
rm -f "$linux_build"/tavrino_*.deb
(cd "$linux_build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$PWD/$linux_build/tavrino_${version}_$(dpkg --print-architecture).deb
check "the package is named $(basename "$deb")" test -f "$deb"
[[ -f $deb ]] || exit 1

# Its own files only: no test program, nothing outside the prefix.
package_has_only_app_files() {
  local others
  others=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' |
    grep -Ev '^\./usr/(bin/tavrino|share/(applications/tavrino\.desktop|mime/packages/tavrino\.xml|icons/hicolor/[^/]+/apps/tavrino\.(png|svg)|man/man1/tavrino\.1|doc/tavrino/copyright))$' || true)
  [[ -z $others ]] || { echo "unexpected files: $others"; return 1; }
}
check "the package holds the app's files only" package_has_only_app_files
check "the package's version is $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"

# Every library the program links must come from a package it depends on.
depends_cover_linked_libraries() {
  local depends needed lib owners owner ok missing=()
  depends=$(dpkg-deb -f "$deb" Depends)
  dpkg-deb -x "$deb" "$work/unpacked"
  needed=$(objdump -p "$work/unpacked/usr/bin/tavrino" | awk '/NEEDED/ { print $2 }')
  [[ -n $needed ]] || { echo "no NEEDED entries"; return 1; }
  for lib in $needed; do
    owners=$(dpkg -S "*/$lib" 2>/dev/null | cut -d: -f1 | tr ',' '\n' | tr -d ' ' | sort -u)
    ok=
    for owner in $owners; do
      [[ ",$depends," =~ [,\ ]"$owner"[\ ,\(] ]] && ok=1
    done
    [[ -n $ok ]] || missing+=("$lib (${owners:-no package})")
  done
  ((${#missing[@]} == 0)) || { echo "Depends: $depends"; echo "not covered: ${missing[*]}"; return 1; }
}
check "Depends covers every linked library" depends_cover_linked_libraries

if known; then
  echo "A tavrino package is installed already; purging it first."
  DEBIAN_FRONTEND=noninteractive apt-get purge -y tavrino >/dev/null
fi
# apt-get needs package lists to find the dependencies.
compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null || apt-get update
# What apt-get adds along with tavrino, to take away again afterwards.
mapfile -t added_packages < <(apt-get install -s "$deb" | awk '$1 == "Inst" && $2 != "tavrino" { print $2 }')
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; exit 1; }
check "apt-get installs the package" installed
dpkg -L tavrino | while IFS= read -r path; do [[ -d $path ]] || echo "$path"; done >"$work/files"

check "the program is /usr/bin/tavrino" test -x /usr/bin/tavrino
version_is() { [[ $(/usr/bin/tavrino --version) == "tavrino $version" ]]; }
check "tavrino --version shows $version" version_is
# --check needs no display; the installed copy must print what the built one
# does, and find data in the sample.
check_sample() {
  local code=0
  env -u DISPLAY /usr/bin/tavrino --check "$sample" >"$work/installed.out" 2>&1 || code=$?
  ((code == 0)) || { echo "exit $code"; cat "$work/installed.out"; return 1; }
  env -u DISPLAY "$linux_build/src/platform/qt/tavrino" --check "$sample" >"$work/built.out" 2>&1
  diff -u "$work/built.out" "$work/installed.out"
}
check "tavrino --check $sample" check_sample
# The window opens: Qt finds its X11 platform plugin and the fonts.
window_opens() {
  /usr/bin/tavrino "$sample" >"$work/window.log" 2>&1 &
  local pid=$! id
  id=$(timeout 10 xdotool search --sync --onlyvisible --name ' - tavrino$' | head -n 1) || true
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  [[ -n $id ]] || { cat "$work/window.log"; return 1; }
}
check "tavrino opens its window" window_opens

desktop=/usr/share/applications/tavrino.desktop
check "the desktop entry is in place and valid" desktop-file-validate "$desktop"
exec_and_type() {
  grep -qx 'Exec=tavrino %f' "$desktop" && grep -qx 'Icon=tavrino' "$desktop" &&
    grep -q '^MimeType=.*application/x-tavrino-ipt;' "$desktop"
}
check "the desktop entry opens .ipt files with tavrino" exec_and_type
check "the MIME type is in place" test -f /usr/share/mime/packages/tavrino.xml
check "the SVG icon is in place" test -f /usr/share/icons/hicolor/scalable/apps/tavrino.svg
# Each PNG must have the size its folder names (width and height from the
# PNG header, big-endian at byte 16).
png_sizes() {
  local dir size w h count=0
  for dir in /usr/share/icons/hicolor/*x*/apps; do
    [[ -f $dir/tavrino.png ]] || continue
    size=${dir#/usr/share/icons/hicolor/}
    size=${size%%x*}
    read -r w h < <(od -An -tu1 -j16 -N8 "$dir/tavrino.png" |
      awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
    [[ $w == "$size" && $h == "$size" ]] || { echo "$dir/tavrino.png is ${w}x$h"; return 1; }
    count=$((count + 1))
  done
  ((count > 0)) || { echo "no PNG icons"; return 1; }
}
check "the PNG icons have the sizes of their folders" png_sizes
check "the manual page is in place" test -f /usr/share/man/man1/tavrino.1
check "the licence is in place" test -f /usr/share/doc/tavrino/copyright

# The desktop databases, refreshed by the triggers of shared-mime-info and
# desktop-file-utils: .ipt files are data files, and tavrino opens them.
check "the MIME database knows the type" test -f /usr/share/mime/application/x-tavrino-ipt.xml
filetype_is_ours() {
  local got
  got=$(xdg-mime query filetype "$sample")
  [[ $got == application/x-tavrino-ipt* ]] || { echo "xdg-mime: $got"; return 1; }
}
check "xdg-mime sees $sample as application/x-tavrino-ipt" filetype_is_ours
opened_by_tavrino() {
  local got
  got=$(xdg-mime query default application/x-tavrino-ipt)
  [[ $got == tavrino.desktop ]] || { echo "xdg-mime: '$got'"; return 1; }
}
check "xdg-mime opens application/x-tavrino-ipt with tavrino.desktop" opened_by_tavrino

DEBIAN_FRONTEND=noninteractive apt-get remove -y tavrino >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; exit 1; }
not_installed() { ! installed; }
check "apt-get removes the package" not_installed
files_gone() {
  local left=()
  [[ -s $work/files ]] || { echo "no files listed"; return 1; }
  while IFS= read -r path; do [[ -e $path ]] && left+=("$path"); done <"$work/files"
  ((${#left[@]} == 0)) || { echo "left behind: ${left[*]}"; return 1; }
}
check "none of its $(wc -l <"$work/files") files is left" files_gone
type_gone() {
  [[ ! -e /usr/share/mime/application/x-tavrino-ipt.xml ]] &&
    ! grep -qs tavrino /usr/share/applications/mimeinfo.cache
}
check "the desktop databases forget it" type_gone
if known; then DEBIAN_FRONTEND=noninteractive apt-get purge -y tavrino >/dev/null; fi
# Of what came with it, what nothing needs any more.
if ((${#added_packages[@]})); then
  mapfile -t unneeded < <(apt-get autoremove -s | awk '$1 == "Remv" { print $2 }' |
    grep -Fxf <(printf '%s\n' "${added_packages[@]}") || true)
  if ((${#unneeded[@]})); then
    echo "Removing what came with it: ${unneeded[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y "${unneeded[@]}" >/dev/null
  fi
fi

echo "== The Windows ZIP ($win_build)"
configure "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build "$win_build" -j "$jobs"
win_version=$(project_version "$win_build")
check "both builds carry one version" test "$win_version" = "$version"
rm -f "$win_build"/tavrino-*.zip
(cd "$win_build" && cpack -G ZIP) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
top=tavrino-$version-win64
zip=$PWD/$win_build/$top.zip
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
# The fixed part of the version resource (after the signature FEEF04BD):
# FILEVERSION as minor, major, patch, build in little-endian 16-bit words;
# and the version strings in UTF-16.
resource_version() {
  local at fixed strings minor major patch build
  at=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$exe" | head -n 1 | cut -d: -f1)
  [[ -n $at ]] || { echo "no version resource"; return 1; }
  read -r minor major patch build < <(od -An -tu2 -j $((at + 8)) -N8 "$exe")
  fixed="$major.$minor.$patch"
  [[ $fixed == "$version" ]] || { echo "FILEVERSION $fixed.$build"; return 1; }
  strings=$(strings -el "$exe" | grep -A1 -xE 'FileVersion|ProductVersion' | grep -vxE 'FileVersion|ProductVersion|--')
  [[ $strings == "$version"$'\n'"$version" ]] || { echo "version strings: $strings"; return 1; }
}
check "the version resource says $version" resource_version

wine_prefix "$win_build"
starts_under_wine() {
  local code=0
  wine "$exe" --version >"$work/wine.out" 2>"$work/wine.err" || code=$?
  ((code == 0)) || { echo "exit $code"; cat "$work/wine.err"; return 1; }
  [[ $(tr -d '\r' <"$work/wine.out") == "tavrino $version" ]] || { cat "$work/wine.out"; return 1; }
}
check "tavrino.exe from the ZIP starts under Wine (--version)" starts_under_wine

echo "$passed passed, $failures failed"
((failures == 0))
