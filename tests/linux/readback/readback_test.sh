#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# readback_test.sh TAVRINO TARGET_FORM LAYOUT_POINT SCENARIO
# tavrino types into another program's form on a private Xvfb with a session
# D-Bus and the accessibility bus, as a user would (START, then a click into
# the form), and then says what the fields hold:
#   gtk      a GTK form (zenity), every field as typed, a password among them
#   firefox  a web page in Firefox whose fields upper-case and cut at four
#            characters: those two entries are named, the others are not
#   chromium the same page in Chromium, started with --force-renderer-accessibility
#   calc     LibreOffice Calc, which turns 1/2 into a fraction and 007 into 7
#   off      no accessibility bus: "not checked", and how to get it, said once
set -euo pipefail
tavrino=$1
target_form=$2
layout_point=$3
scenario=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../../scripts/lib.sh"
start_session
source "$here/../app/session.sh"

# write_class FILE VALUE...: a data file with one entry per VALUE, named
# "Student 1", "Student 2", ...
write_class() {
  local file=$1 names=() i
  shift
  for ((i = 1; i <= $#; i++)); do names+=("Student $i"); done
  local IFS=$'\x1f'
  printf '%s\n' "$#" x "$(sed 's/\x1f/_%_/g' <<<"${names[*]}")" \
    "$(sed 's/\x1f/_%_/g' <<<"$*")" , , 7A , Art , Final Term >"$file"
}

title() { xdotool getwindowname "$tavrino_window" 2>/dev/null; }

# program_window PATTERN: the id of the visible window whose name matches
# PATTERN, once there. A search falls over a window that goes away while it
# looks (browsers open and close some while they start), so it is repeated.
program_window() {
  local id=
  wait_until 60 window_named "$1" && id=$(window_named "$1")
  [[ -n $id ]] || fail "No window named like $1 appeared."
  echo "$id"
}
window_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep .; }
told() { [[ $(title) == *'what was typed'* || $(title) == *'not checked'* ]]; }

# type_into WINDOW: START, the focus into WINDOW, and wait until tavrino's
# title says how reading the fields back went.
type_into() {
  set_countdown 1
  click cmdStart
  focus "$1"
  wait_until 60 told || fail "tavrino said nothing about the fields: $(title); $(cat "$tavrino_log")"
}

# expect_named ENTRY... -- ENTRY...: the message on the fields that differ
# names the first ENTRYs and none of the others.
expect_named() {
  local named=1 entry
  for entry in "$@"; do
    if [[ $entry == -- ]]; then
      named=0
    elif ((named)); then
      grep -q "^Entry $entry (" "$tavrino_log" || fail "Entry $entry is not named: $(cat "$tavrino_log")"
    else
      ! grep -q "^Entry $entry (" "$tavrino_log" || fail "Entry $entry is named: $(cat "$tavrino_log")"
    fi
  done
}

case $scenario in
  gtk)
    # GTK tells its fields even with the desktop's switch off.
    start_x us
    start_wm
    start_a11y
    spawn zenity --forms --title=Marks --text=Marks --add-entry=Ann --add-entry=Bob \
      --add-entry=Cy --add-password=PIN >"$work/zenity.out" 2>"$work/zenity.err"
    form_window=$(wait_window Marks 20)
    write_class "$work/class.ipt" 45 'Zoë Łódź' 'A{+}' secret
    start_tavrino "$work/class.ipt"
    type_into "$form_window"
    [[ $(title) == 'All 4 fields hold what was typed - '* ]] || fail "Title: $(title)"
    ! grep -q '^tavrino: ' "$tavrino_log" || fail "A message: $(cat "$tavrino_log")"
    ;;

  firefox | chromium)
    start_x us
    start_wm
    start_a11y on
    if [[ $scenario == firefox ]]; then
      profile=$work/firefox
      mkdir -p "$profile"
      # No first-run pages or prompts over the form.
      printf 'user_pref("%s", %s);\n' browser.shell.checkDefaultBrowser false \
        browser.aboutwelcome.enabled false datareporting.policy.dataSubmissionEnabled false \
        toolkit.telemetry.reportingpolicy.firstRun false \
        browser.startup.homepage_override.mstone '"ignore"' >"$profile/user.js"
      HOME=$work spawn firefox-esr --no-remote --profile "$profile" "file://$here/form.html" \
        >"$work/browser.log" 2>&1
    else
      # Chromium tells its pages' fields only when told to. (--no-sandbox:
      # the tests run as root.)
      HOME=$work spawn chromium --no-sandbox --user-data-dir="$work/chromium" --no-first-run \
        --no-default-browser-check --force-renderer-accessibility "file://$here/form.html" \
        >"$work/browser.log" 2>&1
    fi
    browser_pid=$spawned
    form_window=$(program_window '^Marks')
    write_class "$work/class.ipt" abc lower 123456 end secret 'line~two'
    start_tavrino "$work/class.ipt"
    type_into "$form_window"
    [[ $(title) == '2 of 6 fields differ from what was typed - '* ]] || fail "Title: $(title)"
    expect_named 2 3 -- 1 4 5 6
    grep -q 'typed "lower", the field holds "LOWER"' "$tavrino_log" || fail "$(cat "$tavrino_log")"
    grep -q 'typed "123456", the field holds "1234"' "$tavrino_log" || fail "$(cat "$tavrino_log")"
    # Nothing was asked of the browser that makes it fall over.
    ! ended "$browser_pid" || fail "The browser ended: $(tail -n 5 "$work/browser.log")"
    ;;

  calc)
    start_x us
    start_wm
    start_a11y on
    # A profile of its own, without the tip of the day over the sheet.
    mkdir -p "$work/libreoffice/user"
    cat >"$work/libreoffice/user/registrymodifications.xcu" <<'XCU'
