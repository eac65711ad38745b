# SPDX-License-Identifier: MIT
# Counting checks, for scripts that run many and report them all.
#
#   check NAME COMMAND..., checks_done  count checks as passed or failed

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
