# SPDX-License-Identifier: MIT
# A script's session: a scratch folder, the programs it starts, and undoing
# both when it ends; waiting and failing.
#
#   start_session                 $work, a scratch folder, and the EXIT trap
#   at_exit COMMAND...            run COMMAND when the script ends
#   spawn COMMAND...              run COMMAND in the background ($spawned), stopped on exit
#   stop PID                      SIGTERM (SIGKILL after 10 s) to PID, and reap it
#   ended PID                     whether PID has ended
#   fail MESSAGE                  print MESSAGE and exit 1
#   wait_until SECONDS COMMAND... poll COMMAND until it succeeds
#   wait_line FILE PATTERN [SECONDS]  wait until FILE has a line matching PATTERN

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
