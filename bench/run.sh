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
#
# The steps, each of which runs alone too once this has built: typing.sh
# (typing into X11 programs, start-up), wayland.sh (typing on Wayland through
# the virtual keyboard), reading data files (below), wine.sh (typing under
# Wine) and report.py (the table).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

with_wine=${BENCH_WINE:-1}
jobs=${BENCH_JOBS:-$(nproc)}
win_build=${WIN_BUILD_DIR:-build-win64}

ensure_packages "${linux_build_packages[@]}" xvfb xauth xdotool x11-utils x11-xkb-utils xterm \
  sway foot
if ((with_wine)); then
  ensure_packages "${windows_build_packages[@]}" wine wine64 fonts-wine
fi

echo "== Building into $build"
configure_linux "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRINO_BENCH=ON
cmake --build "$build" -j "$jobs" --target tavrino tavrino_type_values tavrino_target_form \
  tavrino_read_bench tavrino_bench_text tavrino_bench_tty_sink tavrino_bench_key_watch \
  tavrino_bench_startup bench_text_test tavrino_wayland_type tavrino_layout_point
# The error counts are only as good as the comparison behind them.
"$bench_bin/bench_text_test" --gtest_brief=1 >/dev/null ||
  { echo "bench_text_test failed" >&2; exit 1; }
if ((with_wine)); then
  configure_windows "$win_build"
  cmake --build "$win_build" -j "$jobs" --target tavrino target_form probe
  cmake -S bench/wine -B "$build/wine" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/wine"
fi

rm -rf "$results"
mkdir -p "$texts"
"$bench_bin/tavrino_bench_text" make "$texts"

bash bench/typing.sh
bash bench/wayland.sh

echo "== Reading data files"
start_session
for mb in 0 1 10 16; do
  file=$work/read-$mb.ipt
  "$bench_bin/tavrino_read_bench" generate "$file" "$mb"
  wait_for_quiet
  line=$("$bench_bin/tavrino_read_bench" read "$file")
  rm -f "$file"
  echo "   $mb MB: $line"
  # "MB BYTES BEST MEDIAN PEAK_RSS_KB"
  echo "$mb $(values_of "$line")" >>"$results/reading.rows"
done

if ((with_wine)); then
  bash bench/wine.sh
fi

python3 bench/report.py "$results" "$runs" bench/README.md
