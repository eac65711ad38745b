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
#   busy              a long list (51 values, about 12,700 keys) with every core
#                     kept busy and foot stopped for a while: everything
#                     arrives, and foot is still there
#   closed            the same, foot stopped and then killed: the stop message
#                     counts the entries foot took
#   bystander         another foot stopped while typing changes keymaps into
#                     the first: typing is not held up
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

# start_long_list: foot with the focus ($foot_pid), every core kept busy,
# and tavrino_wayland_type ($typing, in the background) typing 51 values of
# 249 characters ($work/expected) into it.
start_long_list() {
  start_foot
  foot_pid=$spawned
  # Letters, digits and punctuation with a few characters no layout has,
  # and in some values 120 different CJK characters, so that the keyboard
  # changes keymaps while foot is behind.
  python3 - "$work/values" <<'PY'
import random, sys
rng = random.Random(17)
plain = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-_/=*"
rare = "ëËŁł€ßΩéñöÖü"
cjk = [chr(0x4e00 + i) for i in range(360)]
with open(sys.argv[1], "w", encoding="utf-8") as out:
    for i in range(51):
        chars = [rng.choice(plain) if rng.random() < 0.9 else rng.choice(rare) for _ in range(249)]
        if i % 10 == 5:
            chars[:120] = cjk[(i // 10) * 120 % 360:][:120]
        out.write("".join(chars) + "\n")
PY
  local values i
  mapfile -t values <"$work/values"
  printf '%s\t' "${values[@]}" >"$work/expected"
  # Two busy loops a core.
  for ((i = 0; i < 2 * $(nproc); i++)); do spawn sh -c 'while :; do :; done'; done
  start=$SECONDS
  as_wayland_user "$wayland_type" "${values[@]}" >"$work/type.log" 2>&1 &
  typing=$!
}

# stop_foot_reading: once keys have arrived, foot stops reading them.
stop_foot_reading() {
  wait_until 20 has_bytes 2000 || true
  kill -STOP "$foot_pid" || fail "foot ended early: $(tail -n 5 "$work/foot.log")"
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

  busy)
    start_long_list
    # foot stops reading for two seconds once the keys arrive: it is not
    # dropped, and it gets everything.
    stop_foot_reading
    sleep 2
    kill -CONT "$foot_pid"
    code=0
    wait "$typing" || code=$?
    echo "typing took $((SECONDS - start)) s, exit $code"
    all_or_ended() { has_bytes "$(stat -c %s "$work/expected")" || ended "$foot_pid"; }
    wait_until 60 all_or_ended || true
    ended "$foot_pid" && fail "foot ended: $(tail -n 5 "$work/foot.log")"
    ((code == 0)) || fail "Typing failed: $(cat "$work/type.log")"
    expect_typed "$(cat "$work/expected")"
    ;;

  closed)
    start_long_list
    # foot stops reading, so that keys wait for it, and is killed: the stop
    # message counts the entries foot took, not those sent.
    stop_foot_reading
    sleep 1
    kill -KILL "$foot_pid"
    code=0
    wait "$typing" || code=$?
    ((code == 1)) || fail "tavrino did not stop (exit $code): $(cat "$work/type.log")"
    grep -q 'the window typed into was closed' "$work/type.log" ||
      fail "tavrino gave another reason: $(cat "$work/type.log")"
    said=$(sed -n 's/^Typing stopped after \([0-9]*\) of 51 entries.*/\1/p' "$work/type.log")
    [[ -n $said ]] || fail "No count of entries: $(cat "$work/type.log")"
    sleep 0.5  # cat writes what foot handed it
    # What arrived is the start of the list; its Tabs are the entries foot
    # took in full. foot may have read the keys of one more entry than it
    # handed to cat when it was stopped, or tavrino may not yet have seen
    # foot read the last one: one entry either way, never more.
    arrived=$(python3 -c '
import sys
typed, expected = (open(f, encoding="utf-8", errors="replace").read() for f in sys.argv[1:])
print(typed.count("\t") if expected.startswith(typed) else -1)' "$typed" "$work/expected")
    ((arrived >= 0)) || fail "foot received other characters than were typed."
    echo "tavrino says $said entries arrived; foot got $arrived in full: $(cat "$work/type.log")"
    ((said >= arrived - 1 && said <= arrived + 1)) ||
      fail "tavrino says $said entries arrived, foot got $arrived: $(cat "$work/type.log")"
    ;;

  bystander)
    # Another foot that has stopped reading: each new keymap reaches it too,
    # but it gets none of the keys and holds nothing up.
    spawn as_wayland_user foot --app-id=bystander -e sh -c 'exec cat >/dev/null' \
      >"$work/bystander.log" 2>&1
    bystander_pid=$spawned
    wait_wayland_window bystander
    start_foot
    kill -STOP "$bystander_pid"
    many=$(python3 -c 'print("".join(chr(0x4e00 + i) for i in range(300)))')
    as_wayland_user "$wayland_type" "$many" 'abc' >"$work/type.log" 2>&1 ||
      fail "Typing failed: $(cat "$work/type.log")"
    expect_typed "$many"$'\tabc\t'
    kill -CONT "$bystander_pid"
    ;;

  *)
    fail "Unknown scenario $scenario."
    ;;
esac
echo "PASS: $scenario"
