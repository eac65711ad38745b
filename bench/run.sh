#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# bench/run.sh: builds what the benchmarks need (into build-bench/; the
# Windows programs in the Windows build), runs them all, prints the table of
# figures and writes it with the machine, the date and the load into
# bench/README.md. Debian 12, as root (it installs missing packages).
#
#   BENCH_RUNS=3         runs of each typing benchmark; the median is reported
#   BENCH_MAX_LOAD=1.0   before each benchmark, wait until the 1-minute load
#   BENCH_LOAD_WAIT=900  average is below this, but no longer than this many
#                        seconds in all
#   BENCH_WINE=1         0 leaves out the benchmark under Wine
#   BENCH_JOBS=$(nproc)  parallel build jobs
#   WIN_BUILD_DIR=build-win64  the Windows build to take tavrino.exe from
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/lib.sh

runs=${BENCH_RUNS:-3}
max_load=${BENCH_MAX_LOAD:-1.0}
load_wait=${BENCH_LOAD_WAIT:-900}
with_wine=${BENCH_WINE:-1}
jobs=${BENCH_JOBS:-$(nproc)}
build=$root/build-bench
win_build=$root/${WIN_BUILD_DIR:-build-win64}
readonly caption='VELMORANT COMPUTER SYSTEM - tavrino'
readonly values_count=51

ensure_packages cmake g++ make pkg-config libgtest-dev qt6-base-dev libx11-dev libxtst-dev \
  libxkbcommon-dev xvfb xauth xdotool x11-utils x11-xkb-utils xterm
if ((with_wine)); then
  ensure_packages g++-mingw-w64-x86-64 googletest wine wine64 fonts-wine
fi

echo "== Building into $build"
mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRINO_BUILD_LINUX_APP=ON \
  -DTAVRINO_BENCH=ON >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target tavrino tavrino_type_values tavrino_target_form \
  tavrino_read_bench tavrino_bench_text tavrino_bench_tty_sink tavrino_bench_key_watch \
  tavrino_bench_startup bench_text_test
# The error counts below are only as good as the comparison behind them.
"$build/bench/bench_text_test" --gtest_brief=1 >/dev/null ||
  { echo "bench_text_test failed" >&2; exit 1; }

tavrino=$build/src/platform/qt/tavrino
type_values=$build/tests/linux/keyboard/tavrino_type_values
target_form=$build/tests/linux/target_form/tavrino_target_form
bench_bin=$build/bench

# The session helpers of the end-to-end tests: a private Xvfb, waiting for
# windows, focus, and stopping everything on exit (TAVRINO_TMP is removed).
source tests/linux/lib.sh
wine_prefix_used=0
bench_cleanup() {
  local status=$?
  # A failing command must not cut the cleanup short.
  set +e
  if ((wine_prefix_used)); then WINEPREFIX=$build/wineprefix wineserver -k 2>/dev/null; fi
  (exit "$status")  # tavrino_cleanup exits with $?
  tavrino_cleanup
}
trap bench_cleanup EXIT

# Qt wants a private runtime folder and complains without one.
export XDG_RUNTIME_DIR=$TAVRINO_TMP/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
texts=$TAVRINO_TMP/texts
mkdir -p "$texts"
"$bench_bin/tavrino_bench_text" make "$texts"

loads=()
load_now() { cut -d' ' -f1 /proc/loadavg; }
# Benchmarks share the machine with whatever else runs; wait for a quiet one,
# as long as the budget for waiting lasts.
waited=0
wait_for_quiet() {
  local load said=0
  load=$(load_now)
  while awk -v l="$load" -v m="$max_load" 'BEGIN { exit !(l >= m) }'; do
    if ((waited >= load_wait)); then
      ((said)) && echo "   (still $load, and the ${load_wait} s for waiting are used up: measuring)"
      break
    fi
    ((said)) || echo "   waiting for the 1-minute load average ($load) to fall below $max_load"
    said=1
    sleep 15
    waited=$((waited + 15))
    load=$(load_now)
  done
  loads+=("$load")
}

