#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# wayland_test.sh TAVRINO WAYLAND_TYPE SCENARIO
# Typing on Wayland, in a headless sway with foot as the target: foot runs
# `cat` on a raw terminal, so the file it writes holds exactly the bytes the
# keys typed.
#   virtual_keyboard  the virtual keyboard alone (tavrino_wayland_type)
#   app               tavrino's window on Qt's Wayland platform, START
#                     pressed with keys, the focus given to foot
#   own_window        the same, but the focus stays on tavrino: nothing is
#                     typed until START is pressed again and foot has the focus
set -euo pipefail
tavrino=$1
wayland_type=$2
scenario=$3
source "$(dirname "$0")/../../../scripts/lib.sh"
start_session
command -v foot >/dev/null || fail "foot is not installed (Debian: foot)."
start_sway
unset DISPLAY
# A keyboard that stays plugged in, as on a desktop (see tavrino_wayland_type).
spawn as_wayland_user "$wayland_type" --hold >"$work/hold.log"
wait_line "$work/hold.log" '^holding' || fail "The lasting keyboard did not come."

typed=$wayland_home/typed
# start_foot: foot writing what it receives to $typed, with the focus.
start_foot() {
  : >"$typed"
  [[ -z ${wayland_user[*]} ]] || chown "$wayland_user_name:" "$typed"
  spawn as_wayland_user foot -e sh -c "stty -icanon; exec cat >>'$typed'" >"$work/foot.log" 2>&1
  wait_wayland_window foot
  wayland_focus foot
}

# expect_typed BYTES: waits until $typed has as many bytes as BYTES, then
# compares them.
has_bytes() { (($(stat -c %s "$typed") >= $1)); }
expect_typed() {
  printf '%s' "$1" >"$work/expected"
  local size
  size=$(stat -c %s "$work/expected")
  wait_until 20 has_bytes "$size" || true
  sleep 0.3  # nothing more may come
  cmp "$work/expected" "$typed" || {
    echo "expected:" && od -c "$work/expected" | head -n 20
    echo "typed:" && od -c "$typed" | head -n 20
    fail "foot received other bytes than were typed ($scenario)."
  }
}

# A class whose values need characters on no usual layout's keys, Tabs
# inside values and key-string syntax.
data=$wayland_home/class.ipt
cat >"$data" <<'DATA'
6
Class 7A
Zoë Müller_%_Ola Łódzka_%_Euro Fund_%_Li Wei_%_Plus Grade_%_Ann Decimal
"45_%_Łódź é_%_€_%_中文_%_A{+}{TAB}B_%_7,5"
,
,
7A
,
Mathematics
,
Mid-term
Term 2
DATA
app_typed=$'45\tŁódź é\t€\t中文\tA+\tB\t7,5\t'

# start_countdown: tavrino's window with the class loaded, the countdown set to
# 2 and START pressed, all with keys typed into the window as a user would:
# the focus starts in the countdown box, and Shift+Tab goes on to START.
start_countdown() {
  # No QT_QPA_PLATFORM: on Wayland tavrino asks for its Wayland window itself.
  spawn as_wayland_user "$tavrino" "$data" >"$work/tavrino.log" 2>&1
  tavrino_pid=$spawned
  wait_wayland_window tavrino
  wayland_focus tavrino
  sleep 0.5
  as_wayland_user "$wayland_type" --keys '^a2+{TAB} ' || fail "The keys for START were not typed."
}

# tavrino_windows N: tavrino has N windows (the main one and its messages).
tavrino_windows() { (($(sway_windows | grep -c '^tavrino ') == $1)); }

case $scenario in
  virtual_keyboard)
    start_foot
    # More different characters than one keymap has keys for: the keyboard
    # changes keymaps on the way.
    many=$(python3 -c 'print("".join(chr(0x4e00 + i) for i in range(300)))')
    as_wayland_user "$wayland_type" 45 'Zoë' 'Łódź' '€' '中文' 'é{TAB}Ł' 'A{+}' '7,5' '+(ab)c' \
      'x~y' "$many" 52 || fail "Typing failed."
    expect_typed $'45\tZoë\tŁódź\t€\t中文\té\tŁ\tA+\t7,5\tABc\tx\ny\t'"$many"$'\t52\t'
    ;;

  app)
    start_foot
    start_countdown
    wayland_focus foot
    expect_typed "$app_typed"
    kill -0 "$tavrino_pid" || fail "tavrino ended: $(cat "$work/tavrino.log")"
    ;;

  own_window)
    start_foot
    start_countdown
    # The countdown runs out with tavrino's own window active, and a
    # message says why nothing was typed.
    wait_until 10 tavrino_windows 2 || fail "No message appeared."
    [[ ! -s $typed ]] || fail "Keys were typed although tavrino's own window had the focus."
    # Enter closes the message (once it has the focus; Enter does nothing in
    # the main window); the next START, with the focus given to foot, types
    # everything (Tab goes from START back to the countdown box).
    for _ in 1 2 3 4 5; do
      as_wayland_user "$wayland_type" --keys '~' || fail "Enter was not typed."
      wait_until 1 tavrino_windows 1 && break
    done
    tavrino_windows 1 || fail "The message did not close."
    as_wayland_user "$wayland_type" --keys '{TAB}^a2+{TAB} ' || fail "START was not pressed again."
    wayland_focus foot
    expect_typed "$app_typed"
    ;;

  *)
    fail "Unknown scenario $scenario."
    ;;
esac
echo "PASS: $scenario"
