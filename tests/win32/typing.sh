#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# How tavrino.exe types under Wine, each case with a Win32 target form that
# records the virtual key of every key going down in its fields:
# - values go as real keys of the layout (4, 5, Shift+B, the minus key), or
#   as Unicode packets with --unicode, and arrive exactly;
# - on a German layout too (y and z change places; @, the euro sign and a
#   dead circumflex);
# - nothing is typed while tavrino's own window has the focus, and the
#   message that says so lies on the screen;
# - a Shift held when the countdown ends is waited for;
# - Caps Lock does not change what arrives and is on again afterwards;
# - Esc pressed in the target stops typing and never reaches the target,
#   also when it is held down;
# - a key the user presses in the middle of typing stops it, and the entries
#   the message counts as taken are exact; Ctrl held pauses it or stops it,
#   never letting shortcuts into the form unsaid;
# - the message that says so takes no focus from the target and lies on the
#   screen, even when tavrino's window hangs over its edge;
# - typing stops when the focus moves to another window, and when the
#   session ends (with no key left down);
# - a second tavrino types nothing while the first one types;
# - cells put on the clipboard as a spreadsheet copies them load with
#   Ctrl+V, and their marks are typed as written.
# Usage: typing.sh BUILD_DIR [WINE]
# Needs DISPLAY (an X server) and WINEPREFIX; exits 77 (skipped) without an X
# server.
set -uo pipefail
source "$(dirname "$0")/common.sh" "$@"
gui_session
readonly kTyping="Typing - press Esc to stop - $kTitle"

