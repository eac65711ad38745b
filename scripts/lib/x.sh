# SPDX-License-Identifier: MIT
# A private X server and what runs on it; needs a session (session.sh).
#
#   start_x [LAYOUT]              Xvfb on a free display ($xvfb_pid), DISPLAY exported, with
#                                 keyboard layout LAYOUT (us, de or jp) checked to be in effect
#   set_layout LAYOUT             setxkbmap LAYOUT, checked to have taken effect
#   keysym_at KEYCODE             the symbol the server gives KEYCODE (first level)
#   start_wm                      openbox, if it is installed
#   wait_window TITLE [SECONDS]   print the id of the visible window named TITLE
#   focus WINDOW                  give WINDOW the keyboard focus and wait for it
#   start_target_form PROGRAM FIELDS OUTPUT  the Qt target form ($form_pid, $form_window)
#   close_form PID                close the focused target form through Ctrl+Q
#   form_holds OUTPUT VALUE...    the fields the target form wrote are the VALUEs

start_x() {
  start_xvfb
  [[ -n ${1:-} ]] || return 0
  setxkbmap -layout "$1" 2>/dev/null || true
  wait_until 2 layout_is "$1" && return 0
  # Some servers take the upload and keep their layout. Such a server gets
  # the layout as its built-in default: its own keyboard folder, in which
  # the default us symbols are those of LAYOUT.
  echo "The X server kept its layout after setxkbmap $1; starting it with $1 built in." >&2
  stop "$xvfb_pid"
  local xkb=$work/xkb-$1
  if [[ ! -d $xkb ]]; then
    cp -r /usr/share/X11/xkb "$xkb"
    sed -i '0,/^default/s/^default[[:space:]]*//' "$xkb/symbols/us"
    { printf 'default partial alphanumeric_keys modifier_keys\n'
      printf 'xkb_symbols "built_in" { include "%s" };\n\n' "$1"
      cat "$xkb/symbols/us"; } >"$xkb/symbols/us.new"
    mv "$xkb/symbols/us.new" "$xkb/symbols/us"
  fi
  start_xvfb -xkbdir "$xkb"
  wait_until 2 layout_is "$1" || fail "The X server does not take the $1 layout, not even built in."
}

# set_layout LAYOUT: a change of layout while the server runs; fails when
# the server does not take it.
set_layout() {
  setxkbmap -layout "$1" || fail "setxkbmap -layout $1 failed."
  wait_until 2 layout_is "$1" || fail "The X server kept its layout after setxkbmap -layout $1."
}

# keysym_at KEYCODE: the first-level symbol of KEYCODE in the first group, as
# the server's keymap has it ("" when it has none).
keysym_at() {
  xkbcomp -xkb "$DISPLAY" - 2>/dev/null | awk -v code="$1" '
    /^xkb_keycodes/ { section = "keycodes" }
    /^xkb_symbols/ { section = "symbols" }
    section == "keycodes" && name == "" && $0 ~ "= " code ";" {
      match($0, /<[^>]+>/); name = substr($0, RSTART, RLENGTH)
    }
    section == "symbols" && name != "" && index($0, "key " name " ") { inkey = 1 }
    inkey && /\[ / {
      s = substr($0, index($0, "[ ") + 2); sub(/^[ \t]+/, "", s)
      split(s, parts, /[ ,\]]+/); print parts[1]; exit
    }'
}

# layout_is LAYOUT: the server's keys are those of LAYOUT, told by a key
# that differs between the layouts the tests use.
layout_is() {
  case $1 in
    us) [[ $(keysym_at 29) == y && $(keysym_at 49) == grave ]] ;;
    de) [[ $(keysym_at 29) == z ]] ;;
    jp) [[ $(keysym_at 49) == Zenkaku_Hankaku ]] ;;
    *) fail "No check for the $1 layout." ;;
  esac
}

start_xvfb() {
  command -v Xvfb >/dev/null || fail "Xvfb is not installed (Debian: xvfb)."
  local number_file=$work/display fd
  # -displayfd picks a free display and writes its number to the file.
  # -noreset keeps the server's state (the layout set by setxkbmap) when its
  # last client disconnects, which it would otherwise reset.
  : >"$number_file"
  exec {fd}>"$number_file"
  spawn Xvfb -displayfd "$fd" -noreset -nolisten tcp -screen 0 1280x1024x24 "$@" \
    >"$work/xvfb.log" 2>&1
  xvfb_pid=$spawned
  exec {fd}>&-
  wait_until 10 test -s "$number_file" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=:$(head -n 1 "$number_file")
}

start_wm() {
  command -v openbox >/dev/null || return 0
  spawn openbox --sm-disable
  wait_until 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    fail "openbox did not start."
}

wait_window() {
  local id
  id=$(timeout "${2:-10}" xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
  [[ -n $id ]] || fail "No window named \"$1\" appeared."
  echo "$id"
}

focus() {
  local window=$(($1))
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  wait_until 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $window ]" ||
    fail "Window $1 did not get the keyboard focus."
}

# start_target_form PROGRAM FIELDS OUTPUT: tests/linux/target_form with
# FIELDS fields, which it writes to OUTPUT when it ends.
start_target_form() {
  spawn "$1" --fields "$2" --output "$3" >"$work/form.log"
  form_pid=$spawned
  wait_line "$work/form.log" '^window 0x' || fail "The target form did not start."
  form_window=$(awk '/^window/ { print $2 }' "$work/form.log")
}

# close_form PID: Ctrl+Q to the focused target form, which then writes its
# fields and exits (SIGTERM if it has not after 10 seconds). Ctrl+Q queues
# behind the keys typed before it; a signal could overtake them.
close_form() {
  xdotool key ctrl+q
  wait_until 10 ended "$1" || true
  stop "$1"
}

# form_holds OUTPUT VALUE...: the fields a target form wrote to OUTPUT are
# the VALUEs, then empty ones; shows the difference if not.
form_holds() {
  local output=$1 expected=$work/expected.txt
  shift
  printf '%s\n' "$@" >"$expected"
  while (($(wc -l <"$expected") < $(wc -l <"$output"))); do echo >>"$expected"; done
  diff -u "$expected" "$output"
}
