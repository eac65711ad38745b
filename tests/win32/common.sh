# SPDX-License-Identifier: MIT
# The start of every Win32 end-to-end script, sourced with the script's own
# arguments: BUILD_DIR [WINE], a mingw-w64 build of tavrino and the wine to
# run its programs with (the one on PATH unless given). Sources the shell
# library, starts a session and sets:
#   $build, $wine, $version, $top (the source tree)
#   $app, $target, $probe_exe  tavrino.exe, the target form and the probe
#   $kForm                     the title of the target form
# gui_session, for the scripts that drive windows: exits 77 (skipped)
# without an X server, and sets $kTitle, the title of tavrino's window.
if (($# < 1)); then
  echo "Usage: $0 BUILD_DIR [WINE]" >&2
  exit 2
fi
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$top/scripts/lib.sh"
build=$(cd "$1" && pwd)
wine=${2:-wine}
app=$build/src/platform/win32/tavrino.exe
target=$build/tests/win32/target_form.exe
probe_exe=$build/tests/win32/probe.exe
version=$(project_version "$build")
kForm='tavrino target form'
start_session

gui_session() {
  if [[ -z ${DISPLAY:-} ]]; then
    echo "no DISPLAY: skipped"
    exit 77
  fi
  kTitle=$(probe caption)
  [[ -n $kTitle ]] || fail "$probe_exe does not say tavrino's title."
}