# data_file FILE VALUE...: a data file with these values.
data_file() {
  local file=$1 names="" i
  shift
  for ((i = 1; i <= $#; i++)); do names+="N$i"'_%_'; done
  local joined
  joined=$(printf '%s_%%_' "$@")
  printf '%s\r\n' "$#" x "${names%_%_}" "${joined%_%_}" x x 7A x Maths x Mid-term 'Term 2' >"$file"
}

# long_values N: N values of 150 characters, so that typing lasts a few
# seconds.
long_values() {
  local i line
  line=$(printf 'abcdefghij%.0s' {1..15})
  for ((i = 0; i < $1; i++)); do echo "$line"; done
}

# start_form NAME FIELDS [TITLE]: a target form that writes $work/NAME.fields
# and $work/NAME.keys when it ends.
start_form() {
  local title=${3:-$kForm}
  spawn "$wine" "$target" "$(win_path "$work/$1.fields")" "$2" "$(win_path "$work/$1.keys")" \
    "$title" >/dev/null 2>&1
  probe wait "$title" 30 || fail "the target form $1 did not open"
}

# start_tavrino FILE [OPTION...]: tavrino.exe with FILE ($tavrino_pid).
start_tavrino() {
  local file=$1
  shift
  spawn "$wine" "$app" "$@" "$(win_path "$file")" >/dev/null 2>&1
  tavrino_pid=$spawned
  probe wait "$kTitle" 30 || fail "tavrino did not open"
  sleep 1  # the first paint
}

# countdown N: the countdown box shows N, so typing starts N + 1 ticks
# after START.
countdown() { probe settext "$kTitle" txtTime "$1"; }

# start_typing: START, then into the first field of the form.
start_typing() {
  win_click "$kTitle" START
  win_click "${1:-$kForm}" "#1000"
}

# long_playback NAME: 51 long values ($values), typing into the form NAME.
long_playback() {
  mapfile -t values < <(long_values 51)
  data_file "$work/marks.ipt" "${values[@]}"
  start_form "$1" 51
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
}

form_written() { wait_until "${2:-30}" test -s "$work/$1.fields"; }

# holds FILE LINE...: FILE is exactly these lines.
holds() {
  local file=$1
  shift
  diff -u <(printf '%s\n' "$@") "$file"
}

# typing_started: the first field of the form has text.
typing_started() { [[ -n $(probe text "${1:-$kForm}" "#1000") ]]; }
# typing_reached N: field N (from 1) of the form has text.
typing_reached() { [[ -n $(probe text "$kForm" "#$((999 + $1))") ]]; }

message_holds() {
  local text
  text=$(probe message "$kTitle" 15) || fail "no message appeared"
  grep -qF -- "$1" <<<"$text" || fail "the message is: $text"
}

# In a subshell of its own: a case's programs end with it.
scenario() { (start_session && "$@"); }

real_keys() {
  data_file "$work/marks.ipt" 45 7a B-2
  start_form keys 3
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  form_written keys || fail "the form was not filled"
  holds "$work/keys.fields" 45 7a B-2 "" focus=4 || fail "the fields differ"
  holds "$work/keys.keys" "34 35 09" "37 41 09" "10 42 bd 32 09" "" caps=0 shift=0 ||
    fail "the keys differ"
}

unicode_packets() {
  data_file "$work/marks.ipt" 45 B-2
  start_form packets 2
  start_tavrino "$work/marks.ipt" --unicode
  countdown 1
  start_typing
  form_written packets || fail "the form was not filled"
  holds "$work/packets.fields" 45 B-2 "" focus=3 || fail "the fields differ"
  holds "$work/packets.keys" "e7 e7 09" "e7 e7 e7 09" "" caps=0 shift=0 || fail "the keys differ"
}

# over_the_edge: tavrino's window over the bottom right corner of the
# screen, START still in view, so that a box centred on it would hang over
# the edge.
over_the_edge() {
  local sx sy sw sh
  read -r sx sy sw sh < <(probe screen)
  probe move "$kTitle" $((sx + sw - 300)) $((sy + sh - 200))
}

# within_screen X Y W H: the rectangle lies in the primary monitor's work area.
within_screen() {
  local sx sy sw sh
  read -r sx sy sw sh < <(probe screen)
  (($1 >= sx && $2 >= sy && $1 + $3 <= sx + sw && $2 + $4 <= sy + sh)) ||
    { echo "$* is not inside $sx $sy $sw $sh"; return 1; }
}

own_window() {
  data_file "$work/marks.ipt" 45 52
  start_form own 2
  start_tavrino "$work/marks.ipt"
  over_the_edge
  countdown 1
  win_click "$kTitle" START  # and the focus stays in tavrino
  message_holds "tavrino's own window had the keyboard focus"
  within_screen $(probe boxrect "$kTitle") || fail "the message is off the screen"
  probe close "$kForm"
  form_written own 5 || fail "the form did not write its fields"
  head -n 3 "$work/own.fields" | holds /dev/stdin "" "" "" || fail "something was typed"
}

held_shift() {
  data_file "$work/marks.ipt" 45 ab
  start_form held 2
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  xdotool keydown shift
  at_exit xdotool keyup shift
  probe titled "Let go of Shift" 10 || fail "tavrino did not wait for Shift"
  sleep 1
  [[ ! -s $work/held.fields ]] || fail "typed while Shift was held"
  xdotool keyup shift
  form_written held || fail "the form was not filled"
  holds "$work/held.fields" 45 ab "" focus=3 || fail "the fields differ"
}

caps_lock() {
  data_file "$work/marks.ipt" aB Zo
  start_form caps 2
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  xdotool key Caps_Lock  # in the form, so that Wine sees it
  at_exit xdotool key Caps_Lock
  form_written caps || fail "the form was not filled"
  holds "$work/caps.fields" aB Zo "" focus=3 || fail "the fields differ"
  # The user's Caps Lock, tavrino's to switch it off and to switch it on again.
  holds "$work/caps.keys" "14 14 41 10 42 09" "10 5a 4f 09" "14" caps=1 shift=0 ||
    fail "the keys differ"
}

escape_stops() {
  long_playback esc
  wait_until 20 typing_started || fail "typing did not start"
  xdotool key Escape
  message_holds "Esc was pressed"
  probe close "$kForm"
  form_written esc 5 || fail "the form did not write its fields"
  ! grep -qw 1b "$work/esc.keys" || fail "the Esc reached the form"
  [[ $(grep -c abcdefghij "$work/esc.fields") -lt 51 ]] || fail "typing did not stop"
}

escape_held() {
  long_playback held_esc
  wait_until 20 typing_started || fail "typing did not start"
  xdotool keydown Escape
  at_exit xdotool keyup Escape
  sleep 1.5
  xdotool keyup Escape
  message_holds "Esc was pressed"
  probe close "$kForm"
  form_written held_esc 5 || fail "the form did not write its fields"
  ! grep -qw 1b "$work/held_esc.keys" || fail "the Esc reached the form"
}

# taken_holds FORM TEXT VALUE: the entries TEXT (a stop message) counts as
# taken are VALUE in the form's fields, and fewer than all 51 of them.
# (Wine hands the target an event from the X server and the keys sent just
# before it in either order, where Windows keeps the order its hook saw: so
# the last of the entries said to be taken may lack its end under Wine, and
# only it.)
taken_holds() {
  local taken last
  taken=$(sed -n 's/.*Typing stopped after \([0-9]*\) of 51 entries.*/\1/p' <<<"$2")
  [[ -n $taken ]] || fail "the message counts no entries: $2"
  ((taken < 51)) || fail "the message says all were taken: $2"
  (($(head -n "$((taken - 1))" "$work/$1.fields" | grep -cvxF "$3") == 0)) ||
    fail "of the $taken entries said to be taken, some differ: $(head -n "$taken" "$work/$1.fields")"
  last=$(sed -n "${taken}p" "$work/$1.fields")
  [[ -n $last && $3 == "$last"* ]] ||
    fail "entry $taken, said to be taken, holds \"$last\""
}

user_key() {
  long_playback user_key
  wait_until 30 typing_reached 4 || fail "typing did not reach the fourth field"
  xdotool key x
  local text
  text=$(probe message "$kTitle" 15) || fail "no message appeared"
  grep -qF '"x" was pressed on the keyboard while entry' <<<"$text" || fail "the message is: $text"
  probe close "$kForm"
  form_written user_key 5 || fail "the form did not write its fields"
  taken_holds user_key "$text" "${values[0]}"
}

# Ctrl held while keys go out turns them into shortcuts; held between them,
# it is waited for. Which of the two happens is the timing of the X server:
# either every value arrives, or typing stops and says Ctrl was pressed. How
# many entries that message counts as taken is not checked here: Wine lets a
# program read a modifier from the desktop's key state while keys sent before
# it still wait in its queue, so keys the hook saw go by before the Ctrl may
# meet it all the same. (Windows keeps each program's key state in step with
# its queue.)
held_ctrl() {
  long_playback ctrl
  wait_until 30 typing_reached 4 || fail "typing did not reach the fourth field"
  xdotool keydown ctrl
  at_exit xdotool keyup ctrl
  sleep 1
  xdotool keyup ctrl
  wait_until 60 ended_or_message || fail "typing did not end"
  if [[ -s $work/ctrl.fields ]]; then
    (($(head -n 51 "$work/ctrl.fields" | grep -cvxF "${values[0]}") == 0)) ||
      fail "typing went on to the end and some values differ"
  else
    message_holds "Ctrl was pressed on the keyboard while entry"
  fi
}
ended_or_message() { test -s "$work/ctrl.fields" || probe message "$kTitle" 0 >/dev/null; }

focus_moves() {
  mapfile -t values < <(long_values 51)
  data_file "$work/marks.ipt" "${values[@]}"
  start_form first 51
  start_form second 3 "other form"
  probe move "other form" 860 40
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  wait_until 20 typing_started || fail "typing did not start"
  win_click "other form" "#1000"
  message_holds "the keyboard focus moved away"
  probe close "other form"
  form_written second 5 || fail "the other form did not write its fields"
  # What was on its way when the focus moved may land there: a part of one
  # value at most.
  [[ $(sed -n 2,3p "$work/second.fields" | tr -d '\n') == "" ]] ||
    fail "the other form got more than one value: $(cat "$work/second.fields")"
  (($(head -n 1 "$work/second.fields" | wc -c) <= 151)) || fail "the other form got too much"
}

quiet_message() {
  mapfile -t values < <(long_values 51)
  data_file "$work/marks.ipt" "${values[@]}"
  start_form quiet 51
  start_tavrino "$work/marks.ipt"
  over_the_edge
  countdown 1
  start_typing
  wait_until 20 typing_started || fail "typing did not start"
  xdotool key Escape
  message_holds "Esc was pressed"
  [[ $(probe foreground) == "$kForm" ]] || fail "the message took the focus: $(probe foreground)"
  within_screen $(probe boxrect "$kTitle") || fail "the message is off the screen"
  # A key the user types now goes to the form, not to the message.
  xdotool type q
  probe close "$kForm"
  form_written quiet 5 || fail "the form did not write its fields"
  grep -q q "$work/quiet.fields" || fail "the q did not reach the form"
}

another_tavrino() {
  mapfile -t values < <(long_values 51)
  data_file "$work/marks.ipt" "${values[@]}"
  data_file "$work/second.ipt" BBB BBB
  start_form lock 51
  # The second one minimised, so that starting its countdown takes the
  # focus from nothing.
  spawn "$wine" start /min /wait "$(win_path "$app")" "$(win_path "$work/second.ipt")" \
    >/dev/null 2>&1
  at_exit wineserver -k  # start.exe is what was spawned, not the second tavrino
  probe wait "min:$kTitle" 30 || fail "the second tavrino did not open"
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  wait_until 20 typing_started || fail "typing did not start"
  probe settext "min:$kTitle" txtTime 0
  probe command "min:$kTitle" START
  message_holds "Another tavrino is typing"
  probe close "$kForm"
  form_written lock 5 || fail "the form did not write its fields"
  ! grep -q BBB "$work/lock.fields" || fail "the second tavrino typed"
}

session_ends() {
  # Shift held over each whole value.
  mapfile -t values < <(long_values 51 | sed 's/.*/+(&)/')
  data_file "$work/marks.ipt" "${values[@]}"
  start_form session 51
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  wait_until 20 typing_started || fail "typing did not start"
  probe endsession "$kTyping"
  probe wait "$kTitle" 5 || fail "tavrino still says it is typing"
  probe close "$kForm"
  form_written session 5 || fail "the form did not write its fields"
  [[ $(grep -c ABCDEFGHIJ "$work/session.fields") -lt 51 ]] || fail "typing did not stop"
  grep -qx shift=0 "$work/session.keys" || fail "Shift was left down"
}

file_box_is() { [[ $(probe text "$kTitle" txtfile) == "$1" ]]; }

paste_cells() {
  data_file "$work/marks.ipt" 45
  start_form paste 2
  start_tavrino "$work/marks.ipt"
  printf 'Name\tMark\r\nZo\xc3\xab\tA+\r\nBob\t7,5\r\n' >"$work/cells.txt"
  probe clipboard "$(win_path "$work/cells.txt")" || fail "the helper could not set the clipboard"
  # Ctrl+V with the focus in the countdown box, as a user would press it.
  win_click "$kTitle" txtTime
  xdotool key ctrl+v
  wait_until 5 file_box_is 'Clipboard: 3 rows (a header and 2 entries)' ||
    fail "the file box shows: $(probe text "$kTitle" txtfile)"
  [[ $(probe text "$kTitle" txtTime) == 5 ]] || fail "the cells went into the countdown box"
  countdown 1
  start_typing
  form_written paste || fail "the form was not filled"
  holds "$work/paste.fields" A+ 7,5 "" focus=3 || fail "the fields differ"
}

# A German layout: the layout Wine reads when its programs start, so on an X
# server of its own and a Wine server started on it.
german_layout() {
  wineserver -k 2>/dev/null
  start_x
  at_exit wineserver -k
  setxkbmap -layout de
  xkbcomp -xkb "$DISPLAY" - 2>/dev/null | grep -A3 'key <AD06>' | grep -q 'symbols.*\[ *z,' ||
    fail "the X server did not take the German layout"
  data_file "$work/marks.ipt" yz Zy "q@" "€5" "{^}1"
  start_form de 5
  start_tavrino "$work/marks.ipt"
  countdown 1
  start_typing
  form_written de || fail "the form was not filled"
  holds "$work/de.fields" yz Zy "q@" "€5" "^1" "" focus=6 || fail "the fields differ"
  # y and z by their keys; @ and € as Unicode packets where Wine cannot type
  # them with AltGr; ^, which this layout has only as a dead key, as one too.
  sed -n '1,2p;5p' "$work/de.keys" | holds /dev/stdin "59 5a 09" "10 5a 59 09" "e7 31 09" ||
    fail "the keys differ: $(cat "$work/de.keys")"
}

check "values as real keys" scenario real_keys
check "--unicode: values as Unicode packets" scenario unicode_packets
check "nothing typed into tavrino's own window" scenario own_window
check "a held Shift is waited for" scenario held_shift
check "Caps Lock on: exact case, Caps Lock on again" scenario caps_lock
check "Esc in the target stops typing" scenario escape_stops
check "a held Esc stops typing and never reaches the target" scenario escape_held
check "a key pressed mid-typing stops it; what was taken is exact" scenario user_key
check "Ctrl held mid-typing: a pause, or a stop that says what was taken" scenario held_ctrl
check "typing stops when the focus moves" scenario focus_moves
check "a message takes no focus from the form and lies on the screen" scenario quiet_message
check "a second tavrino types nothing" scenario another_tavrino
check "pasted cells load and are typed as written" scenario paste_cells
check "the session ends: typing stops, no key down" scenario session_ends
check "German layout: y, z, @, euro and ^ exact" scenario german_layout
checks_done
