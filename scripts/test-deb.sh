#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package stage: builds the package (cpack -G DEB in the Linux
# app's build), installs it with apt-get, runs the installed /usr/bin/tavrino
# (--version, --check, and its window on a private X server), checks that the
# desktop entry, the MIME type of .ipt files and the icons are in place and
# known to the desktop databases, then removes it with apt-get and checks
# that none of its files is left. Whatever apt-get installed along with it
# and nothing needs any more is removed too, so the machine is left as it was
# found. Environment: LINUX_BUILD_DIR (default build-linux), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages "${linux_build_packages[@]}" dpkg-dev binutils desktop-file-utils \
  shared-mime-info xdg-utils libfile-mimeinfo-perl xvfb xdotool

build=${LINUX_BUILD_DIR:-build-linux}
sample=examples/sample.ipt

installed() { dpkg-query -W -f='${Status}' tavrino 2>/dev/null | grep -q "install ok installed"; }
known() { dpkg-query -W tavrino >/dev/null 2>&1; }
purge() { DEBIAN_FRONTEND=noninteractive apt-get purge -y tavrino >/dev/null 2>&1; }

start_session
start_x
# A failed check must not leave the package behind.
purge_left_over() { if known; then echo "Removing the tavrino package"; purge; fi; }
at_exit purge_left_over

echo "== The Debian package ($build)"
configure_linux "$build"
cmake --build "$build" -j "${JOBS:-$(nproc)}"
version=$(project_version "$build")
rm -f "$build"/tavrino_*.deb
(cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$PWD/$build/tavrino_${version}_$(dpkg --print-architecture).deb
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
  purge
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
  env -u DISPLAY "$build/src/platform/qt/tavrino" --check "$sample" >"$work/built.out" 2>&1
  diff -u "$work/built.out" "$work/installed.out"
}
check "tavrino --check $sample" check_sample
# The window opens: Qt finds its X11 platform plugin and the fonts.
window_opens() {
  local opened=0
  spawn /usr/bin/tavrino "$sample" >"$work/window.log" 2>&1
  (wait_window '.* - tavrino' >/dev/null) || opened=$?
  stop "$spawned"
  ((opened == 0)) || { cat "$work/window.log"; return 1; }
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
check "the PNG icons have the sizes of their folders" \
  python3 scripts/check_package_files.py png-sizes /usr/share/icons/hicolor
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
if known; then purge; fi
# Of what came with it, what nothing needs any more.
if ((${#added_packages[@]})); then
  mapfile -t unneeded < <(apt-get autoremove -s | awk '$1 == "Remv" { print $2 }' |
    grep -Fxf <(printf '%s\n' "${added_packages[@]}") || true)
  if ((${#unneeded[@]})); then
    echo "Removing what came with it: ${unneeded[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y "${unneeded[@]}" >/dev/null
  fi
fi
checks_done