<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
XCU
    HOME=$work SAL_USE_VCLPLUGIN=gtk3 spawn soffice --norestore --nologo --calc \
      "-env:UserInstallation=file://$work/libreoffice" >"$work/libreoffice.log" 2>&1
    form_window=$(program_window 'LibreOffice Calc$')
    write_class "$work/class.ipt" abc 1/2 007 lower
    start_tavrino "$work/class.ipt"
    type_into "$form_window"
    [[ $(title) == '2 of 4 fields differ from what was typed - '* ]] || fail "Title: $(title)"
    expect_named 2 3 -- 1 4
    grep -q 'typed "1/2", the field holds "½"' "$tavrino_log" || fail "$(cat "$tavrino_log")"
    grep -q 'typed "007", the field holds "7"' "$tavrino_log" || fail "$(cat "$tavrino_log")"
    ;;

  off)
    # No accessibility bus (and no session bus): the marks are typed all the
    # same, the title says the fields were not checked, and the message on
    # how to have them checked comes once, not after every class.
    start_x us
    start_wm
    unset DBUS_SESSION_BUS_ADDRESS
    start_form 3
    write_class "$work/class.ipt" 45 52 38
    start_tavrino "$work/class.ipt"
    for run in 1 2; do
      if ((run == 2)); then
        stop "$form_pid"
        start_form 3
      fi
      set_countdown 1
      run_countdown 3
      wait_until 10 told || fail "Run $run: $(title)"
      [[ $(title) == 'The fields were not checked - '* ]] || fail "Run $run: $(title)"
      if ((run == 1)); then
        # The message sits over tavrino's window; the user reads it and
        # presses OK (keys that come within half a second of typing are
        # taken for stray typed keys and dropped).
        box=$(wait_window tavrino 5)
        focus "$box"
        sleep 0.6
        xdotool key Return
        wait_until 5 sh -c "! xdotool getwindowname $box >/dev/null 2>&1" ||
          fail "The message did not close."
      fi
    done
    (($(grep -c '^tavrino: The fields were not read back' "$tavrino_log") == 1)) ||
      fail "Not said once: $(cat "$tavrino_log")"
    grep -q 'not running in this session' "$tavrino_log" || fail "$(cat "$tavrino_log")"
    ;;

  *)
    fail "No scenario $scenario."
    ;;
esac
echo "ok $scenario: $(title)"
