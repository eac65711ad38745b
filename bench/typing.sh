#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The benchmarks on a private Xvfb (us layout): tavrino, `xdotool type
# --delay 0` and `xdotool type` typing the same texts into xterm and into the
# Qt target form, BENCH_RUNS runs each; then the Qt app's start-up. Writes
# typing.rows and startup into the results folder. bench/run.sh builds first.
set -euo pipefail
source "$(dirname "$0")/common.sh"

tavrino=$build/src/platform/qt/tavrino
type_values=$build/tests/linux/keyboard/tavrino_type_values
target_form=$build/tests/linux/target_form/tavrino_target_form

start_session
# Qt wants a private runtime folder and complains without one.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

keymap() { "$type_values" --print-keymap; }

# type_text TYPIST TEXT: types the text into the focused window.
type_text() {
  local values
  case $1 in
    tavrino)
      mapfile -t values <"$texts/$2.values"
      "$type_values" "${values[@]}"
      ;;
    xdotool-0) LC_ALL=C.UTF-8 xdotool type --delay 0 -- "$(<"$texts/$2.expected")" ;;
    xdotool) LC_ALL=C.UTF-8 xdotool type -- "$(<"$texts/$2.expected")" ;;
  esac
}

# Each run appends "TYPIST TARGET TEXT RATE WRONG MISSING EXTRA KEYMAP" to
# $rows, the rate in characters a second, KEYMAP "same" when the keyboard
# mapping afterwards equals the one before.
rows=$results/typing.rows
: >"$rows"
run_id=0

record() {  # TYPIST TARGET TEXT SECONDS COMPARISON KEYMAP_BEFORE
  local received wrong missing extra keymap=same
  read -r _ received wrong missing extra <<<"$(values_of "$5")"
  keymap | cmp -s - "$6" || keymap=changed
  local rate
  rate=$(awk -v n="$received" -v s="$4" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }')
  echo "$1 $2 $3 $rate $wrong $missing $extra $keymap" >>"$rows"
  printf '   %-9s %-6s %-7s %7s chars/s  wrong %s, missing %s, extra %s, keymap %s\n' \
    "$1" "$2" "$3" "$rate" "$wrong" "$missing" "$extra" "$keymap"
}

# xterm running the sink in non-canonical mode; the sink timestamps the
# first and the last byte that arrive.
xterm_run() {  # TYPIST TEXT
  local dir=$work/run.$((++run_id)) first last
  mkdir "$dir"
  keymap >"$dir/keymap"
  # (xterm's complaint about a missing font is of no interest here.)
  LC_ALL=C.UTF-8 spawn xterm -u8 -title tavrino-bench-xterm \
    -e "$bench_bin/tavrino_bench_tty_sink" "$dir/out" "$dir/ready" "$dir/result" "$values_count" \
    2>/dev/null
  local pid=$spawned
  focus "$(wait_window tavrino-bench-xterm)"
  wait_until 10 test -e "$dir/ready" || fail "The terminal sink did not start."
  type_text "$1" "$2" || echo "   ($1 failed with status $?)"
  wait_until 180 test -e "$dir/result" || fail "The terminal sink did not finish."
  stop "$pid"
  read -r first last _ <"$dir/result"
  record "$1" xterm "$2" "$(awk -v a="$first" -v b="$last" 'BEGIN { print (b - a) / 1e9 }')" \
    "$("$bench_bin/tavrino_bench_text" compare "$texts/$2.expected" "$dir/out")" "$dir/keymap"
}

# The Qt target form, timed by the key watcher (first key press to the
# form's answer to a ping after the last Tab); the form writes its fields
# when Ctrl+Q closes it.
form_run() {  # TYPIST TEXT
  local dir=$work/run.$((++run_id)) first last answered hold
  mkdir "$dir"
  keymap >"$dir/keymap"
  start_target_form "$target_form" $((values_count + 1)) "$dir/fields"
  focus "$form_window"
  # The watcher's standard input stays open while the typist types.
  mkfifo "$dir/typing"
  "$bench_bin/tavrino_bench_key_watch" "$form_window" "$values_count" "$dir/result" \
    <"$dir/typing" >"$dir/watch.log" &
  local watch_pid=$!
  exec {hold}>"$dir/typing"
  wait_line "$dir/watch.log" '^ready' || fail "The key watcher did not start."
  type_text "$1" "$2" || echo "   ($1 failed with status $?)"
  exec {hold}>&-
  wait "$watch_pid" || fail "The key watcher failed."
  close_form "$form_pid"
  read -r first last answered _ <"$dir/result"
  ((answered > 0)) || answered=$last
  record "$1" form "$2" "$(awk -v a="$first" -v b="$answered" 'BEGIN { print (b - a) / 1e9 }')" \
    "$("$bench_bin/tavrino_bench_text" compare "$texts/$2.expected" "$dir/fields" --fields)" \
    "$dir/keymap"
}

echo "== Typing under Xvfb ($runs runs each)"
start_x us
# The typists in turn within each run, so that a change of load touches all.
for ((run = 1; run <= runs; run++)); do
  for target in xterm form; do
    for typist in tavrino xdotool-0 xdotool; do
      wait_for_quiet
      "${target}_run" "$typist" common
    done
    # xterm answers no ping, so tavrino cannot tell when it has read a key:
    # the many text, which needs keycodes to change meaning while typing,
    # is refused there before the first key, and only the form gets it.
    if [[ $target == form ]]; then
      wait_for_quiet
      "${target}_run" tavrino many
    fi
  done
done

echo "== Start-up"
wait_for_quiet
startup_runs=$((runs < 5 ? 7 : runs * 2 + 1))
caption=$("$build/tests/linux/app/tavrino_layout_point" --caption)
startup_out=$("$bench_bin/tavrino_bench_startup" "$startup_runs" "$caption" -- "$tavrino" \
  "$root/examples/sample.ipt")
sed 's/^/   /' <<<"$startup_out"
# "RUNS MAPPED_MS ANSWERING_MS"
echo "$startup_runs $(sed -n 's/^median mapped_ms=\([0-9.]*\) answering_ms=\([0-9.]*\)$/\1 \2/p' \
  <<<"$startup_out")" >"$results/startup"
