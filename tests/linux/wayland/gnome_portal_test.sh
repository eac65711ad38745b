#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# gnome_portal_test.sh WAYLAND_TYPE SCENARIO
# Typing through the real remote-desktop portal of GNOME: a headless mutter,
# xdg-desktop-portal with its GNOME backend, foot as the target, all on a
# private session bus, as the unprivileged user tavrino-test when run as
# root. The portal's dialog is answered with keys sent through mutter's own
# remote-desktop interface (mutter_keys.py):
#   allow   Space ticks the keyboard, Tab three times reaches Share, Enter:
#           the values arrive in foot byte for byte
#   cancel  Esc: nothing is typed, and tavrino says the dialog was cancelled
# Needs mutter, xdg-desktop-portal-gnome, foot and python3-dbus. It is not
# part of the CI run (see README); run it with ctest -L gnome after
# configuring with -DTAVRINO_GNOME_PORTAL_TEST=ON.
set -euo pipefail
wayland_type=$1
scenario=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../scripts/lib.sh"

if [[ ${3:-} == --inside ]]; then
  # Inside the private bus, as the test user: everything started here is
  # stopped when this part ends.
  start_session
  export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
  spawn mutter --wayland --headless --no-x11 --virtual-monitor 1024x768 >"$4/mutter.log" 2>&1
  wait_until 20 test -S "$XDG_RUNTIME_DIR/wayland-0" || fail "mutter did not start."
  export WAYLAND_DISPLAY=wayland-0
  # mutter needs a moment after its socket appears before clients come.
  sleep 3
  spawn foot -e sh -c "stty -icanon; exec cat >>'$4/typed'" >"$4/foot.log" 2>&1
  sleep 2
  case $scenario in
    allow) keys=(0020 ff09 ff09 ff09 ff0d) ;;
    cancel) keys=(ff1b) ;;
  esac
  : >"$4/type.log"
  spawn python3 "$here/mutter_keys.py" "$4/type.log" "${keys[@]}" >"$4/keys.log" 2>&1
  wait_line "$4/keys.log" '^ready' 20 || fail "mutter's remote desktop did not start: $(cat "$4/keys.log")"
  code=0
  timeout 60 "$wayland_type" --session 45 '7{TAB}5' '€' >>"$4/type.log" 2>&1 || code=$?
  echo "exit $code" >>"$4/type.log"
  sleep 1
  exit 0
fi

start_session
for program in mutter foot dbus-run-session; do
  command -v "$program" >/dev/null || fail "$program is not installed."
done
[[ -x /usr/libexec/xdg-desktop-portal-gnome ]] || fail "xdg-desktop-portal-gnome is not installed."
runtime=$work/runtime
mkdir -m 700 "$runtime"
files=$work/files
mkdir "$files"
: >"$files/typed"
wayland_user_for "$runtime" "$files" "$files/typed"
"${wayland_user[@]}" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$files" LANG=C.UTF-8 \
  XDG_RUNTIME_DIR="$runtime" dbus-run-session -- \
  bash "$here/gnome_portal_test.sh" "$wayland_type" "$scenario" --inside "$files" \
  >"$work/session.log" 2>&1 || fail "The session failed: $(tail -n 5 "$work/session.log")"

case $scenario in
  allow)
    grep -q '^exit 0$' "$files/type.log" || fail "Typing failed: $(cat "$files/type.log")"
    printf '45\t7\t5\t€\t' >"$work/expected"
    cmp "$work/expected" "$files/typed" || fail "foot received other bytes: $(od -c "$files/typed")"
    ;;
  cancel)
    grep -q '^exit 1$' "$files/type.log" || fail "Typing did not fail: $(cat "$files/type.log")"
    grep -q 'dialog asking whether tavrino may control the keyboard was cancelled' \
      "$files/type.log" || fail "No word of the cancelled dialog: $(cat "$files/type.log")"
    [[ ! -s $files/typed ]] || fail "Keys were typed although the dialog was cancelled."
    ;;
esac
echo "PASS: gnome portal, $scenario"
