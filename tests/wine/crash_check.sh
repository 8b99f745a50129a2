#!/bin/sh
# The test launcher's crash detector: a test whose helper dereferences a null
# pointer (and then would go on for a minute) must fail quickly, naming the
# helper and the faulting address; nothing may wait on a debugger (the test's
# time-out is far shorter than the helper's minute).
launcher=$1
program=$2
out=$("$launcher" "$program" --crashing-child 2>&1)
status=$?
printf '%s\n' "$out"
fail() { echo "crash check: $1"; exit 1; }
[ "$status" -ne 0 ] || fail "the launcher passed a test whose helper crashed"
case "$out" in
  *"CRASH:   wine: Unhandled page fault on read access to 0000000000000000 at address "*) ;;
  *) fail "the faulting address is not reported" ;;
esac
case "$out" in
  *"CRASH:   wine-crash: "*integration_tests*" crashed"*) ;;
  *) fail "the crashed program is not named" ;;
esac
echo "crash check: passed"
