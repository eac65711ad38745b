#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# app_test.sh TAVRINO TARGET_FORM LAYOUT_POINT TYPE_VALUES EXAMPLES SCENARIO CLOSE_REQUEST
# Runs tavrino as a user would, on a private Xvfb: opens a data file (or a
# spreadsheet's CSV, or cells pasted with Ctrl+V), presses START with a real
# mouse click, puts the focus into the target form's first field, and after
# the countdown compares what every field received; and what goes wrong when
# a user does: the focus left in tavrino, a key held, Esc (and going on
# after it), a signal, a killed window or target, two tavrinos at once.
set -euo pipefail
tavrino=$1
target_form=$2
layout_point=$3
type_values=$4
examples=$5
scenario=$6
close_request=$7
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

# write_list FILE COUNT VALUE: a data file of COUNT entries, each VALUE.
write_list() {
  local names=() values=() i
  for ((i = 1; i <= $2; i++)); do
    names+=("Student $i")
    values+=("$3")
  done
  printf '%s\n' "$2" x "$(join "${names[@]}")" "$(join "${values[@]}")" , , 7A , Art , Final Term \
    >"$1"
}
# join ITEM...: the items joined by _%_, as a data file lists them.
join() {
  local out=$1 part
  shift
  for part in "$@"; do out+="_%_$part"; done
  printf '%s' "$out"
}

# A long list, long enough to be stopped in the middle: values of 300
# characters that no layout has, which go onto spare keycodes batch by batch,
# and each batch waits until the form has taken the one before.
cjk='天地玄黃宇宙洪荒日月盈昃辰宿列張寒來暑往秋收冬藏閏餘成歲律呂調陽雲騰致雨露結為霜金生麗水玉出崑岡劍號巨闕珠稱夜光'
long_value=$cjk$cjk$cjk$cjk$cjk
long_data=$work/long.ipt
write_list "$long_data" 51 "$long_value"

# Marks as a spreadsheet saves them: semicolons, a header, decimal commas,
# quotes, and characters that a data file would read as key strings.
csv=$work/class.csv
printf '%s\r\n' 'Name;Mark' 'Zoë Müller;A+' 'Ola Łódzka;"7,5"' 'Li Wei;{x}' 'Absent;' \
  'Tilde;~5' 'Percent;50%' 'Quote;"say ""hi"""' >"$csv"
csv_expected=('A+' '7,5' '{x}' '' '~5' '50%' 'say "hi"')

# distinct_list FILE COUNT: a data file of COUNT values of 120 characters
# that no layout has, each its own ("3: 天地..."), so that a field shows which
# entry it got.
distinct_value() { printf '%s' "$1: $cjk$cjk"; }
distinct_list() {
  local names=() values=() i
  for ((i = 1; i <= $2; i++)); do
    names+=("Student $i")
    values+=("$(distinct_value "$i")")
  done
  printf '%s\n' "$2" x "$(join "${names[@]}")" "$(join "${values[@]}")" , , 7A , Art , Final Term \
    >"$1"
}

# state: the keys the server has down and its locks ("down: locked: 0x0").
state() { "$type_values" --print-state | tr '\n' ' '; }
no_key_down() { [[ $(state) == 'down: locked: '* ]] || fail "Keys are still down: $(state)"; }
caps_lock_on() { [[ $(state) == *'locked: 0x2 '* ]] || fail "Caps Lock is not on: $(state)"; }
keymap_is() {
  "$type_values" --print-keymap | diff -u "$1" - >/dev/null ||
    fail "The keyboard mapping differs from the one before ($scenario)."
}

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

# said_nothing: tavrino has shown no message, but perhaps that the fields
# were not read back (the test sessions run no accessibility bus).
said_nothing() { ! grep 'tavrino: ' "$tavrino_log" | grep -qv 'The fields were not read back'; }

