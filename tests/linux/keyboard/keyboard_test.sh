#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# keyboard_test.sh TYPE_VALUES TARGET_FORM KEY_TARGET GRAB_KEYBOARD SCENARIO
# Types values with the X11 keyboard into the target form (or an xterm, or
# the plain Xlib key target) on a private Xvfb and checks, field by field,
# that every character arrived as written, and that the keyboard mapping
# afterwards equals the one before.
set -euo pipefail
type_values=$1
target_form=$2
key_target=$3
grab_keyboard=$4
scenario=$5
source "$(dirname "$0")/../../../scripts/lib.sh"
start_session

# The full mapping as XKB and the core protocol see it: keycodes without a
# name are missing from the XKB dump but not from the core one.
keymap() {
  xkbcomp -xkb "$DISPLAY" - 2>/dev/null
  "$type_values" --print-keymap
}

form_out=$work/fields.txt
start_form() {
  start_target_form "$target_form" 24 "$form_out"
  focus "$form_window"
}

# start_xterm LAYOUT: a session with LAYOUT and an xterm that writes what it
# reads, raw, into $out; xterm answers no pings. Its pid is in $xterm_pid.
start_xterm() {
  start_x "$1"
  keymap >"$work/keymap.before"
  out=$work/xterm.txt
  LC_ALL=C.UTF-8 spawn xterm -u8 -title tavrino-xterm \
    -e sh -c "stty raw -echo; cat >'$out'"
  xterm_pid=$spawned
  focus "$(wait_window tavrino-xterm)"
}

# check_fields EXPECTED_LINE...: closes the form and compares its fields.
check_fields() {
  close_form "$form_pid"
  form_holds "$form_out" "$@" || fail "The fields differ from what was typed ($scenario)."
}

check_keymap_unchanged() {
  keymap >"$work/keymap.after"
  diff -u "$work/keymap.before" "$work/keymap.after" ||
    fail "The keyboard mapping changed ($scenario)."
}

# Values that every layout must type exactly: letters that change place
# between layouts (z/y), Shift and AltGr levels, characters found on no key
# of the layout, key-string syntax, named keys and held modifiers (Shift+Home
# selects to the start, Ctrl+A selects all, and typing replaces a selection).
values=(
  'Zoë' 'Łódź' '€' '中文' 'ß' 'Ω' 'Hello, World!' 'a{TAB}b' 'A{+}'
  'user@example.com' 'zy ZY {~}|\<>' '{[}x{]} {{}{}} {(}{)} {^}{%}' 'ÄÖÜäöü é ñ ç'
  'abc{BS}d' 'ab{LEFT}c{END}d' 'abc+{HOME}x' 'junk^ax' 'ab{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}'
  '+(ab)c'
)
expected=(
  'Zoë' 'Łódź' '€' '中文' 'ß' 'Ω' 'Hello, World!' 'a' 'b' 'A+'
  'user@example.com' 'zy ZY ~|\\<>' '[x] {} () ^%' 'ÄÖÜäöü é ñ ç'
  'abd' 'acbd' 'x' 'x' 'ab+-*/'
  'ABc'
)

# state_is PATTERN: the server's keys down and locks match PATTERN.
state_is() { "$type_values" --print-state | tr '\n' ' ' | grep -q -- "$1"; }


# watch_keys WINDOW: logs the key events that reach WINDOW from now on.
watch_keys() {
  keys_log=$work/keys.log
  : >"$keys_log"
  spawn stdbuf -oL xev -id "$1" -event keyboard >"$keys_log"
  sleep 0.3
}
any_key() { grep -q '^KeyPress' "$keys_log"; }

# start_key_target [--grab-escape]: the plain Xlib target, focused.
start_key_target() {
  key_out=$work/key_target.txt
  spawn "$key_target" "$@" --output "$key_out" >"$work/target.log"
  key_target_pid=$spawned
  wait_line "$work/target.log" '^window 0x' || fail "The key target did not start."
  focus "$(awk '/^window/ { print $2 }' "$work/target.log")"
}

# check_key_target FIELD...: closes the key target and compares what it
# received; no press may look like autorepeat.
check_key_target() {
  xdotool key ctrl+q
  wait_until 10 ended "$key_target_pid" || fail "The key target did not close."
  diff -u <(printf '%s\n' "$@" 'autorepeat 0') "$key_out" ||
    fail "The key target received other keys ($scenario)."
}

# More characters missing from the layout than there are spare keycodes.
text='天地玄黃宇宙洪荒日月盈昃辰宿列張寒來暑往秋收冬藏閏餘成歲律呂調陽雲騰致雨露結為霜金生麗水玉出崑岡劍號巨闕珠稱夜光'

