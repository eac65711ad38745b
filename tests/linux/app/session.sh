# SPDX-License-Identifier: MIT
# Driving tavrino on an X display as a user would, for the end-to-end tests
# and the demo; sourced after scripts/lib.sh, in a session. The caller sets
# $tavrino, $target_form and $layout_point (the programs to run).

# The title of tavrino's window, as its layout sets it.
caption=$("$layout_point" --caption) || fail "$layout_point does not run."

# start_form FIELDS: the target form, out of tavrino's way so that neither
# window covers the other. Its fields are written to $form_out when it ends.
form_out=$work/fields.txt
start_form() {
  start_target_form "$target_form" "$1" "$form_out"
  xdotool windowmove "$form_window" 600 100
}

# start_tavrino ARG...: tavrino with its window at ($tavrino_x, $tavrino_y),
# (40, 40) unless set; sets tavrino_pid and tavrino_window. What it writes to
# standard error (every message it shows) goes to $tavrino_log.
tavrino_log=$work/tavrino.log
start_tavrino() {
  spawn "$tavrino" "$@" 2>>"$tavrino_log"
  tavrino_pid=$spawned
  tavrino_window=$(timeout 10 xdotool search --sync --all --onlyvisible --pid "$tavrino_pid" \
    --name "^$caption\$" | head -n 1)
  [[ -n $tavrino_window ]] || fail "tavrino's window did not appear: $(cat "$tavrino_log")"
  local x=${tavrino_x:-40} y=${tavrino_y:-40}
  # --sync waits for the window to move, and for as long as it takes when it
  # is there already (a window manager puts a new window where the last one
  # of its kind was).
  timeout 1 xdotool windowmove --sync "$tavrino_window" "$x" "$y" 2>/dev/null ||
    xdotool windowmove "$tavrino_window" "$x" "$y"
  sleep 0.3
}

# message_shown TEXT [SECONDS]: tavrino has shown a message that starts with
# TEXT (a fixed string).
message_shown() { wait_until "${2:-10}" grep -qF -- "tavrino: $1" "$tavrino_log"; }

# click CONTROL: a real mouse click in the middle of tavrino's control.
click() {
  local x y
  read -r x y < <("$layout_point" "$1")
  # Relative to the client area (getwindowgeometry would count a window
  # manager's title bar twice).
  xdotool mousemove --sync --window "$tavrino_window" "$x" "$y" click 1
}

# set_countdown N: replaces what the countdown box holds, as a user would.
set_countdown() {
  click txtTime
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "$1"
}

# watch_keys [WINDOW]: logs the key events that reach WINDOW (the form's
# window unless given) from now on (X lets any client listen to another's
# key events).
watch_keys() {
  keys_log=$work/keys.log
  : >"$keys_log"
  spawn stdbuf -oL xev -id "${1:-$form_window}" -event keyboard >"$keys_log"
  sleep 0.3
}

# released_tabs: how many Tab keys the form has received so far. (xev shows
# each key's press, and a release both before the press, with its time, and
# after it; the presses are counted.)
released_tabs() { grep -A2 '^KeyPress' "$keys_log" | grep -c 'keysym 0xff09, Tab' || true; }
tabs_at_least() { (($(released_tabs) >= $1)); }
any_key() { grep -q '^KeyPress' "$keys_log"; }

# run_countdown TABS: START, focus into the form, and wait until the last of
# the TABS Tab keys of the playback has reached the form. With "1" in the box
# (two ticks) typing begins about two seconds after START; a box still at 5
# would begin only after six, too late.
run_countdown() {
  watch_keys
  click cmdStart
  focus "$form_window"
  wait_until 4 any_key || fail "Typing did not begin in time."
  wait_until 30 tabs_at_least "$1" ||
    fail "Only $(released_tabs) of $1 Tab keys arrived."
  # The form reads its events in order; give it a moment for the last one.
  sleep 0.3
}
