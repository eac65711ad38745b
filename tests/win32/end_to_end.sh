#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# tavrino.exe under Wine on an X server, driven as a user would: it opens a
# data file named on its command line, START is clicked with the mouse, Esc
# cancels a countdown, then START again and a click into the first field of
# a Win32 form; after the countdown the form must hold exactly the values,
# one per field (Tab moved between them), with the focus in the field after
# the last. Leaves a screenshot of the window in BUILD_DIR/tests/win32.
# Usage: end_to_end.sh BUILD_DIR [WINE]
# Needs DISPLAY (an X server) and WINEPREFIX; exits 77 (skipped) without an X
# server.
set -euo pipefail
source "$(dirname "$0")/common.sh" "$@"
gui_session
box() { probe text "$kTitle" txtTime; }

# Non-ASCII in and beyond the 16-bit range, Shift held over a group (real
# key presses), a named key and a braced plus sign.
values=("45" "Zoë Ångström" "日本語" "😀x" "+(ab)c" "x{BS}y{+}1")
expected=("45" "Zoë Ångström" "日本語" "😀x" "ABc" "y+1")
joined=$(printf '%s_%%_' "${values[@]}")
printf '%s\r\n' "${#values[@]}" x 'Ann_%_Bob_%_Cy_%_Dee_%_Eve_%_Fay' "${joined%_%_}" x x 7A x \
  Mathematics x Mid-term 'Term 2' >"$work/marks.ipt"

spawn "$wine" "$target" "$(win_path "$work/fields.txt")" "${#values[@]}" >/dev/null 2>&1
probe wait "$kForm" 30 || fail "the target form did not open"
spawn "$wine" "$app" "$(win_path "$work/marks.ipt")" >/dev/null 2>&1
app_pid=$spawned
probe wait "$kTitle" 30 || fail "tavrino did not open"
sleep 2  # let both windows paint

read -r x y w h < <(probe rect "$kTitle")
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$build/tests/win32/screenshot-windows.png"
[[ $(probe text "$kTitle" txtfile) == "$(win_path "$work/marks.ipt")" ]] || fail "txtfile does not show the file"
[[ $(box) == 5 ]] || fail "the countdown box does not show 5"

# Esc stops a countdown and puts 5 back at once; no tick follows.
win_click "$kTitle" START
sleep 1.5
[[ $(box) =~ ^[34]$ ]] || fail "the countdown did not run: box shows '$(box)'"
xdotool key Escape
sleep 0.3
[[ $(box) == 5 ]] || fail "Esc did not reset the box: '$(box)'"
sleep 1.5
[[ $(box) == 5 ]] || fail "the countdown went on after Esc: '$(box)'"
[[ ! -s $work/fields.txt ]] || fail "something was typed after Esc"

# START, then the user clicks into the form's first field.
win_click "$kTitle" START
win_click "$kForm" "#1000"
wait_until 15 test -s "$work/fields.txt" || fail "the form was not filled within 15 seconds"
{
  printf '%s\n' "${expected[@]}"
  echo ""  # the field the last Tab moved to
  echo "focus=$((${#values[@]} + 1))"
} >"$work/expected.txt"
if ! diff -u "$work/expected.txt" "$work/fields.txt"; then
  fail "the form holds other values"
fi
[[ $(box) == 5 ]] || fail "the box does not show 5 after playback: '$(box)'"

probe close "$kTitle"
wait_until 5 ended "$app_pid" || fail "tavrino did not end when its window closed"
echo "1 passed, 0 failed"