case $scenario in
  us | de)
    start_x "$scenario"
    start_wm
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
    start_x us
    start_wm
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

  own_focus)
    # START, and the focus stays in tavrino: nothing is typed, not into
    # tavrino either (a blank would press START again, digits would go into
    # the countdown box), and a message says why.
    start_x us
    start_wm
    start_form 12
    start_tavrino "$data"
    set_countdown 0
    watch_keys "$tavrino_window"
    click cmdStart
    message_shown "Nothing was typed because tavrino's own window had the keyboard focus" 5 ||
      fail "No message about the focus: $(cat "$tavrino_log")"
    # No key arrived, so nothing can start another countdown.
    sleep 1
    ! any_key || fail "Keys were typed into tavrino's window."
    (($(grep -c 'tavrino: ' "$tavrino_log") == 1)) || fail "More messages: $(cat "$tavrino_log")"
    ;;

  held_key)
    # Shift is held down when the countdown ends: typing waits, the title
    # says what for, and once Shift is up the values come out as written.
    start_x us
    start_wm
    start_form 12
    start_tavrino "$data"
    set_countdown 1
    watch_keys
    click cmdStart
    focus "$form_window"
    xdotool keydown shift
    timeout 5 xdotool search --sync --name '^Let go of Shift to start typing - ' >/dev/null ||
      { xdotool keyup shift; fail "The title does not ask to let go of Shift."; }
    sleep 1
    if grep -A2 '^KeyPress' "$keys_log" | grep 'keysym' | grep -vq 'Shift_L'; then
      xdotool keyup shift
      fail "Keys were typed while Shift was held."
    fi
    xdotool keyup shift
    wait_until 10 tabs_at_least "$expected_tabs" || fail "Only $(released_tabs) Tabs arrived."
    sleep 0.3
    check_fields "${expected[@]}"
    ;;

  target_frozen)
    # The form stops for a few seconds in the middle of a long list: tavrino
    # waits for it, its title says so, and once the form goes on every value
    # arrives exactly.
    start_x us
    start_wm
    start_form 12
    write_list "$work/twelve.ipt" 12 "$long_value"
    start_tavrino "$work/twelve.ipt"
    set_countdown 0
    watch_keys
    click cmdStart
    focus "$form_window"
    wait_until 5 any_key || fail "Typing did not begin."
    kill -STOP "$form_pid"
    timeout 5 xdotool search --sync --name '^Waiting for tavrino target form to catch up - ' \
      >/dev/null || { kill -CONT "$form_pid"; fail "The title does not say what typing waits for."; }
    kill -CONT "$form_pid"
    wait_until 60 tabs_at_least 12 || fail "Only $(released_tabs) Tabs arrived."
    sleep 0.5
    said_nothing || fail "A message came: $(cat "$tavrino_log")"
    values=()
    for ((i = 0; i < 12; i++)); do values+=("$long_value"); done
    check_fields "${values[@]}"
    ;;

  esc_anywhere)
    # Esc pressed while typing a long list, with the focus in the form:
    # typing stops at once, Esc does not reach the form, nothing stays down.
    start_x us
    start_form 52
    start_tavrino "$long_data"
    set_countdown 0
    watch_keys
    click cmdStart
    focus "$form_window"
    wait_until 5 any_key || fail "Typing did not begin."
    xdotool key Escape
    message_shown 'Typing stopped after ' 2 || fail "Typing did not stop: $(cat "$tavrino_log")"
    grep -qE '^tavrino: Typing stopped after [0-9]+ of 51 entries: Esc was pressed\.( Entry [0-9]+ got only part of its value\.)?( Click into the field for entry [0-9]+, Student [0-9]+, then press START to go on\.)?$' \
      "$tavrino_log" || fail "Unexpected message: $(cat "$tavrino_log")"
    no_key_down
    tabs=$(released_tabs)
    sleep 0.5
    (($(released_tabs) == tabs)) || fail "Tabs still arrived after Esc."
    ! grep -q 'Escape' "$keys_log" || fail "Esc reached the form."
    ;;

  killed)
    # A signal or the loss of its window in the middle of typing, with
    # Shift held by the value, characters on spare keycodes and Caps Lock
    # switched off for typing: tavrino ends, and leaves no key down, the
    # keyboard mapping as it was and Caps Lock on.
    # No window manager: every remap of a spare keycode makes openbox read
    # the keyboard again, which leaves it busy for seconds after a long run.
    start_x us
    write_list "$work/held.ipt" 51 "ë+($long_value)"
    "$type_values" --print-keymap >"$work/keymap.before"
    # Idle, a signal ends tavrino as usual.
    start_tavrino "$data"
    kill -TERM "$tavrino_pid"
    wait_until 5 ended "$tavrino_pid" || fail "SIGTERM did not end an idle tavrino."
    status=0
    wait "$tavrino_pid" || status=$?
    ((status == 128 + 15)) || fail "An idle tavrino ended with $status on SIGTERM."
    for how in TERM HUP INT xkill; do
      start_form 52
      start_tavrino "$work/held.ipt"
      # Typing begins at the first tick, a second after START.
      set_countdown 0
      # (xdotool's --clearmodifiers in set_countdown leaves Caps Lock off.)
      xdotool key Caps_Lock
      watch_keys
      click cmdStart
      focus "$form_window"
      wait_until 5 any_key || fail "Typing did not begin ($how)."
      wait_until 2 sh -c "'$type_values' --print-state | grep -q '^down:.* 50'" ||
        fail "Shift is not held by the value ($how)."
      if [[ $how == xkill ]]; then
        xkill -id "$tavrino_window" >/dev/null
      else
        kill -"$how" "$tavrino_pid"
      fi
      wait_until 5 ended "$tavrino_pid" || fail "tavrino did not end ($how)."
      status=0
      wait "$tavrino_pid" || status=$?
      case $how in
        TERM) ((status == 128 + 15)) ;;
        HUP) ((status == 128 + 1)) ;;
        INT) ((status == 128 + 2)) ;;
        xkill) ((status == 1)) ;;
      esac || fail "tavrino ended with status $status ($how)."
      no_key_down
      keymap_is "$work/keymap.before"
      caps_lock_on
      xdotool key Caps_Lock
      stop "$form_pid"
    done
    ;;

  focus_moves)
    # The target dies while typing and the window manager gives the focus
    # to a terminal: typing stops, and the terminal gets at most the rest of
    # the value on its way, never a Tab or a later value.
    start_x us
    start_wm
    out=$work/xterm.txt
    LC_ALL=C.UTF-8 spawn xterm -u8 -title tavrino-xterm -geometry 40x5+600+600 \
      -e sh -c "stty raw -echo; cat >'$out'" 2>/dev/null
    xterm_window=$(wait_window tavrino-xterm)
    start_form 52
    start_tavrino "$long_data"
    set_countdown 0
    watch_keys
    click cmdStart
    focus "$xterm_window"
    focus "$form_window"
    wait_until 5 any_key || fail "Typing did not begin."
    kill -KILL "$form_pid"
    message_shown 'Typing stopped after ' 5 || fail "Typing did not stop: $(cat "$tavrino_log")"
    grep -qE '^tavrino: Typing stopped after [0-9]+ of 51 entries: the window typed into was closed' \
      "$tavrino_log" || fail "Unexpected message: $(cat "$tavrino_log")"
    # The window manager gives the focus to the terminal a moment later.
    wait_until 5 sh -c "[ \"\$(xdotool getwindowfocus 2>/dev/null)\" = $((xterm_window)) ]" ||
      fail "The focus did not go to the terminal."
    sleep 0.5
    received=$(cat "$out")
    [[ $received != *[$'\t\r\n']* ]] && ((${#received} <= ${#long_value})) ||
      fail "The terminal received \"$received\"."
    ;;

  two_tavrinos)
    # A second tavrino's countdown runs out while the first one is typing
    # (it waits for a held Shift): the second types nothing and says why, its
    # message takes no focus, and the first types everything into the form.
    start_x us
    start_wm
    start_form 12
    first_log=$work/first.log second_log=$work/second.log
    tavrino_log=$second_log tavrino_x=900 start_tavrino "$data"
    second_window=$tavrino_window
    set_countdown 1
    tavrino_log=$first_log start_tavrino "$data"
    set_countdown 0
    watch_keys
    click cmdStart
    tavrino_window=$second_window
    click cmdStart
    focus "$form_window"
    xdotool keydown shift
    tavrino_log=$second_log message_shown \
      'Another tavrino is typing on this display; nothing was typed.' 5 ||
      { xdotool keyup shift; fail "The second tavrino said nothing: $(cat "$first_log" "$second_log")"; }
    sleep 0.3
    xdotool keyup shift
    wait_until 10 tabs_at_least "$expected_tabs" || fail "Only $(released_tabs) Tab keys arrived."
    sleep 0.3
    # (Only that the fields were not read back: this session has no
    # accessibility bus.)
    ! grep 'tavrino: ' "$first_log" | grep -qv 'The fields were not read back' ||
      fail "The first tavrino: $(cat "$first_log")"
    check_fields "${expected[@]}"
    ;;

  csv)
    # A CSV file saved by a spreadsheet: every mark arrives as written, the
    # header is no entry, and an empty cell still moves on a field.
    start_x us
    start_wm
    start_form 10
    start_tavrino "$csv"
    set_countdown 1
    run_countdown 7
    check_fields "${csv_expected[@]}"
    ;;

  paste)
    # Cells copied from a spreadsheet (tab-separated rows, with a header)
    # pasted with Ctrl+V into tavrino's window, then typed into the form.
    start_x us
    start_wm
    start_form 6
    start_tavrino
    printf 'Student\tScore\nZoë Müller\t45\nOla Łódzka\tA+\nLi Wei\t7,5\n' >"$work/cells.txt"
    spawn xclip -quiet -selection clipboard -t UTF8_STRING -i "$work/cells.txt" 2>/dev/null
    wait_until 5 sh -c 'xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null | grep -q Score' ||
      fail "xclip does not own the clipboard."
    focus "$tavrino_window"
    xdotool key --clearmodifiers ctrl+v
    sleep 0.5
    set_countdown 1
    run_countdown 3
    check_fields 45 A+ 7,5
    said_nothing || fail "tavrino said: $(cat "$tavrino_log")"
    ;;

  resume)
    # Esc part-way; the message names the entry to go on with, and START
    # again types exactly the rest into a second form.
    start_x us
    distinct_list "$work/distinct.ipt" 8
    start_form 10
    first_form=$form_pid first_out=$form_out
    start_tavrino "$work/distinct.ipt"
    set_countdown 0
    watch_keys
    click cmdStart
    focus "$form_window"
    wait_until 10 tabs_at_least 2 || fail "Typing did not get past entry 2."
    xdotool key Escape
    message_shown 'Typing stopped after ' 5 || fail "Typing did not stop: $(cat "$tavrino_log")"
    line=$(grep 'tavrino: Typing stopped after ' "$tavrino_log")
    typed=$(sed -E 's/.*stopped after ([0-9]+) of 8 entries.*/\1/' <<<"$line")
    [[ $line == *"Click into the field for entry $((typed + 1)), Student $((typed + 1)), then press START to go on." ]] ||
      fail "Unexpected message: $line"
    ((typed >= 2 && typed < 8)) || fail "Typing stopped after $typed entries."
    # The user reads the message and closes it.
    "$close_request" "$(wait_window tavrino)" || fail "The message box takes no close request."
    close_form "$first_form"
    for ((i = 1; i <= typed; i++)); do
      [[ $(sed -n "${i}p" "$first_out") == "$(distinct_value "$i")" ]] ||
        fail "Field $i of the first form holds: $(sed -n "${i}p" "$first_out")"
    done

    form_out=$work/second.txt
    start_form 10
    # No window manager (see killed): the focus goes back to tavrino by hand.
    focus "$tavrino_window"
    set_countdown 0
    # (Not run_countdown: preparing keys for these characters takes seconds.)
    watch_keys
    click cmdStart
    focus "$form_window"
    wait_until 60 tabs_at_least $((8 - typed)) ||
      fail "Only $(released_tabs) of $((8 - typed)) Tab keys arrived: $(cat "$tavrino_log")"
    sleep 0.3
    rest=()
    for ((i = typed + 1; i <= 8; i++)); do rest+=("$(distinct_value "$i")"); done
    check_fields "${rest[@]}"
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
    # A spreadsheet's rows: the header names the marks, listed as written.
    expect_check 0 "$csv" \
      $'class.csv (7 entries)\nMark\n\n1. Zoë Müller\t\tA+\n2. Ola Łódzka\t\t7,5\n3. Li Wei\t\t{x}\n4. Absent\t\t\n5. Tilde\t\t~5\n6. Percent\t\t50%\n7. Quote\t\tsay "hi"\n'
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
