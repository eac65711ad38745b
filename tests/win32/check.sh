#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# tavrino.exe --check, --help and --version under Wine: what they print, to
# stdout or stderr, and their exit codes. Output goes through a redirection,
# so it arrives as UTF-8 bytes.
# Usage: check.sh BUILD_DIR [WINE]
set -uo pipefail
source "$(dirname "$0")/common.sh" "$@"

# prints CODE STDOUT STDERR_PATTERN ARGS...: the app run with ARGS exits with
# CODE and prints exactly STDOUT; its stderr matches the pattern (an extended
# regular expression; "^$" for nothing).
prints() {
  local code=$1 out=$2 err=$3 got=0 problems=()
  shift 3
  "$wine" "$app" "$@" >"$work/out" 2>"$work/err" || got=$?
  [[ $got == "$code" ]] || problems+=("exit code $got, expected $code")
  [[ $(cat "$work/out"; echo .) == "$out." ]] || problems+=("stdout differs")
  grep -Eq -- "$err" <(tr -d '\r' <"$work/err"; echo) || problems+=("stderr does not match /$err/")
  ((${#problems[@]})) || return 0
  echo "${problems[*]}"
  echo "--- expected stdout"; printf '%s' "$out"; echo "--- got stdout"; cat "$work/out"
  echo "--- got stderr"; cat "$work/err"
  return 1
}

dir="$work/Prüfung 1"
mkdir -p "$dir"
# CR LF line ends, UTF-8, names around the 14/15-character cut.
printf '%s\r\n' 3 x 'Zoë_%_Christopher Robinson_%_Łukasz' '45_%_7_%_日本' x x 7A x \
  Mathematics x Mid-term 'Term 2' >"$dir/daten ü.ipt"
printf '3\r\nx\r\nAnn\r\n45\r\n' >"$dir/no note.ipt"
printf '%s\n' 2 x 'Ann_%_Bob' '45_%_{' x x 7A x Maths x Mid 'Term 2' >"$dir/bad value.ipt"

check "data file" prints 0 $'Mid-term (Term 2)\nMathematics\nCLASS : 7A\n1. Zoë\t\t45\n2. Christopher Rob\t7\n3. Łukasz\t\t日本\n' \
  '^$' --check "$(win_path "$dir/daten ü.ipt")"
check "no data" prints 1 $'No Data...\n' '^$' --check "$(win_path "$dir/no note.ipt")"
check "missing file" prints 2 '' 'absent\.ipt' --check "$(win_path "$dir")\\absent.ipt"
check "value that cannot be typed" prints 2 '' '.' --check "$(win_path "$dir/bad value.ipt")"
# Nothing that a console would act on or hide gets through as it is.
printf '2\nx\n"Ann\e[8m_%%_\xe2\x80\xaeevil"\n"4\r^a{DEL}%%{F4}~_%%_5\t<U+0041>"\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' \
  >"$dir/hidden.ipt"
check "hidden characters escaped" prints 0 \
  $'Final (T1)\nArt\nCLASS : 7A\n1. Ann<U+001B>[8m\t\t4<U+000D>^a{DEL}%{F4}~\n2. <U+202E>evil\t\t5<U+0009><U+003C>U+0041>\n' \
  '^$' --check "$(win_path "$dir/hidden.ipt")"
# What START would refuse, --check refuses too, naming the entry.
printf '1\nx\nAnn\n4\xef\xbf\xbf\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' >"$dir/nonchar.ipt"
check "noncharacter" prints 2 '' 'Entry 1 \("4<U\+FFFF>"\).*noncharacter' --check "$(win_path "$dir/nonchar.ipt")"
printf '1\nx\nAnn\n%%{x 0}\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' >"$dir/alt.ipt"
check "Alt alone" prints 2 '' 'would press Alt alone' --check "$(win_path "$dir/alt.ipt")"
# A spreadsheet saved as CSV with semicolons: listed as written.
printf 'Name;Mark\r\nZo\xc3\xab;7,5\r\nBob;A+\r\n' >"$dir/noten ü.csv"
check "spreadsheet rows" prints 0 $'noten ü.csv (2 entries)\nMark\n\n1. Zoë\t\t7,5\n2. Bob\t\tA+\n' \
  '^$' --check "$(win_path "$dir/noten ü.csv")"
# A count above the values: the entries left to a file before are named.
printf '%s\n' 4 x 'A_%_B' '1_%_2' x x 7A x M x E N >"$dir/short.ipt"
check "entries left to the file before" prints 0 \
  $'E (N)\nM\nCLASS : 7A\n1. A\t\t1\n2. B\t\t2\n3. \t\t\n4. \t\t\n' \
  '^Entries 3 and 4 have no marks' --check "$(win_path "$dir/short.ipt")"
# 4 GB that take no room: refused by the size, not after reading it.
truncate -s 4G "$dir/disk.img"
check "over the size limit" prints 2 '' 'is larger than 16 MB' --check "$(win_path "$dir/disk.img")"
# A device is refused, never waited on.
check "a device" prints 2 '' 'not a regular file|No such file' --check NUL

check "version" prints 0 "tavrino $version"$'\n' '^$' --version
check "usage error" prints 2 '' '--bogus' --bogus
check "check without a file" prints 2 '' '.' --check

help_names_check() {
  "$wine" "$app" --help >"$work/help" 2>&1 && grep -q -- '--check FILE' "$work/help" &&
    grep -q '^Usage: tavrino.exe' "$work/help" || { cat "$work/help"; return 1; }
}
check "help" help_names_check
checks_done
