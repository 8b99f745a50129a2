#!/usr/bin/env bash
# Runs one Winelib test program for ctest (the Wine build's test launcher).
#
# Every Wine process inherits its parent's Unix standard descriptors, so a
# program that a test starts (a helper, the program under test, the shell it
# restarts) would hold ctest's output pipe for as long as it lives, and ctest
# would wait for it until the test's time-out. Here the test program, and
# with it everything it starts, writes to a log file instead; the log is
# shown when the test program ends.
#
# A crash of any of those programs fails the test at once: Wine writes
# "wine: Unhandled ... at address ..." and the prefix's crash reporter (its
# AeDebug command, see wine-prefix.sh) names the program on the same log.
# The test program is then ended and both lines are shown.
set -u
here=$(cd "$(dirname "$0")" && pwd)
log=$(mktemp "${TMPDIR:-/tmp}/vg-test-log.XXXXXX") || exit 1
trap 'rm -f "$log" "$log.crash"' EXIT

# ctest ends this launcher at the test's time-out: the test program goes too.
trap 'kill -KILL "${test_pid:-}" ${watcher:-} 2>/dev/null; cat "$log"; exit 124' TERM INT

crash_pattern='starting debugger\.\.\.$|^wine-crash: '

# Watches the log while the test runs: on a crash it waits a moment for the
# reporter's line, notes the crash and ends the test program.
watch_for_crash() {
  while sleep 0.1 && kill -0 "$test_pid" 2>/dev/null; do
    if grep -Eq "$crash_pattern" "$log"; then
      for _ in 1 2 3 4 5 6 7 8 9 10; do
        grep -q '^wine-crash: ' "$log" && break
        sleep 0.2
      done
      : >"$log.crash"
      kill -TERM "$test_pid" 2>/dev/null
      sleep 2
      kill -KILL "$test_pid" 2>/dev/null
      return
    fi
  done
}

run_once() {
  "$here/wine-run.sh" "$@" </dev/null >"$log" 2>&1 &
  test_pid=$!
  watch_for_crash </dev/null >/dev/null 2>&1 &
  watcher=$!
  wait "$test_pid"
  status=$?
  kill "$watcher" 2>/dev/null
}

# Rarely (twice in some thousands of starts here, cause not found) a test
# program ends within milliseconds without writing a single line, not even
# the test framework's first one: a failure with an empty log is a test
# that never ran, so it is started once more, and the output says so.
run_once "$@"
if [ "$status" -ne 0 ] && [ ! -s "$log" ]; then
  echo "wine-test: the test program ended with status $status before writing anything; starting it again"
  sleep 1
  run_once "$@"
fi

cat "$log"
# A crash found after the test program ended (in the last moments of its
# helpers' output) counts as well.
if [ -e "$log.crash" ] || grep -Eq "$crash_pattern" "$log"; then
  echo "CRASH: a program this test started crashed:"
  grep -E "$crash_pattern" "$log" | sed 's/^/CRASH:   /'
  exit 1
fi
exit "$status"