# A list long enough to be stopped in the middle: the characters no layout
# has go onto spare keycodes batch by batch, each batch after the form has
# taken the one before; y is on the layout and moves with de.
long_list=()
for ((i = 0; i < 20; i++)); do long_list+=("$(printf "y$text%.0s" 1 2 3 4 5)"); done

# expect_exact_or_named STATUS ERR PATTERN VALUE...: closes the form. Typing
# either went through (STATUS 0) and every field holds its value, or it
# stopped (STATUS 1) saying so in a message that matches PATTERN and names
# the entry whose field may be wrong: the fields before it hold their
# values, and none after it got anything.
expect_exact_or_named() {
  local status=$1 err=$2 pattern=$3 entry i
  shift 3
  close_form "$form_pid"
  if ((status == 0)); then
    form_holds "$form_out" "$@" || fail "Typing reported success, but the fields differ."
    echo "Typing waited and went on."
    return
  fi
  echo "Typing stopped: $(cat "$err")"
  ((status == 1)) || fail "Typing ended with status $status: $(cat "$err")"
  grep -qE "$pattern" "$err" || fail "Unexpected message: $(cat "$err")"
  entry=$(grep -oE 'while entry [0-9]+' "$err" | grep -oE '[0-9]+$')
  [[ -n $entry ]] || fail "The message names no entry: $(cat "$err")"
  local values=("$@") fields
  mapfile -t fields <"$form_out"
  for ((i = 0; i < entry - 1; i++)); do
    [[ ${fields[i]-} == "${values[i]}" ]] ||
      fail "Field $((i + 1)) holds \"${fields[i]-}\" before the entry the message names."
  done
  for ((i = entry; i < ${#fields[@]}; i++)); do
    [[ -z ${fields[i]} ]] || fail "Field $((i + 1)) got \"${fields[i]}\" after typing stopped."
  done
}

# A list of values on every layout's keys, long enough to be in the middle
# of it for a second.
plain_list=()
for ((i = 0; i < 20; i++)); do plain_list+=("$(printf 'value %d of twenty, %.0s' "$i" {1..12})"); done

case $scenario in
  us | de | de_wm)
    start_x "${scenario%_wm}"
    # Under a window manager the focus and the answers to pings take the
    # routes they take on a desktop.
    if [[ $scenario == *_wm ]]; then
      command -v openbox >/dev/null || fail "openbox is not installed (Debian: openbox)."
      start_wm
    fi
    keymap >"$work/keymap.before"
    start_form
    "$type_values" --expect-no-keys-down "${values[@]}" || fail "Typing failed."
    check_fields "${expected[@]}"
    check_keymap_unchanged
    ;;

  capslock)
    # With Caps Lock on, letters still come out as written: on their keys,
    # on AltGr (ł; and đ, where the German key leaves Caps Lock for the
    # client to apply), and on spare keys (ë on us, ō on both), also those
    # whose capital is no Latin-1 letter (ß, µ, ÿ), which used to stop the
    # playback halfway. Caps Lock is on again afterwards. With Num Lock on,
    # the keypad keys type what they type without it.
    start_x
    for layout in us de; do
      set_layout "$layout"
      xdotool key Caps_Lock
      state_is 'locked: 0x2 ' || fail "Caps Lock did not go on: $("$type_values" --print-state)"
      keymap >"$work/keymap.before"
      start_form
      "$type_values" 'Ann' 'Zoë' 'łŁ€@' 'đ' 'ōŌ' 'x' 'Strauß µm Ärger' 'ÿ' || fail "Typing failed."
      check_fields 'Ann' 'Zoë' 'łŁ€@' 'đ' 'ōŌ' 'x' 'Strauß µm Ärger' 'ÿ'
      state_is 'locked: 0x2 ' || fail "Caps Lock is not on again: $("$type_values" --print-state)"
      check_keymap_unchanged
      xdotool key Caps_Lock
    done
    xdotool key Num_Lock
    state_is 'locked: 0x10 ' || fail "Num Lock did not go on: $("$type_values" --print-state)"
    start_form
    "$type_values" 'ab{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}' || fail "Typing failed."
    check_fields 'ab+-*/'
    ;;

  many)
    # More characters missing from the layout than there are spare
    # keycodes: they are mapped batch by batch while typing.
    start_x us
    keymap >"$work/keymap.before"
    start_form
    "$type_values" "$text" "a${text}b" 'Zoë' || fail "Typing failed."
    check_fields "$text" "a${text}b" 'Zoë'
    check_keymap_unchanged
    ;;

  failure)
    # The keyboard breaks halfway, inside a held Shift and after characters
    # put onto spare keys: nothing stays down and the mapping is restored.
    start_x de
    keymap >"$work/keymap.before"
    start_form
    status=0
    "$type_values" --fail-after 8 --expect-no-keys-down 'Zoë€中' '+(abc)d' 'Ω' 2>"$work/err" ||
      status=$?
    ((status == 1)) || fail "Expected the playback to fail, got status $status: $(cat "$work/err")"
    grep -q 'Typing stopped after 1 of 3 entries' "$work/err" || fail "Unexpected message: $(cat "$work/err")"
    check_fields 'Zoë€中' 'A'
    check_keymap_unchanged
    ;;

  busy)
    # The form answers pings but stops for three seconds in the middle of a
    # text that needs the spare keycodes again and again: typing waits for
    # it rather than change a keycode it has not read yet, goes on once it
    # answers, and every character arrives. The mapping is restored after.
    start_x us
    keymap >"$work/keymap.before"
    start_form
    kill -STOP "$form_pid"
    (sleep 3 && kill -CONT "$form_pid") &
    "$type_values" --expect-no-keys-down "$text" "a${text}b" 2>"$work/err" ||
      fail "Typing failed: $(cat "$work/err")"
    check_fields "$text" "a${text}b"
    check_keymap_unchanged
    ;;

  layout_switch)
    # The layout changes to Japanese while typing waits for the frozen form
    # to take the first batch of characters on spare keycodes: no key goes
    # out after the change, and typing stops once the form has taken what
    # was sent. Two of those keycodes are keys of the Japanese layout: they
    # must keep what it gave them rather than get back the empty mapping
    # they had before.
    start_x jp
    keymap >"$work/keymap.before"
    set_layout us
    "$type_values" --print-keymap >"$work/core.us"
    start_form
    kill -STOP "$form_pid"
    "$type_values" "$text" 2>"$work/err" &
    typing_pid=$!
    wait_until 10 sh -c "! '$type_values' --print-keymap | cmp -s - '$work/core.us'" ||
      fail "The spare keycodes were not mapped."
    set_layout jp
    sleep 1
    ! ended "$typing_pid" || fail "Typing did not wait for the frozen form to take its keys."
    kill -CONT "$form_pid"
    status=0
    wait_until 5 ended "$typing_pid" || fail "Typing went on after the layout changed."
    wait "$typing_pid" || status=$?
    ((status == 1)) || fail "Expected the playback to stop, got status $status: $(cat "$work/err")"
    grep -q 'Typing stopped after 0 of 1 entry: the keyboard layout changed.' "$work/err" ||
      fail "Unexpected message: $(cat "$work/err")"
    check_keymap_unchanged
    close_form "$form_pid"
    ;;

  layout_change)
    # The layout changes in the middle of a long list: typing stops before
    # the next value rather than type on with the keys of the old layout
    # (us to de swaps y and z, us to jp moves symbols), and leaves the new
    # layout's keys as they are.
    start_x us
    for layout in de jp; do
      set_layout "$layout"
      keymap >"$work/keymap.before"
      set_layout us
      start_form
      watch_keys "$form_window"
      "$type_values" --expect-no-keys-down "${long_list[@]}" 2>"$work/err" &
      typing_pid=$!
      wait_until 10 any_key || fail "Typing did not begin."
      set_layout "$layout"
      status=0
      wait_until 2 ended "$typing_pid" || fail "Typing went on after the layout changed to $layout."
      wait "$typing_pid" || status=$?
      ((status == 1)) || fail "Expected the playback to stop, got status $status: $(cat "$work/err")"
      grep -q '^Typing stopped after [0-9]* of 20 entries: the keyboard layout changed' \
        "$work/err" || fail "Unexpected message: $(cat "$work/err")"
      check_keymap_unchanged
      close_form "$form_pid"
      # Only the value on its way when the layout changed can have come out
      # with the new layout's keys (z for y); none after it.
      (($(grep -c z "$form_out") <= 1)) ||
        fail "Typing went on with the old layout: $(grep -c z "$form_out") fields got z."
      (($(tr -cd y <"$form_out" | wc -c) < 20 * 5)) || fail "Everything was typed."
      stop "$spawned"
    done
    ;;

  repeat)
    # Doubled keys: a target that takes a release and a press of one keycode
    # with the same server time for autorepeat must see every press as a
    # press of its own, and get every doubled letter. The playback's own Esc
    # reaches the target and does not stop it.
    start_x de
    start_key_target
    "$type_values" 'Müller' 'school' '100' 'Aaa' '{TAB}' 'ßß€€' 'zzZZyy' 'x{ESC}{ESC}y' ||
      fail "Typing failed."
    check_key_target 'Müller' 'school' '100' 'Aaa' '' '' 'ßß€€' 'zzZZyy' 'x{ESC}{ESC}y' ''
    ;;

  escape_taken)
    # Another program has grabbed Esc: typing goes on all the same (Esc then
    # stops it only in tavrino's window).
    start_x us
    start_key_target --grab-escape
    "$type_values" 'Zoë' 'a{ESC}b' || fail "Typing failed."
    check_key_target 'Zoë' 'a{ESC}b' ''
    ;;

  no_modifier_map)
    # A keymap that binds no key to a modifier, as XWayland may have: the
    # server then sends no modifier map at all. What needs no modifier is
    # still typed, on the layout's keys and on spare ones.
    start_x us
    xkbcomp -xkb "$DISPLAY" "$work/full.xkb" 2>/dev/null
    sed '/modifier_map/d' "$work/full.xkb" | xkbcomp - "$DISPLAY" 2>/dev/null ||
      fail "Could not load a keymap without modifier keys."
    keymap >"$work/keymap.before"
    start_form
    "$type_values" 'abc' 'zoë' '中文' || fail "Typing failed."
    check_keymap_unchanged
    # The form closes with Ctrl+Q.
    xkbcomp "$work/full.xkb" "$DISPLAY" 2>/dev/null
    check_fields 'abc' 'zoë' '中文'
    ;;

  xterm)
    # xterm answers no _NET_WM_PING and reads a changed mapping only at the
    # next keystroke: the case where other tools lose characters.
    start_xterm de
    "$type_values" 'Zoë' 'Łódź€' '中文' 'x' || fail "Typing failed."
    expected_text=$(printf 'Zoë\tŁódź€\t中文\tx\t')
    wait_until 10 sh -c "[ \"\$(cat '$out')\" = '$expected_text' ]" ||
      fail "xterm received \"$(cat "$out")\", expected \"$expected_text\"."
    check_keymap_unchanged
    ;;

  xterm_stalled)
    # xterm stops for a while as typing begins: it cannot say when it has
    # read its keys, so the keycodes borrowed for them keep their meaning
    # after typing has ended, until the program ends, and every character
    # arrives once xterm goes on.
    start_xterm us
    values=()
    for ((i = 0; i < 50; i++)); do values+=("Zoë $i 中文€"); done
    kill -STOP "$xterm_pid"
    (sleep 1.5 && kill -CONT "$xterm_pid") &
    "$type_values" --linger 3000 "${values[@]}" || fail "Typing failed."
    expected_text=$(printf '%s\t' "${values[@]}")
    wait_until 10 sh -c "[ \"\$(cat '$out')\" = '$expected_text' ]" ||
      fail "xterm received \"$(cat "$out")\"."
    check_keymap_unchanged
    ;;

  xterm_many)
    # More characters the layout lacks than the free keycodes hold at once,
    # into a program that cannot say when it has read a key: typing would
    # have to change a keycode that xterm may not have read yet, so nothing
    # is typed, and the message says why.
    start_xterm us
    status=0
    "$type_values" "$text" 2>"$work/err" || status=$?
    ((status == 1)) && grep -q 'cannot tell tavrino when it has read a key' "$work/err" ||
      fail "Expected a refusal, got status $status: $(cat "$work/err")"
    sleep 0.5
    [[ ! -s $out ]] || fail "xterm received \"$(cat "$out")\"."
    check_keymap_unchanged
    ;;

  ctrl_mid)
    # Ctrl pressed for a moment in the middle of typing: no key of the
    # playback goes out while it is held. Typing waits for it to be let go
    # and goes on, or, when the press came in among the keys of a batch,
    # stops naming the entry it may have changed.
    start_x us
    start_form
    watch_keys "$form_window"
    "$type_values" "${plain_list[@]}" 2>"$work/err" &
    typing_pid=$!
    wait_until 10 any_key || fail "Typing did not begin."
    sleep 0.2
    xdotool keydown ctrl
    sleep 0.3
    xdotool keyup ctrl
    status=0
    wait "$typing_pid" || status=$?
    expect_exact_or_named "$status" "$work/err" 'Ctrl was pressed on the keyboard while entry' \
      "${plain_list[@]}"
    state_is 'down: locked' || fail "Keys are still down: $("$type_values" --print-state)"
    ctrl_keys=$(grep -A2 '^KeyPress' "$keys_log" | grep -c 'state 0x4,' || true)
    # Keys with Ctrl held: at most those of one batch (with the Shift presses
    # its characters need).
    ((ctrl_keys <= 64)) || fail "$ctrl_keys keys reached the form with Ctrl held."
    ;;

  grab)
    # Another program holds the keyboard for a second in the middle of
    # typing: no key goes to it while typing waits, and typing goes on once
    # it lets go, or stops naming the entry whose keys went there.
    start_x us
    start_form
    watch_keys "$form_window"
    "$type_values" "${plain_list[@]}" 2>"$work/err" &
    typing_pid=$!
    wait_until 10 any_key || fail "Typing did not begin."
    "$grab_keyboard" 1000 >"$work/grab.log" || fail "Could not grab the keyboard."
    status=0
    wait "$typing_pid" || status=$?
    keys=$(awk '/^keys/ { print $2 }' "$work/grab.log")
    if ((status == 0)); then
      ((keys == 0)) || fail "$keys keys went to the program that held the keyboard."
    fi
    expect_exact_or_named "$status" "$work/err" 'another program took the keyboard' \
      "${plain_list[@]}"
    ;;

  escape_held)
    # Esc ends the wait for a key the user holds; nothing is typed. A held
    # Esc that stops typing never reaches the form, nor does its repeat.
    start_x us
    start_form
    watch_keys "$form_window"
    xdotool keydown shift
    "$type_values" 'never' 2>"$work/err" &
    typing_pid=$!
    sleep 0.5
    ! ended "$typing_pid" || fail "Typing did not wait for the held Shift: $(cat "$work/err")"
    xdotool key Escape
    wait_until 2 ended "$typing_pid" || fail "Esc did not end the wait."
    xdotool keyup shift
    status=0
    wait "$typing_pid" || status=$?
    ((status == 1)) && grep -q 'Nothing was typed: Esc was pressed.' "$work/err" ||
      fail "Unexpected end: status $status, $(cat "$work/err")"
    : >"$keys_log"
    "$type_values" "${plain_list[@]}" 2>"$work/err" &
    typing_pid=$!
    wait_until 10 any_key || fail "Typing did not begin."
    xdotool keydown Escape
    sleep 1
    xdotool keyup Escape
    wait_until 5 ended "$typing_pid" || fail "Esc did not stop typing."
    ! grep -q 'Escape' "$keys_log" || fail "Esc reached the form: $(cat "$keys_log")"
    close_form "$form_pid"
    ;;

  killed)
    # tavrino is killed (SIGKILL) while a value holds Shift and characters
    # are on borrowed keycodes: the next one to type lets go of the Shift,
    # gives the keycodes back, and types as usual.
    start_x us
    keymap >"$work/keymap.before"
    start_form
    watch_keys "$form_window"
    "$type_values" "+($text$text)" &
    typing_pid=$!
    wait_until 10 any_key || fail "Typing did not begin."
    wait_until 2 sh -c "'$type_values' --print-state | grep -q '^down:.* 50'" ||
      fail "Shift is not held by the value."
    kill -KILL "$typing_pid"
    close_form "$form_pid"
    start_form
    "$type_values" --expect-no-keys-down 'Zoë' 'after' 2>"$work/err" ||
      fail "The next playback failed: $(cat "$work/err")"
    check_fields 'Zoë' 'after'
    check_keymap_unchanged
    ;;

  server_lost)
    # The X server goes away in the middle of typing: the playback fails
    # with a message instead of Xlib ending the process.
    start_x
    start_form
    value=$(printf 'ë%.0s' {1..3000})
    (sleep 0.3 && kill -KILL "$xvfb_pid") &
    status=0
    "$type_values" $(printf "$value %.0s" {1..50}) 2>"$work/err" || status=$?
    ((status == 1)) && grep -q 'The connection to the X server was lost.' "$work/err" ||
      fail "Losing the server: status $status, message: $(cat "$work/err")"
    ;;

  no_display)
    status=0
    env -u DISPLAY "$type_values" 'a' 2>"$work/err" || status=$?
    ((status == 1)) && grep -q 'Typing needs an X11 session (none was found: DISPLAY is not set)' "$work/err" ||
      fail "Without DISPLAY: status $status, message: $(cat "$work/err")"
    status=0
    DISPLAY=:4095 "$type_values" 'a' 2>"$work/err" || status=$?
    ((status == 1)) && grep -q 'cannot open display :4095' "$work/err" ||
      fail "With a display that is not there: status $status, message: $(cat "$work/err")"
    ;;

  *)
    fail "Unknown scenario $scenario."
    ;;
esac
echo "PASS: $scenario"
