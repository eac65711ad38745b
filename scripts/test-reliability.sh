#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reliability checks of the core, with clang on a Debian 12 machine:
#  1. the unit tests of the core built with AddressSanitizer and
#     UndefinedBehaviorSanitizer (any report fails the run), in build-asan;
#  2. the libFuzzer harnesses in fuzz/, built in build-fuzz and run for
#     FUZZ_SECONDS each (default 60). A crash, leak, undefined behaviour or an
#     input that takes longer than 10 seconds fails the run; the input that
#     did it is kept in build-fuzz/artifacts/<harness>/.
# The committed seed corpora are copied to a scratch folder first, so a run
# never changes them. Environment: FUZZ_SECONDS, JOBS (parallel build jobs,
# default: all processors), ASAN_BUILD_DIR, FUZZ_BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages clang libclang-rt-14-dev libgtest-dev cmake make

fuzz_seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
asan_build=${ASAN_BUILD_DIR:-build-asan}
fuzz_build=${FUZZ_BUILD_DIR:-build-fuzz}
# Every harness in fuzz/, each named after its source file.
mapfile -t harnesses < <(cd fuzz && ls -- *_fuzz.cpp | sed 's/\.cpp$//')

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

echo "== Unit tests with AddressSanitizer and UndefinedBehaviorSanitizer ($asan_build)"
cmake -S . -B "$asan_build" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$sanitizers" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
# The tests are those ctest knows in this build, each the program of its name.
mapfile -t tests < <(ctest --test-dir "$asan_build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
((${#tests[@]})) || fail "ctest knows no tests in $asan_build."
cmake --build "$asan_build" -j "$jobs" --target "${tests[@]}"
# Leaks count as failures, and UBSan prints where it stopped.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$asan_build" --output-on-failure

echo "== Fuzzers, ${fuzz_seconds} s each ($fuzz_build)"
cmake -S . -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVRINO_FUZZ=ON -DTAVRINO_BUILD_TESTS=OFF
cmake --build "$fuzz_build" -j "$jobs" --target "${harnesses[@]}"

start_session
scratch=$work

failed=()
summary=()
for harness in "${harnesses[@]}"; do
  corpus="$scratch/$harness"
  cp -r "fuzz/corpus/$harness" "$corpus"
  artifacts="$fuzz_build/artifacts/$harness"
  mkdir -p "$artifacts"
  log="$scratch/$harness.log"
  echo "-- $harness"
  status=0
  "$fuzz_build/fuzz/$harness" "$corpus" -max_total_time="$fuzz_seconds" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?

  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  files=$(find "$corpus" -type f | wc -l)
  bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{ total += $1 } END { print total + 0 }')
  summary+=("$(printf '%-22s %12s executions %7s corpus files %9s bytes' \
    "$harness" "${executions:-?}" "$files" "$bytes")")
  if ((status != 0)); then
    failed+=("$harness")
    # The report and the reproducer are near the end of the log.
    tail -n 60 "$log"
    echo "$harness FAILED (exit $status); the input that did it is in $artifacts/" >&2
  fi
done

echo "== Fuzzing summary (${fuzz_seconds} s each)"
printf '%s\n' "${summary[@]}"
if ((${#failed[@]})); then
  echo "Fuzzers that found a fault: ${failed[*]}" >&2
  exit 1
fi
echo "No fuzzer found a fault."
