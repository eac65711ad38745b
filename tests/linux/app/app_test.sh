#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# app_test.sh TAVRINO TARGET_FORM LAYOUT_POINT EXAMPLES SCENARIO CLOSE_REQUEST
# Runs tavrino as a user would, on a private Xvfb: opens a data file, presses
# START with a real mouse click, puts the focus into the target form's first
# field, and after the countdown compares what every field received.
set -euo pipefail
tavrino=$1
target_form=$2
layout_point=$3
examples=$4
scenario=$5
close_request=$6
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

# expect_check_fast FILE PATTERN: tavrino --check FILE is refused (exit 2)
# within 2 seconds, with a message that matches PATTERN, and never hangs.
expect_check_fast() {
  local file=$1 code=0
  timeout 2 env -u DISPLAY "$tavrino" --check "$file" >"$work/out" 2>"$work/err" || code=$?
  ((code != 124)) || fail "--check $file was still waiting after 2 seconds."
  ((code == 2)) || fail "--check $file exited with $code, expected 2: $(cat "$work/err")"
  grep -q -- "$2" "$work/err" || fail "--check $file said: $(cat "$work/err")"
  [[ ! -s $work/out ]] || fail "--check $file printed a list."
}

# sample_check: what --check prints for examples/sample.ipt.
sample_check=$(printf '%s\n' 'Mid-term (Term 2)' 'Mathematics' \
  'CLASS : 7A' $'1. Zoë Müller\t\t45' $'2. Łukasz Nowak\t\t52' $'3. Amelia Hart\t\t38' \
  $'4. Jonas Berg\t\t61' $'5. Priya Raman\t\t74' $'6. Mateo García\t\t49' \
  $'7. Olivia O\'Brien\t57' $'8. Christopher Rob\t66')$'\n'

# close_window WINDOW PID: a close request to tavrino's window ends tavrino
# within 5 seconds, which only a window whose event loop runs can do.
close_window() {
  "$close_request" "$1" || fail "Window $1 takes no close request."
  wait_until 5 sh -c "! kill -0 $2 2>/dev/null" ||
    fail "tavrino did not close on request (it no longer answers)."
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
    expect_check 0 "$examples/sample.ipt" "$sample_check"
    expect_check 0 "$data"

    # A pipe is read once, like the file: standard input, and <(...).
    code=0
    env -u DISPLAY "$tavrino" --check /dev/stdin <"$examples/sample.ipt" >"$work/out" || code=$?
    ((code == 0)) && diff -u <(printf '%s' "$sample_check") "$work/out" ||
      fail "--check /dev/stdin from a redirection differs from the file."
    code=0
    cat "$examples/sample.ipt" | env -u DISPLAY "$tavrino" --check /dev/stdin >"$work/out" || code=$?
    ((code == 0)) && diff -u <(printf '%s' "$sample_check") "$work/out" ||
      fail "--check /dev/stdin from a pipe exited with $code or differs from the file."
    code=0
    env -u DISPLAY "$tavrino" --check <(cat "$examples/sample.ipt") >"$work/out" || code=$?
    ((code == 0)) && diff -u <(printf '%s' "$sample_check") "$work/out" ||
      fail "--check <(cat FILE) exited with $code or differs from the file."

    # A name in Latin-1, as on an old USB stick.
    latin1=$work/$'Zo\xeb M\xfcller.ipt'
    cp "$examples/sample.ipt" "$latin1"
    expect_check 0 "$latin1" "$sample_check"

    # Special files are answered within 2 seconds, never waited on for ever.
    mkfifo "$work/fifo.ipt"
    expect_check_fast "$work/fifo.ipt" 'nothing arrived from it for 1 second'
    expect_check_fast /dev/zero 'is larger than 16 MB'
    # 4 GB that take no room: refused by the size, not after reading it.
    truncate -s 4G "$work/disk.img"
    expect_check_fast "$work/disk.img" 'is larger than 16 MB'

    # What a terminal would act on, or hide, is shown as an escape, and the
    # escapes themselves cannot be forged.
    printf '2\nx\n"Ann\e[8m_%%_\xe2\x80\xaeevil"\n"4\r^a{DEL}%%{F4}~_%%_5\t<U+0041>"\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' \
      >"$work/hidden.ipt"
    expect_check 0 "$work/hidden.ipt" \
      $'Final (T1)\nArt\nCLASS : 7A\n1. Ann<U+001B>[8m\t\t4<U+000D>^a{DEL}%{F4}~\n2. <U+202E>evil\t\t5<U+0009><U+003C>U+0041>\n'
    # What START would refuse, --check refuses, naming the entry.
    printf '1\nx\nAnn\n4\xef\xbf\xbf\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' >"$work/nonchar.ipt"
    expect_check 2 "$work/nonchar.ipt"
    grep -q 'Entry 1 ("4<U+FFFF>").*noncharacter' "$work/err" ||
      fail "A noncharacter was refused with: $(cat "$work/err")"
    printf '1\nx\nAnn\n%%{x 0}\n,\n,\n7A\n,\nArt\n,\nFinal\nT1\n' >"$work/alt.ipt"
    expect_check 2 "$work/alt.ipt"
    grep -q 'would press Alt alone' "$work/err" ||
      fail "%{x 0} was refused with: $(cat "$work/err")"
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

  special_files)
    # A data file that never ends, or a FIFO nobody writes to: the window
    # says so soon and still answers, where it used to freeze for good.
    start_x
    mkfifo "$work/fifo.ipt"
    for source in /dev/zero "$work/fifo.ipt"; do
      started=$SECONDS
      spawn "$tavrino" "$source"
      pid=$spawned
      tavrino_window=$(wait_window "$caption")
      box=$(wait_window tavrino)
      ((SECONDS - started <= 3)) || fail "$source took $((SECONDS - started)) s to be refused."
      # The message box closes on request, then the window does.
      "$close_request" "$box" || fail "The message box takes no close request."
      wait_until 5 sh -c "! xdotool search --onlyvisible --name '^tavrino\$' >/dev/null" ||
        fail "The message about $source did not close."
      close_window "$tavrino_window" "$pid"
    done
    ;;

  *)
    fail "Unknown scenario $scenario."
    ;;
esac
echo "PASS: $scenario"