# Ends PID (already ended is fine) and reaps it; its exit status is no
# failure of the benchmark.
stop() {
  kill -TERM "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
keymap() { "$type_values" --print-keymap; }
# values_of "a=1 b_c=2": "1 2"
values_of() { sed 's/[a-z_]*=//g' <<<"$1"; }

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
rows=$TAVRINO_TMP/typing.rows
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
  local dir=$TAVRINO_TMP/run.$((++run_id)) first last
  mkdir "$dir"
  keymap >"$dir/keymap"
  # (xterm's complaint about a missing font is of no interest here.)
  LC_ALL=C.UTF-8 tavrino_spawn xterm -u8 -title tavrino-bench-xterm \
    -e "$bench_bin/tavrino_bench_tty_sink" "$dir/out" "$dir/ready" "$dir/result" "$values_count" \
    2>/dev/null
  local pid=${TAVRINO_PIDS[-1]}
  tavrino_focus "$(tavrino_wait_window tavrino-bench-xterm)"
  tavrino_wait_until 10 test -e "$dir/ready" || tavrino_fail "The terminal sink did not start."
  type_text "$1" "$2" || echo "   ($1 failed with status $?)"
  tavrino_wait_until 180 test -e "$dir/result" || tavrino_fail "The terminal sink did not finish."
  stop "$pid"
  read -r first last _ <"$dir/result"
  record "$1" xterm "$2" "$(awk -v a="$first" -v b="$last" 'BEGIN { print (b - a) / 1e9 }')" \
    "$("$bench_bin/tavrino_bench_text" compare "$texts/$2.expected" "$dir/out")" "$dir/keymap"
}

# The Qt target form, timed by the key watcher (first key press to the
# form's answer to a ping after the last Tab); the form writes its fields
# when Ctrl+Q closes it.
form_run() {  # TYPIST TEXT
  local dir=$TAVRINO_TMP/run.$((++run_id)) first last answered hold
  mkdir "$dir"
  keymap >"$dir/keymap"
  tavrino_spawn "$target_form" --fields $((values_count + 1)) --output "$dir/fields" >"$dir/form.log"
  local pid=${TAVRINO_PIDS[-1]}
  tavrino_wait_line "$dir/form.log" '^window 0x' || tavrino_fail "The target form did not start."
  local window
  window=$(awk '/^window/ { print $2 }' "$dir/form.log")
  tavrino_focus "$window"
  # The watcher's standard input stays open while the typist types.
  mkfifo "$dir/typing"
  "$bench_bin/tavrino_bench_key_watch" "$window" "$values_count" "$dir/result" \
    <"$dir/typing" >"$dir/watch.log" &
  local watch_pid=$!
  exec {hold}>"$dir/typing"
  tavrino_wait_line "$dir/watch.log" '^ready' || tavrino_fail "The key watcher did not start."
  type_text "$1" "$2" || echo "   ($1 failed with status $?)"
  exec {hold}>&-
  wait "$watch_pid" || tavrino_fail "The key watcher failed."
  # Ctrl+Q arrives behind every typed key; the form then writes its fields.
  xdotool key ctrl+q
  tavrino_wait_until 10 sh -c "! kill -0 $pid 2>/dev/null" || true
  stop "$pid"
  read -r first last answered _ <"$dir/result"
  ((answered > 0)) || answered=$last
  record "$1" form "$2" "$(awk -v a="$first" -v b="$answered" 'BEGIN { print (b - a) / 1e9 }')" \
    "$("$bench_bin/tavrino_bench_text" compare "$texts/$2.expected" "$dir/fields" --fields)" \
    "$dir/keymap"
}

echo "== Typing under Xvfb ($runs runs each)"
tavrino_start_x
setxkbmap -layout us
# The typists in turn within each run, so that a change of load touches all.
for ((run = 1; run <= runs; run++)); do
  for target in xterm form; do
    for typist in tavrino xdotool-0 xdotool; do
      wait_for_quiet
      "${target}_run" "$typist" common
    done
    wait_for_quiet
    "${target}_run" tavrino many
  done
done

echo "== Start-up"
wait_for_quiet
startup_runs=$((runs < 5 ? 7 : runs * 2 + 1))
startup_out=$("$bench_bin/tavrino_bench_startup" "$startup_runs" "$caption" -- "$tavrino" \
  "$root/examples/sample.ipt")
