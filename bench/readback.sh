#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What reading the fields back costs: tavrino types 51 marks into a GTK form
# (zenity), the Qt target form and a web page in Firefox on a private Xvfb,
# with the accessibility bus switched on (the fields are read back) and
# without it (nothing is read back), BENCH_RUNS runs each, and prints how
# long each run took from the first key to the line in tavrino's title that
# says how it went.
#   bash bench/readback.sh      (after scripts/test-linux.sh has built build-linux)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
build=${LINUX_BUILD_DIR:-build-linux}
tavrino=$build/src/platform/qt/tavrino
target_form=$build/tests/linux/target_form/tavrino_target_form
layout_point=$build/tests/linux/app/tavrino_layout_point
runs=${BENCH_RUNS:-3}
readonly fields=51
[[ -x $tavrino ]] || fail "Build $build first (scripts/test-linux.sh)."

# one_run TARGET MODE: prints the milliseconds from the first key to the end,
# and the title then, on file descriptor 3.
one_run() (
  start_session
  source tests/linux/app/session.sh
  start_x us
  start_wm
  if [[ $2 == read-back ]]; then
    start_a11y on
  else
    unset DBUS_SESSION_BUS_ADDRESS
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
  fi
  local marks=() names=() i window
  for ((i = 1; i <= fields; i++)); do
    marks+=("$((30 + i))")
    names+=("--add-entry=Student $i")
  done
  case $1 in
    qt)
      start_form "$fields"
      window=$form_window
      ;;
    gtk)
      spawn zenity --forms --title=Marks "${names[@]}" >/dev/null 2>&1
      window=$(wait_window Marks 20)
      ;;
    firefox)
      {
        echo '<!doctype html><html><head><meta charset="utf-8"><title>Marks</title></head><body>'
        for ((i = 1; i <= fields; i++)); do echo "<p><input name=s$i></p>"; done
        echo "<script>document.querySelector('input').focus();</script></body></html>"
      } >"$work/marks.html"
      mkdir -p "$work/firefox"
      printf 'user_pref("%s", %s);\n' browser.shell.checkDefaultBrowser false \
        browser.aboutwelcome.enabled false datareporting.policy.dataSubmissionEnabled false \
        toolkit.telemetry.reportingpolicy.firstRun false >"$work/firefox/user.js"
      HOME=$work spawn firefox-esr --no-remote --profile "$work/firefox" "file://$work/marks.html" \
        >/dev/null 2>&1
      window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Marks' | head -n 1)
      ;;
  esac
  local IFS=$'\x1f'
  printf '%s\n' "$fields" x "$(sed 's/\x1f/_%_/g' <<<"${names[*]#--add-entry=}")" \
    "$(sed 's/\x1f/_%_/g' <<<"${marks[*]}")" , , 7A , Art , Final Term >"$work/class.ipt"
  unset IFS
  start_tavrino "$work/class.ipt"
  set_countdown 1
  # The title changes when the first key goes out ("Typing"), and again when
  # typing and reading back are over (to what was found); each change is
  # stamped as the server reports it. (The first line is the title as it
  # was; the "Typing" one may be read back as the next title already, when
  # typing takes a few milliseconds only.)
  spawn sh -c "stdbuf -oL xprop -spy -id $tavrino_window WM_NAME | while IFS= read -r line; do
    echo \"\$(date +%s%3N) \$line\"; done" >"$work/titles"
  click cmdStart
  focus "$window"
  wait_until 60 grep -q -e 'what was typed' -e 'not checked' "$work/titles" ||
    fail "Typing did not end: $(cat "$tavrino_log")"
  awk -v caption=" - $caption" 'NR == 2 { start = $1 }
       /what was typed|not checked/ { title = $0; sub(/^[^"]*"/, "", title)
                                      i = index(title, caption); if (i) title = substr(title, 1, i - 1)
                                      print $1 - start, title; exit }' "$work/titles" >&3
)

log=$build/readback-bench.log
: >"$log"
printf '%-8s %-12s %s\n' target mode "ms from the first key to the end (${runs} runs), last title"
for target in gtk qt firefox; do
  for mode in typing-only read-back; do
    times=()
    for ((run = 1; run <= runs; run++)); do
      # What the sessions say goes to the log; a run that fails counts as such.
      read -r ms title < <(one_run "$target" "$mode" 3>&1 >>"$log" 2>&1) || ms=failed
      times+=("$ms")
    done
    printf '%-8s %-12s %s  (%s)\n' "$target" "$mode" "${times[*]}" "$title"
  done
done
echo "(what the runs said: $log)"
