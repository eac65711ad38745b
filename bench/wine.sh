#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# tavrino.exe under Wine on a private Xvfb, BENCH_RUNS runs: it opens the
# common text as a data file, START is clicked, then the first field of the
# Win32 target form; form_watch.exe times the typing from outside. Writes
# wine.rows ("RATE WRONG MISSING EXTRA" a run) into the results folder.
# bench/run.sh builds first.
set -euo pipefail
source "$(dirname "$0")/common.sh"

win_build=$root/${WIN_BUILD_DIR:-build-win64}
app_exe=$win_build/src/platform/win32/tavrino.exe
form_exe=$win_build/tests/win32/target_form.exe
probe_exe=$win_build/tests/win32/probe.exe
watch_exe=$build/wine/form_watch.exe
readonly form_title='tavrino target form'

echo "== Typing under Wine ($runs runs)"
start_session
start_x
# A prefix of its own, so that the Windows tests' wineserver -k cannot end a
# benchmark that runs at the same time.
wine_prefix "$build"
caption=$(probe caption)
rows=$results/wine.rows
: >"$rows"
for ((run = 1; run <= runs; run++)); do
  wait_for_quiet
  dir=$work/wine.$run
  mkdir "$dir"
  : >"$dir/watch.log"
  spawn wine "$form_exe" "$(win_path "$dir/fields")" "$values_count" >/dev/null 2>&1
  form_pid=$spawned
  spawn wine "$watch_exe" "$form_title" "$values_count" "$(win_path "$dir/result")" \
    >"$dir/watch.log" 2>&1
  watch_pid=$spawned
  wait_line "$dir/watch.log" '^ready' 60 || fail "The Win32 form did not open."
  spawn wine "$app_exe" "$(win_path "$texts/common.ipt")" >/dev/null 2>&1
  app_pid=$spawned
  probe wait "$caption" 60 || fail "tavrino.exe did not open."
  sleep 1  # let both windows paint
  # START, then into the form's first field, as a user would; the countdown
  # runs from 5.
  win_click "$caption" START
  win_click "$form_title" "#1000"
  wait "$watch_pid" || fail "The Win32 form was not filled: $(cat "$dir/watch.log")"
  wait "$form_pid" || true
  grep -v '^focus=' "$dir/fields" >"$dir/fields.txt"
  comparison=$("$bench_bin/tavrino_bench_text" compare "$texts/common.expected" \
    "$dir/fields.txt" --fields)
  read -r _ received wrong missing extra <<<"$(values_of "$comparison")"
  ms=$(tr -d '\r' <"$dir/result")
  rate=$(awk -v n="$received" -v ms="$ms" 'BEGIN { printf "%.0f", n / (ms / 1000) }')
  echo "$rate $wrong $missing $extra" >>"$rows"
  printf '   run %d: %s chars/s  wrong %s, missing %s, extra %s\n' "$run" "$rate" "$wrong" \
    "$missing" "$extra"
  probe close "$caption"
  wait "$app_pid" || true
done