sed 's/^/   /' <<<"$startup_out"
read -r startup_mapped startup_answering <<<"$(sed -n 's/^median mapped_ms=\([0-9.]*\) answering_ms=\([0-9.]*\)$/\1 \2/p' <<<"$startup_out")"

echo "== Reading data files"
read_rows=()
for mb in 0 1 10 16; do
  file=$TAVRINO_TMP/read-$mb.ipt
  "$bench_bin/tavrino_read_bench" generate "$file" "$mb"
  wait_for_quiet
  line=$("$bench_bin/tavrino_read_bench" read "$file")
  rm -f "$file"
  echo "   $mb MB: $line"
  read_rows+=("$mb $(values_of "$line")")
done

wine_rows=()
if ((with_wine)); then
  echo "== Typing under Wine ($runs runs)"
  wine=$(command -v wine)
  if [[ ! -f $win_build/CMakeCache.txt ]]; then
    cmake -S . -B "$win_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" >/dev/null
  fi
  cmake --build "$win_build" -j "$jobs" --target tavrino target_form probe
  cmake -S bench/wine -B "$build/wine" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/wine"
  app_exe=$win_build/src/platform/win32/tavrino.exe
  form_exe=$win_build/tests/win32/target_form.exe
  probe_exe=$win_build/tests/win32/probe.exe

  # A prefix of its own, so that the Windows tests' wineserver -k cannot
  # end a benchmark that runs at the same time.
  export WINEPREFIX=$build/wineprefix WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  wine_prefix_used=1
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "   setting up the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # No window manager: Wine draws the frames and manages the focus itself.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

  probe() { "$wine" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
  click() {
    local x y
    read -r x y < <(probe point "$@")
    xdotool mousemove "$x" "$y" click 1
  }
  for ((run = 1; run <= runs; run++)); do
    wait_for_quiet
    dir=$TAVRINO_TMP/wine.$run
    mkdir "$dir"
    : >"$dir/watch.log"
    "$wine" "$form_exe" "$(winepath -w "$dir/fields")" "$values_count" >/dev/null 2>&1 &
    form_pid=$!
    "$wine" "$build/wine/form_watch.exe" "tavrino target form" "$values_count" \
      "$(winepath -w "$dir/result")" >"$dir/watch.log" 2>&1 &
    watch_pid=$!
    tavrino_wait_line "$dir/watch.log" '^ready' 60 || tavrino_fail "The Win32 form did not open."
    "$wine" "$app_exe" "$(winepath -w "$texts/common.ipt")" >/dev/null 2>&1 &
    app_pid=$!
    probe wait "$caption" 60 || tavrino_fail "tavrino.exe did not open."
    sleep 1  # let both windows paint
    # START, then into the form's first field, as a user would; the
    # countdown runs from 5.
    click "$caption" START
    click "tavrino target form" "#1000"
    wait "$watch_pid" || tavrino_fail "The Win32 form was not filled: $(cat "$dir/watch.log")"
    wait "$form_pid" || true
    grep -v '^focus=' "$dir/fields" >"$dir/fields.txt"
    comparison=$("$bench_bin/tavrino_bench_text" compare "$texts/common.expected" \
      "$dir/fields.txt" --fields)
    read -r _ received wrong missing extra <<<"$(values_of "$comparison")"
    ms=$(tr -d '\r' <"$dir/result")
    rate=$(awk -v n="$received" -v ms="$ms" 'BEGIN { printf "%.0f", n / (ms / 1000) }')
    wine_rows+=("$rate $wrong $missing $extra")
    printf '   run %d: %s chars/s  wrong %s, missing %s, extra %s\n' "$run" "$rate" "$wrong" \
      "$missing" "$extra"
    probe close "$caption"
    wait "$app_pid" || true
  done
fi

# ---- The report ----------------------------------------------------------

# median_of LIST...: the median of the numbers.
median_of() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
    END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# typing_row TYPIST TARGET TEXT LABEL: one line of the typing table.
typing_row() {
  local rates=() exact=0 n=0 worst=-1 worst_edits='' changed=0
  local typist target text rate wrong missing extra keymap
  while read -r typist target text rate wrong missing extra keymap; do
    [[ $typist == "$1" && $target == "$2" && $text == "$3" ]] || continue
    n=$((n + 1))
    rates+=("$rate")
    local edits=$((wrong + missing + extra))
    ((edits > 0)) || exact=$((exact + 1))
    if ((edits > worst)); then
      worst=$edits
      worst_edits="$wrong / $missing / $extra"
    fi
    [[ $keymap == same ]] || changed=1
  done <"$rows"
  ((n > 0)) || return 0
  local each
  each=$(printf '%s, ' "${rates[@]}")
  printf '| %s | %s | %.0f | %s | %d / %d | %s | %s |\n' "$4" "$2" "$(median_of "${rates[@]}")" \
    "${each%, }" "$exact" "$n" "$worst_edits" "$( ((changed)) && echo changed || echo restored)"
}

results=$TAVRINO_TMP/results.md
{
  cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
  memory=$(awk '/^MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo)
  os=$(. /etc/os-release && echo "$PRETTY_NAME")
  load_range=$(printf '%s\n' "${loads[@]}" | sort -g | sed -n '1p;$p' | paste -sd' ' |
    awk '{ print ($2 == "" || $1 == $2) ? $1 : $1 " to " $2 }')
  echo "Taken on $(date -u +%Y-%m-%d) on $cpu ($(nproc) cores, $memory of memory, $os),"
  echo "$runs runs per typing figure. The 1-minute load average when each benchmark"
  echo "started: $load_range."
  echo
  echo "### Typing into X11 programs under Xvfb (us layout)"
  echo
  echo "7,701 characters (51 values of 150 characters, each followed by Tab); the"
  echo "rate is characters received per second, first to last."
  echo
  echo "| typist, text | target | chars/s (median) | chars/s (each run) | exact runs | wrong / missing / extra (worst run) | keyboard mapping after |"
  echo "|---|---|---|---|---|---|---|"
  for target in xterm form; do
    typing_row tavrino "$target" common 'tavrino, common'
    typing_row xdotool-0 "$target" common 'xdotool --delay 0, common'
    typing_row xdotool "$target" common 'xdotool (12 ms delay), common'
    typing_row tavrino "$target" many 'tavrino, many'
  done
  echo
  echo "### Start-up (Qt app, Xvfb, no window manager)"
  echo
  echo "| from process start to | median of $startup_runs starts |"
  echo "|---|---|"
  echo "| the main window mapped | $startup_mapped ms |"
  echo "| the window answering a ping (event loop running) | $startup_answering ms |"
  echo
  echo "### Reading data files (readfile)"
  echo
  echo "| file | bytes | MB/s (median of 3) | MB/s (best) | peak resident memory |"
  echo "|---|---|---|---|---|"
  for row in "${read_rows[@]}"; do
    read -r mb bytes best med rss <<<"$row"
    label="$mb MB"
    ((mb)) || label="heading only"
    echo "| $label | $bytes | $med | $best | $rss kB |"
  done
  if ((with_wine)); then
    echo
    echo "### Typing under Wine (tavrino.exe into the Win32 target form, common text)"
    echo
    echo "| chars/s (median) | chars/s (each run) | exact runs | wrong / missing / extra (worst run) |"
    echo "|---|---|---|---|"
    rates=() exact=0 worst=-1 worst_edits=''
    for row in "${wine_rows[@]}"; do
      read -r rate wrong missing extra <<<"$row"
      rates+=("$rate")
      edits=$((wrong + missing + extra))
      ((edits > 0)) || exact=$((exact + 1))
      if ((edits > worst)); then
        worst=$edits
        worst_edits="$wrong / $missing / $extra"
      fi
    done
    each=$(printf '%s, ' "${rates[@]}")
    printf '| %.0f | %s | %d / %d | %s |\n' "$(median_of "${rates[@]}")" "${each%, }" "$exact" \
      "${#rates[@]}" "$worst_edits"
  fi
} >"$results"

echo
cat "$results"
# The figures replace what stands between the two markers of bench/README.md.
readme=bench/README.md
{
  sed -n '1,/^<!-- results -->$/p' "$readme"
  cat "$results"
  sed -n '/^<!-- end of results -->$/,$p' "$readme"
} >"$TAVRINO_TMP/README.md"
cp "$TAVRINO_TMP/README.md" "$readme"
echo
echo "Wrote the figures into $readme."
