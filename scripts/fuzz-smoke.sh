#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target (or those named) for
# SECONDS each (default 20), one after the other, starting from its kept
# corpus fuzz/corpus/<name>. A short run (up to a minute) starts from that
# alone and throws its finds away; a longer one also starts from, and adds
# to, what earlier long runs found (build/fuzz/work/<name>). Prints "PASS: fuzz <name>" or "FAIL: fuzz <name>"
# per target; any crash, leak, time-out or sanitizer report is a failure,
# its input saved as build/fuzz/artifacts/<name>-*. Exits non-zero on any
# failure.
#
#   scripts/fuzz-smoke.sh                     # the test command's smoke
#   nice -n 19 scripts/fuzz-smoke.sh 900 trace_rows   # a long run by hand
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(language update_answers trace_archive trace_rows switch_rows rule_match filter_request volume_header view_archive)
fi

logs="$root/build/fuzz/logs"
mkdir -p "$logs" "$root/build/fuzz/artifacts"
if ! { cmake --preset fuzz && cmake --build --preset fuzz -j"$(nproc 2>/dev/null || echo 2)"; } >"$logs/build.log" 2>&1; then
  echo "FAIL: fuzz build (see $logs/build.log)"
  tail -20 "$logs/build.log"
  exit 1
fi

status=0
for name in "${targets[@]}"; do
  binary="$root/build/fuzz/fuzz/fuzz_$name"
  if [ "$seconds" -gt 60 ]; then
    work="$root/build/fuzz/work/$name"
  else
    work="$root/build/fuzz/smoke/$name"
    rm -rf "$work"
  fi
  log="$logs/$name.log"
  mkdir -p "$work"
  # -timeout: one input may take this long (the header target derives keys
  # for every PRF per input); -error_exitcode: any report fails the run.
  if [ -x "$binary" ] && [ -d "fuzz/corpus/$name" ] &&
     ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
       "$binary" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -error_exitcode=77 \
       -print_final_stats=1 -artifact_prefix="$root/build/fuzz/artifacts/$name-" \
       "$work" "fuzz/corpus/$name" >"$log" 2>&1 &&
     ! grep -E '^(==[0-9]+==ERROR|SUMMARY: |.*runtime error: )' "$log" >/dev/null; then
    echo "PASS: fuzz $name ($(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs in ${seconds} s)"
  else
    echo "FAIL: fuzz $name (see $log)"
    grep -E '^(==[0-9]+==ERROR|SUMMARY: |.*runtime error: )' "$log" | head -5
    status=1
  fi
done
exit $status
