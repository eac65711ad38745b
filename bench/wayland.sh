#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Wayland typing benchmark: tavrino's virtual keyboard typing the same
# texts as typing.sh into foot in a headless sway, BENCH_RUNS runs each, the
# receiving end the same terminal sink. Appends to typing.rows in the results
# folder, with "foot" as the target. bench/run.sh builds first.
#
# BENCH_WAYLAND_BUSY=N keeps every core busy with N busy loops each while
# typing (default 0): the rate into a target that gets little of the machine.
# A run in which foot ends early (the compositor dropped it) is counted with
# what arrived, at a rate of 0.
#
# The remote-desktop portal (GNOME, KDE) is not measured here: its rate is
# the desktop's, and no GNOME or KDE session runs on the benchmark machine.
set -euo pipefail
source "$(dirname "$0")/common.sh"

wayland_type=$build/tests/linux/wayland/tavrino_wayland_type
busy=${BENCH_WAYLAND_BUSY:-0}

start_session
start_sway
# The seat keeps a keyboard between runs, as a desktop's does.
spawn as_wayland_user "$wayland_type" --hold >"$work/hold.log"
wait_line "$work/hold.log" '^holding' || fail "The lasting keyboard did not come."

rows=$results/typing.rows
run_id=0

foot_run() {  # TEXT
  local dir=$wayland_home/run.$((++run_id)) first last values received wrong missing extra rate
  mkdir "$dir"
  [[ -z ${wayland_user[*]} ]] || chown "$wayland_user_name:" "$dir"
  spawn as_wayland_user foot -e "$bench_bin/tavrino_bench_tty_sink" "$dir/out" "$dir/ready" \
    "$dir/result" "$values_count" 2>/dev/null
  local pid=$spawned
  wait_wayland_window foot
  wayland_focus foot
  wait_until 10 test -e "$dir/ready" || fail "The terminal sink did not start."
  mapfile -t values <"$texts/$1.values"
  local loops=() i
  for ((i = 0; i < busy * $(nproc); i++)); do
    sh -c 'while :; do :; done' &
    loops+=($!)
  done
  as_wayland_user "$wayland_type" "${values[@]}" || echo "   (tavrino failed with status $?)"
  ((${#loops[@]} == 0)) || kill "${loops[@]}"
  finished() { test -e "$dir/result" || ended "$pid"; }
  wait_until 180 finished || fail "The terminal sink did not finish."
  first=0 last=0
  if [[ -e $dir/result ]]; then
    read -r first last _ <"$dir/result"
  else
    echo "   (foot ended before the text was complete)"
  fi
  stop "$pid"
  read -r _ received wrong missing extra <<<"$(values_of "$("$bench_bin/tavrino_bench_text" \
    compare "$texts/$1.expected" "$dir/out")")"
  rate=$(awk -v n="$received" -v a="$first" -v b="$last" \
    'BEGIN { s = (b - a) / 1e9; printf "%.0f", (s > 0 ? n / s : 0) }')
  # The user's own keymap is never touched: the virtual keyboard brings one.
  echo "tavrino-wayland foot $1 $rate $wrong $missing $extra same" >>"$rows"
  printf '   %-15s %-5s %-7s %7s chars/s  wrong %s, missing %s, extra %s\n' \
    tavrino-wayland foot "$1" "$rate" "$wrong" "$missing" "$extra"
}

note=""
((busy == 0)) || note=", $busy busy loops a core"
echo "== Typing on Wayland, headless sway ($runs runs each$note)"
for ((run = 1; run <= runs; run++)); do
  for text in common many; do
    wait_for_quiet
    foot_run "$text"
  done
done
