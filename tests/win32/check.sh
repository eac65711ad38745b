#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# tavrino.exe --check, --help and --version under Wine: what they print, to
# stdout or stderr, and their exit codes. Output goes through a redirection,
# so it arrives as UTF-8 bytes.
# Usage: check.sh WINE TAVRINO_EXE VERSION
set -uo pipefail
wine=$1 app=$2 version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0

# expect NAME CODE STDOUT STDERR_PATTERN ARGS...: runs the app with ARGS and
# compares exit code and stdout exactly; stderr must match the pattern (an
# extended regular expression; "^$" for nothing).
expect() {
  local name=$1 code=$2 out=$3 err=$4
  shift 4
  "$wine" "$app" "$@" >"$work/out" 2>"$work/err"
  local got=$?
  local problems=()
  [[ $got == "$code" ]] || problems+=("exit code $got, expected $code")
  [[ $(cat "$work/out"; echo .) == "$out." ]] || problems+=("stdout differs")
  grep -Eq -- "$err" <(tr -d '\r' <"$work/err"; echo) || problems+=("stderr does not match /$err/")
  if ((${#problems[@]})); then
    failures=$((failures + 1))
    echo "FAIL $name: ${problems[*]}"
    echo "--- expected stdout"; printf '%s' "$out"; echo "--- got stdout"; cat "$work/out"
    echo "--- got stderr"; cat "$work/err"
  else
    passed=$((passed + 1))
    echo "ok   $name"
  fi
}

dir="$work/Prüfung 1"
mkdir -p "$dir"
# CR LF line ends, UTF-8, names around the 14/15-character cut.
printf '%s\r\n' 3 x 'Zoë_%_Christopher Robinson_%_Łukasz' '45_%_7_%_日本' x x 7A x \
  Mathematics x Mid-term 'Term 2' >"$dir/daten ü.ipt"
printf '3\r\nx\r\nAnn\r\n45\r\n' >"$dir/no note.ipt"
printf '%s\n' 2 x 'Ann_%_Bob' '45_%_{' x x 7A x Maths x Mid 'Term 2' >"$dir/bad value.ipt"
win() { winepath -w "$1" 2>/dev/null; }

expect "data file" 0 $'Mid-term (Term 2)\nMathematics\nCLASS : 7A\n1. Zoë\t\t45\n2. Christopher Rob\t7\n3. Łukasz\t\t日本\n' \
  '^$' --check "$(win "$dir/daten ü.ipt")"
expect "no data" 1 $'No Data...\n' '^$' --check "$(win "$dir/no note.ipt")"
expect "missing file" 2 '' 'absent\.ipt' --check "$(win "$dir")\\absent.ipt"
expect "value that cannot be typed" 2 '' '.' --check "$(win "$dir/bad value.ipt")"
# Nothing that a console would act on or hide gets through as it is.
printf '2\nx\n"Ann\e[8m_%%_\xe2\x80\xaeevil"\n"4\r^a{DEL}%%{F4}~_%%_5\t<U+0041>"\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' \
  >"$dir/hidden.ipt"
expect "hidden characters escaped" 0 \
  $'Final (T1)\nArt\nCLASS : 7A\n1. Ann<U+001B>[8m\t\t4<U+000D>^a{DEL}%{F4}~\n2. <U+202E>evil\t\t5<U+0009><U+003C>U+0041>\n' \
  '^$' --check "$(win "$dir/hidden.ipt")"
# What START would refuse, --check refuses too, naming the entry.
printf '1\nx\nAnn\n4\xef\xbf\xbf\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' >"$dir/nonchar.ipt"
expect "noncharacter" 2 '' 'Entry 1 \("4<U\+FFFF>"\).*noncharacter' --check "$(win "$dir/nonchar.ipt")"
printf '1\nx\nAnn\n%%{x 0}\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' >"$dir/alt.ipt"
expect "Alt alone" 2 '' 'would press Alt alone' --check "$(win "$dir/alt.ipt")"
# 4 GB that take no room: refused by the size, not after reading it.
truncate -s 4G "$dir/disk.img"
expect "over the size limit" 2 '' 'is larger than 16 MB' --check "$(win "$dir/disk.img")"
# A device is refused, never waited on.
expect "a device" 2 '' 'not a regular file|No such file' --check NUL

expect "version" 0 "tavrino $version"$'\n' '^$' --version
expect "usage error" 2 '' '--bogus' --bogus
expect "check without a file" 2 '' '.' --check

"$wine" "$app" --help >"$work/help" 2>&1
if [[ $? == 0 ]] && grep -q -- '--check FILE' "$work/help" && grep -q '^Usage: tavrino.exe' "$work/help"; then
  passed=$((passed + 1)); echo "ok   help"
else
  failures=$((failures + 1)); echo "FAIL help:"; cat "$work/help"
fi

echo "$passed passed, $failures failed"
((failures == 0))
