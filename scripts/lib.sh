# SPDX-License-Identifier: MIT
# The shell library of the scripts, the end-to-end tests and the benchmarks.
#
#   ensure_packages PKG...        apt-get installs the missing ones (as root); what the
#                                 builds need is in linux_build_packages and windows_build_packages
#   configure_build DIR ARGS...   cmake -S . -B DIR ARGS, keeping a build type set before
#   project_version DIR           the version project() sets, from DIR's cache
#   start_session                 $work, a scratch folder, and the EXIT trap
#   at_exit COMMAND...            run COMMAND when the script ends
#   spawn COMMAND...              run COMMAND in the background ($spawned), stopped on exit
#   stop PID                      SIGTERM (SIGKILL after 10 s) to PID, and reap it
#   ended PID                     whether PID has ended
#   fail MESSAGE                  print MESSAGE and exit 1
#   wait_until SECONDS COMMAND... poll COMMAND until it succeeds
#   wait_line FILE PATTERN [SECONDS]  wait until FILE has a line matching PATTERN
#   start_x [LAYOUT]              Xvfb on a free display ($xvfb_pid), DISPLAY exported, with
#                                 keyboard layout LAYOUT (us, de or jp) checked to be in effect
#   set_layout LAYOUT             setxkbmap LAYOUT, checked to have taken effect
#   keysym_at KEYCODE             the symbol the server gives KEYCODE (first level)
#   start_wm                      openbox, if it is installed
#   start_a11y [on]               a session D-Bus with the accessibility bus on it; with
#                                 "on", the desktop's accessibility switched on (IsEnabled)
#   wait_window TITLE [SECONDS]   print the id of the visible window named TITLE
#   wayland_user_for DIR...       $wayland_user, the prefix that runs a command as the Wayland user
#   start_sway                    a headless sway: WAYLAND_DISPLAY, SWAYSOCK exported
#   as_wayland_user COMMAND...    run COMMAND in sway's session, as the user sway runs as
#   wait_wayland_window APP_ID [SECONDS]  wait until sway shows a window of APP_ID
#   wayland_focus APP_ID          give the keyboard focus to APP_ID's window and wait for it
#   focus WINDOW                  give WINDOW the keyboard focus and wait for it
#   start_target_form PROGRAM FIELDS OUTPUT  the Qt target form ($form_pid, $form_window)
#   close_form PID                close the focused target form through Ctrl+Q
#   form_holds OUTPUT VALUE...    the fields the target form wrote are the VALUEs
#   wine_prefix DIR               Wine with the 64-bit prefix DIR/wineprefix
#   win_path FILE, probe ARGS..., win_click WINDOW CONTROL  Windows programs under Wine
#   check NAME COMMAND..., checks_done  count checks as passed or failed

# What building needs: the Linux app with its tests, and the mingw-w64 cross
# build of the Windows app with its tests. The Linux app's tests also run a
# fake remote-desktop portal in Python on a private D-Bus.
linux_build_packages=(cmake g++ make pkg-config libgtest-dev qt6-base-dev libx11-dev libxtst-dev libxi-dev
  libxkbcommon-dev libwayland-dev libwayland-bin libatspi2.0-dev dbus python3-dbus python3-gi)
windows_build_packages=(cmake make g++-mingw-w64-x86-64 googletest)

# ensure_packages PKG...: as root, apt-get installs the missing ones (after one
# apt-get update per run); otherwise names them and fails.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing Debian packages: ${missing[*]}. Install them with: sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
  if [[ -z ${TAVRINO_APT_UPDATED:-} ]]; then
    apt-get update
    export TAVRINO_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# configure_build DIR ARGS...: configures DIR with ARGS. A folder configured
# already keeps its build type and toolchain, so the other stages find it as
# they left it.
configure_build() {
  local dir=$1 arg args=()
  shift
  for arg in "$@"; do
    [[ -f $dir/CMakeCache.txt && $arg == -DCMAKE_@(BUILD_TYPE|TOOLCHAIN_FILE)=* ]] || args+=("$arg")
  done
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
}

# project_version DIR: the version project() sets, as the build's cache holds it.
project_version() {
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
  [[ -n $version ]] || fail "No project version in $1/CMakeCache.txt"
  echo "$version"
}

