# SPDX-License-Identifier: MIT
# A headless sway and what runs in it; needs a session (session.sh).
#
#   wayland_user_for DIR...       $wayland_user, the prefix that runs a command as the Wayland user
#   start_sway                    a headless sway: WAYLAND_DISPLAY, SWAYSOCK exported
#   as_wayland_user COMMAND...    run COMMAND in sway's session, as the user sway runs as
#   wait_wayland_window APP_ID [SECONDS]  wait until sway shows a window of APP_ID
#   wayland_focus APP_ID          give the keyboard focus to APP_ID's window and wait for it

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
