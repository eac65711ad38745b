#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# app_test.sh TAVRINO TARGET_FORM LAYOUT_POINT EXAMPLES SCENARIO
# Runs tavrino as a user would, on a private Xvfb: opens a data file, presses
# START with a real mouse click, puts the focus into the target form's first
# field, and after the countdown compares what every field received.
set -euo pipefail
tavrino=$1
target_form=$2
layout_point=$3
examples=$4
scenario=$5
source "$(dirname "$0")/../../../scripts/lib.sh"
start_session
source "$(dirname "$0")/session.sh"

# A class whose values need characters on no key of the layout ("Łódź",
# "€" on us, "中文" anywhere), key-string syntax ("{TAB}" skips a field, "A{+}"
# types "A+"), letters that change place between layouts, and a value with a
# comma, which needs the values item quoted.
data=$work/class.ipt
cat >"$data" <<'DATA'
8
Class 7A
Zoë Müller_%_Ola Łódzka_%_Euro Fund_%_Li Wei_%_Absent_%_Plus Grade_%_Yann Zeller_%_Ann Decimal
"Zoë_%_Łódź_%_€_%_中文_%_{TAB}_%_A{+}_%_Yz_%_7,5"
,
,
7A
,
Mathematics
,
Mid-term
Term 2
DATA
expected=('Zoë' 'Łódź' '€' '中文' '' '' 'A+' 'Yz' '7,5')
expected_tabs=9  # one after each of the 8 values, and the value {TAB}

# check_fields EXPECTED...: closes the form and compares its fields.
check_fields() {
  close_form "$form_pid"
  form_holds "$form_out" "$@" || fail "The form's fields differ from the values ($scenario)."
}

# check_window_stays_on_top: tavrino asks to stay above other windows and,
# under a window manager, is still above the form that the focus went to.
check_window_stays_on_top() {
  xprop -id "$tavrino_window" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE ||
    fail "tavrino's window does not ask to stay above others: $(xprop -id "$tavrino_window" _NET_WM_STATE)"
  local stacking ids=() id tavrino_at=-1 form_at=-1 i
  stacking=$(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null) || return 0
  [[ $stacking == *'window id #'* ]] || return 0  # no window manager
  read -r -a ids <<<"$(tr ',' ' ' <<<"${stacking#*# }")"
  for i in "${!ids[@]}"; do
    id=$((ids[i]))
    ((id == tavrino_window)) && tavrino_at=$i
    ((id == form_window)) && form_at=$i
  done
  # The list runs from bottom to top.
  ((tavrino_at > form_at && form_at >= 0)) ||
    fail "tavrino's window went below the form that has the focus: $stacking"
}

# expect_check EXIT_CODE FILE [OUTPUT]: tavrino --check FILE without a
# display exits with EXIT_CODE, prints OUTPUT (when given) and, on exit
# code 2, a sentence on standard error and nothing on standard output.
expect_check() {
  local want_code=$1 file=$2 code=0
  env -u DISPLAY "$tavrino" --check "$file" >"$work/out" 2>"$work/err" || code=$?
  ((code == want_code)) || fail "--check $file exited with $code, expected $want_code: $(cat "$work/err")"
  if (($# > 2)); then
    diff -u <(printf '%s' "$3") "$work/out" || fail "--check $file printed other output."
  fi
  if ((want_code == 2)); then
    [[ -s $work/err && ! -s $work/out ]] ||
      fail "--check $file should explain itself on standard error only."
  fi
}

case $scenario in
  us | de)
    start_x
    start_wm
    setxkbmap -layout "$scenario"
    start_form 12
    start_tavrino "$data"
    set_countdown 1
    run_countdown "$expected_tabs"
    check_window_stays_on_top
    check_fields "${expected[@]}"
    ;;

  escape)
    # Esc during the countdown: nothing is typed, and the next START still
    # types everything.
    start_x
    start_wm
    setxkbmap -layout us
    start_form 12
    start_tavrino "$data"
    set_countdown 3
    watch_keys
    click cmdStart
    sleep 1
    xdotool key Escape
    focus "$form_window"
    # Past the tick that would have typed, had Esc not stopped the countdown.
    sleep 4
    ! any_key || fail "Keys were typed after Esc."
    stop "$form_pid"

    start_form 12
    set_countdown 1
    run_countdown "$expected_tabs"
    check_fields "${expected[@]}"
    ;;

  check)
    # No display is needed to check a file.
    expect_check 0 "$examples/sample.ipt" "$(printf '%s\n' 'Mid-term (Term 2)' 'Mathematics' \
      'CLASS : 7A' $'1. Zoë Müller\t\t45' $'2. Łukasz Nowak\t\t52' $'3. Amelia Hart\t\t38' \
      $'4. Jonas Berg\t\t61' $'5. Priya Raman\t\t74' $'6. Mateo García\t\t49' \
      $'7. Olivia O\'Brien\t57' $'8. Christopher Rob\t66')"$'\n'
    expect_check 0 "$data"
    printf '2\nx\nAnn_%%_Bob\n45_%%_52\n' >"$work/no-note.ipt"
    expect_check 1 "$work/no-note.ipt" $'No Data...\n'
    expect_check 2 "$work/missing.ipt"
    # "B+" holds Shift for nothing: it must be written "B{+}".
    printf '1\nx\nAnn\nB+\n,\n,\n7A\n,\nArt\n,\nFinal\nTerm 1\n' >"$work/bad-value.ipt"
    expect_check 2 "$work/bad-value.ipt"

    code=0
    env -u DISPLAY "$tavrino" --check >/dev/null 2>"$work/err" || code=$?
    ((code == 2)) && [[ -s $work/err ]] || fail "--check without FILE exited with $code."
    env -u DISPLAY "$tavrino" --help | grep -q -- '--check FILE' || fail "--help does not tell about --check."
    [[ $(env -u DISPLAY "$tavrino" --version) =~ ^tavrino\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ||
      fail "--version printed \"$(env -u DISPLAY "$tavrino" --version)\"."
    ;;

  no_display)
    # The window needs a display, and says so without one.
    code=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tavrino" "$data" 2>"$work/err" || code=$?
    ((code == 1)) && grep -q 'no display' "$work/err" ||
      fail "Without a display: exit $code, message: $(cat "$work/err")"
    # On a Qt platform without X it still runs (loading and viewing).
    spawn env -u DISPLAY QT_QPA_PLATFORM=offscreen "$tavrino" "$data" 2>"$work/err"
    sleep 2
    kill -0 "$spawned" 2>/dev/null || fail "tavrino ended on the offscreen platform: $(cat "$work/err")"
    ;;

  *)
    fail "Unknown scenario $scenario."
    ;;
esac
echo "PASS: $scenario"
