# SPDX-License-Identifier: MIT
# Session helpers for the end-to-end tests, sourced by their scripts: a
# private Xvfb per test (so that tests which change the keyboard layout
# cannot disturb each other), an optional window manager, waiting for
# windows, and stopping everything on exit.
#
#   tavrino_start_x            start Xvfb on a free display, export DISPLAY
#   tavrino_start_wm           start openbox if it is installed
#   tavrino_spawn CMD...       run CMD in the background, stopped on exit
#   tavrino_wait_window TITLE  print the id of the window named TITLE
#   tavrino_wait_line FILE PATTERN  wait until FILE has a line matching PATTERN
#   tavrino_focus WINDOW       give WINDOW the keyboard focus and wait for it
#   tavrino_close_form PID     close the focused target form through Ctrl+Q
#   tavrino_stop PID           SIGTERM to PID, then wait for it to end
#   tavrino_fail MESSAGE       print MESSAGE and exit 1
#
# TAVRINO_TMP is a scratch folder removed on exit.

TAVRINO_PIDS=()
TAVRINO_TMP=$(mktemp -d "${TMPDIR:-/tmp}/tavrino-test.XXXXXX")

# Stops what was started, newest first, and keeps the script's exit status
# (waiting for a killed child would otherwise replace it).
tavrino_cleanup() {
  local status=$? i
  for ((i = ${#TAVRINO_PIDS[@]} - 1; i >= 0; i--)); do
    kill "${TAVRINO_PIDS[i]}" 2>/dev/null || true
    wait "${TAVRINO_PIDS[i]}" 2>/dev/null || true
  done
  rm -rf "$TAVRINO_TMP"
  exit "$status"
}
trap tavrino_cleanup EXIT

tavrino_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# wait_until SECONDS COMMAND...: polls COMMAND every 50 ms.
tavrino_wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

tavrino_spawn() {
  "$@" &
  TAVRINO_PIDS+=($!)
}

tavrino_start_x() {
  command -v Xvfb >/dev/null || tavrino_fail "Xvfb is not installed (Debian: xvfb)."
  local number_file=$TAVRINO_TMP/display fd
  # -displayfd picks a free display and writes its number to the file.
  # -noreset keeps the server's state (the layout set by setxkbmap) when its
  # last client disconnects, which it would otherwise reset.
  exec {fd}>"$number_file"
  Xvfb -displayfd "$fd" -noreset -nolisten tcp -screen 0 1280x1024x24 \
    >"$TAVRINO_TMP/xvfb.log" 2>&1 &
  TAVRINO_PIDS+=($!)
  exec {fd}>&-
  tavrino_wait_until 10 test -s "$number_file" || tavrino_fail "Xvfb did not start: $(cat "$TAVRINO_TMP/xvfb.log")"
  export DISPLAY=:$(head -n 1 "$number_file")
}

tavrino_start_wm() {
  command -v openbox >/dev/null || return 0
  tavrino_spawn openbox --sm-disable
  tavrino_wait_until 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    tavrino_fail "openbox did not start."
}

tavrino_wait_window() {
  local id
  id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
  [[ -n $id ]] || tavrino_fail "No window named \"$1\" appeared."
  echo "$id"
}

tavrino_wait_line() {
  tavrino_wait_until "${3:-10}" grep -q -- "$2" "$1"
}

tavrino_focus() {
  local window=$(($1))
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  tavrino_wait_until 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $window ]" ||
    tavrino_fail "Window $1 did not get the keyboard focus."
}

# close_form PID: Ctrl+Q to the focused target form, which then writes its
# fields and exits (SIGTERM if it has not after 10 seconds).
tavrino_close_form() {
  xdotool key ctrl+q
  tavrino_wait_until 10 sh -c "! kill -0 $1 2>/dev/null" || kill -TERM "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}

tavrino_stop() {
  kill -TERM "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}
