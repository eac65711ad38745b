# SPDX-License-Identifier: MIT
# Sourced by the benchmark steps: the scripts' library, the settings (see
# bench/run.sh), where the programs and the figures are, and waiting for a
# quiet machine.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${BENCH_RUNS:-3}
max_load=${BENCH_MAX_LOAD:-1.0}
load_wait=${BENCH_LOAD_WAIT:-900}
build=$root/build-bench
bench_bin=$build/bench
# Each step writes its figures here for bench/report.py; the texts typed are
# made here before the steps run.
results=$build/results
texts=$results/texts
readonly values_count=51

# values_of "a=1 b_c=2": "1 2"
values_of() { sed 's/[a-z_]*=//g' <<<"$1"; }

# Benchmarks share the machine with whatever else runs: before each one, wait
# for a quiet one, as long as the budget for waiting (shared by the steps in
# $results/waited) lasts. The load each one started at goes into
# $results/loads.
wait_for_quiet() {
  local load said=0 waited
  waited=$(cat "$results/waited" 2>/dev/null || echo 0)
  load=$(cut -d' ' -f1 /proc/loadavg)
  while awk -v l="$load" -v m="$max_load" 'BEGIN { exit !(l >= m) }'; do
    if ((waited >= load_wait)); then
      ((said)) && echo "   (still $load, and the ${load_wait} s for waiting are used up: measuring)"
      break
    fi
    ((said)) || echo "   waiting for the 1-minute load average ($load) to fall below $max_load"
    said=1
    sleep 15
    waited=$((waited + 15))
    echo "$waited" >"$results/waited"
    load=$(cut -d' ' -f1 /proc/loadavg)
  done
  echo "$load" >>"$results/loads"
}