# What a session starts is undone when the script ends, newest first, and the
# script keeps its exit status. Called again in a subshell, it starts a
# session of that subshell's own.
start_session() {
  session_undo=()
  work=$(mktemp -d "${TMPDIR:-/tmp}/tavrino.XXXXXX")
  at_exit rm -rf "$work"
  trap end_session EXIT
}

at_exit() {
  local command
  printf -v command '%q ' "$@"
  session_undo+=("$command")
}

end_session() {
  local status=$? i
  # A failing step must not cut the rest short.
  set +e
  for ((i = ${#session_undo[@]} - 1; i >= 0; i--)); do eval "${session_undo[i]}"; done
  exit "$status"
}

spawn() {
  "$@" &
  spawned=$!
  at_exit stop "$spawned"
}

# Reaping a killed process would replace $?: an ended process is no failure
# here.
stop() {
  if kill -TERM "$1" 2>/dev/null && ! wait_until 10 ended "$1"; then kill -KILL "$1" 2>/dev/null; fi
  wait "$1" 2>/dev/null || true
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# wait_until SECONDS COMMAND...: polls COMMAND every 50 ms.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

wait_line() { wait_until "${3:-10}" grep -q -- "$2" "$1"; }
ended() { ! kill -0 "$1" 2>/dev/null; }

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

# A session D-Bus of the script's own ($DBUS_SESSION_BUS_ADDRESS) and the
# accessibility bus on it, as a desktop session starts them; needs DISPLAY.
# Its sockets go under $work, and GSettings (which the switch is kept in)
# live in memory, so nothing of it outlives the session.
start_a11y() {
  local launcher=/usr/libexec/at-spi-bus-launcher fd
  [[ -x $launcher ]] || fail "at-spi-bus-launcher is not installed (Debian: at-spi2-core)."
  export XDG_RUNTIME_DIR=$work/runtime GSETTINGS_BACKEND=memory
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  : >"$work/session-bus"
  exec {fd}>"$work/session-bus"
  spawn dbus-daemon --session --nofork --nopidfile --print-address="$fd" >"$work/dbus.log" 2>&1
  exec {fd}>&-
  wait_until 10 test -s "$work/session-bus" || fail "The session D-Bus did not start."
  export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/session-bus")
  spawn "$launcher" --launch-immediately >"$work/a11y.log" 2>&1
  wait_until 10 a11y_bus_running || fail "The accessibility bus did not start: $(cat "$work/a11y.log")"
  [[ ${1:-} == on ]] || return 0
  # What GNOME's switch (or a screen reader) sets; programs that start
  # afterwards tell what their fields hold.
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
    variant:boolean:true >/dev/null || fail "IsEnabled could not be set."
}

a11y_bus_running() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

wait_window() {
  local id
  id=$(timeout "${2:-10}" xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1)
  [[ -n $id ]] || fail "No window named \"$1\" appeared."
  echo "$id"
}

# Wayland compositors will not run as root: as root, a Wayland session runs
# as the unprivileged user tavrino-test (made on first use), with folders
# under $work. wayland_user_for DIR...: sets $wayland_user, the command
# prefix that runs a command as that user (empty when not root), and hands
# the DIRs to the user.
readonly wayland_user_name=tavrino-test
wayland_user_for() {
  wayland_user=()
  [[ $(id -u) -eq 0 ]] || return 0
  id "$wayland_user_name" >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$wayland_user_name"
  chown "$wayland_user_name:" "$@"
  chmod 711 "$work"
  # setpriv runs the command itself, so $spawned is its own process id.
  wayland_user=(setpriv --reuid="$wayland_user_name" --regid="$wayland_user_name" --init-groups)
}

start_sway() {
  command -v sway >/dev/null || fail "sway is not installed (Debian: sway)."
  wayland_home=$work/wayland-home
  wayland_runtime=$work/wayland-runtime
  mkdir -p "$wayland_home"
  mkdir -m 700 "$wayland_runtime"
  wayland_user_for "$wayland_home" "$wayland_runtime"
  printf '%s\n' 'output HEADLESS-1 resolution 1280x1024' 'xwayland disable' \
    'focus_on_window_activation focus' >"$wayland_home/sway.config"
  WAYLAND_DISPLAY=
  SWAYSOCK=
  spawn as_wayland_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$wayland_home/sway.config" >"$work/sway.log" 2>&1
  wait_until 10 compgen -G "$wayland_runtime/wayland-*[0-9]" >/dev/null ||
    fail "sway did not start: $(tail -n 5 "$work/sway.log")"
  wait_until 10 compgen -G "$wayland_runtime/sway-ipc.*" >/dev/null ||
    fail "sway has no IPC socket: $(tail -n 5 "$work/sway.log")"
  WAYLAND_DISPLAY=$(basename "$(compgen -G "$wayland_runtime/wayland-*[0-9]" | head -n 1)")
  SWAYSOCK=$(compgen -G "$wayland_runtime/sway-ipc.*" | head -n 1)
  export WAYLAND_DISPLAY SWAYSOCK
}

as_wayland_user() {
  local session=(PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$wayland_home" LANG=C.UTF-8
    XDG_RUNTIME_DIR="$wayland_runtime")
  # sway itself starts with neither.
  [[ -z $WAYLAND_DISPLAY ]] || session+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY" SWAYSOCK="$SWAYSOCK")
  # In a subshell (spawn, a pipe) the command takes its place, so that the
  # process id spawn keeps is the command's own, and stop reaches it.
  if [[ $BASHPID != "$$" ]]; then
    exec "${wayland_user[@]}" env -i "${session[@]}" "$@"
  fi
  "${wayland_user[@]}" env -i "${session[@]}" "$@"
}

# The windows sway shows, one "APP_ID FOCUSED" a line.
sway_windows() {
  as_wayland_user swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        if child.get("pid"):
            print(child.get("app_id"), child.get("focused"))
        walk(child)
walk(json.load(sys.stdin))'
}

wayland_window_shown() { sway_windows | grep -q "^$1 "; }
wayland_window_focused() { sway_windows | grep -q "^$1 True"; }

wait_wayland_window() {
  wait_until "${2:-10}" wayland_window_shown "$1" || fail "No window of $1 appeared."
}

# Asked again while it has not taken effect.
wayland_focus_now() {
  as_wayland_user swaymsg "[app_id=\"$1\"] focus" >/dev/null && wayland_window_focused "$1"
}

wayland_focus() {
  wait_until 5 wayland_focus_now "$1" ||
    fail "$1 did not get the keyboard focus: $(sway_windows | tr '\n' ',')"
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

# wine_prefix DIR: Wine set up for the prefix DIR/wineprefix, which is created
# on first use; needs DISPLAY. Its Wine programs are ended on exit.
wine_prefix() {
  local dir=$1
  [[ $dir == /* ]] || dir=$PWD/$dir
  mkdir -p "$dir"
  export WINEPREFIX=$dir/wineprefix WINEARCH=win64 WINEDEBUG=-all
  # Skip the prompts to download Mono and Gecko; nothing here needs them.
  # Without winemenubuilder, a shortcut a test installs makes no entry in
  # the host's own application menu.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "Setting up the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  at_exit stop_wine "$WINEPREFIX"
  # With no window manager, Wine draws the window frames itself and manages
  # the focus as Windows does.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
}

# Only this prefix's programs run on its server.
stop_wine() { WINEPREFIX=$1 wineserver -k 2>/dev/null; }

# tests/win32/probe.exe ($probe_exe) finds windows and controls from outside,
# under $wine (default: the wine on PATH).
win_path() { winepath -w "$1" 2>/dev/null; }
probe() { "${wine:-wine}" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
win_click() {
  local x y
  read -r x y < <(probe point "$@")
  xdotool mousemove "$x" "$y" click 1
}

# check NAME COMMAND...: runs COMMAND and counts it as passed or failed,
# showing what it printed when it failed; checks_done prints the count and
# fails if any check did. Needs a session.
checks_passed=0 checks_failed=0
check() {
  local name=$1
  shift
  if "$@" >"$work/check.log" 2>&1; then
    checks_passed=$((checks_passed + 1))
    echo "ok   $name"
  else
    checks_failed=$((checks_failed + 1))
    echo "FAIL $name"
    sed 's/^/     /' "$work/check.log"
  fi
}

checks_done() {
  echo "$checks_passed passed, $checks_failed failed"
  ((checks_failed == 0))
}
