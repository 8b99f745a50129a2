#!/usr/bin/env bash
# Builds the three presets and runs every test layer: native unit tests (also
# under the sanitizers), Wine integration tests and end-to-end tests (each
# Wine run in a fresh throw-away prefix under a private Xvfb display). Ends
# with "N passed, N failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh || { echo "dependency installation failed"; echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
jobs=$(nproc 2>/dev/null || echo 2)
logs="$root/build/test-logs"
mkdir -p "$logs"

pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; }

# Adds the counts of a ctest run (its output in $1) to the totals.
count_ctest() {
  local line total bad
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$1"; then return 0; fi
    fail "ctest gave no result ($1)"
    return 0
  fi
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  bad=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

build_preset() {
  local preset=$1
  if cmake --preset "$preset" >"$logs/configure-$preset.log" 2>&1 &&
     cmake --build --preset "$preset" -j"$jobs" >"$logs/build-$preset.log" 2>&1; then
    pass "build $preset"
    return 0
  fi
  fail "build $preset (see $logs/build-$preset.log)"
  tail -30 "$logs/build-$preset.log" "$logs/configure-$preset.log" 2>/dev/null
  return 1
}

# native: unit tests of the platform-neutral core and the tools
if build_preset native; then
  ctest --test-dir build/native --output-on-failure -j"$jobs" 2>&1 | tee "$logs/ctest-native.log" | grep -E 'tests passed|Failed|\*\*\*' || true
  count_ctest "$logs/ctest-native.log"
fi

# native-asan: the same unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer: the unit layer only (the unit tests and the
# container tool's test). Any report ends the test binary with a failure.
if cmake --preset native-asan >"$logs/configure-native-asan.log" 2>&1 &&
   cmake --build --preset native-asan -j"$jobs" >"$logs/build-native-asan.log" 2>&1; then
  pass "build native-asan"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset native-asan -j"$jobs" 2>&1 | tee "$logs/ctest-native-asan.log" | grep -E 'tests passed|Failed|\*\*\*' || true
  count_ctest "$logs/ctest-native-asan.log"
else
  fail "build native-asan (see $logs/build-native-asan.log)"
  tail -30 "$logs/build-native-asan.log" "$logs/configure-native-asan.log" 2>/dev/null
fi

# win32: the DLLs the program loads are cross-built from Debian's sources
# (cached under build/win32-deps), the shipping executable must be a PE32
# i386 program, and the Windows package must pass the import check.
win32_deps=0
if scripts/build-win32-deps.sh >"$logs/win32-deps.log" 2>&1; then
  pass "win32 libraries cross-built"
  win32_deps=1
else
  fail "win32 libraries (see $logs/win32-deps.log)"
  tail -30 "$logs/win32-deps.log"
fi
# A build folder configured with the earlier posix-thread compilers keeps
# them cached (and links winpthread, which Windows 2000 cannot load): start
# it afresh.
if grep -q -- '-posix' build/win32/CMakeCache.txt 2>/dev/null; then rm -rf build/win32; fi
if [ "$win32_deps" -eq 1 ] && build_preset win32; then
  if i686-w64-mingw32-objdump -f build/win32/bin/Veilguard.exe 2>/dev/null | grep 'file format pei-i386' >/dev/null; then
    pass "win32 Veilguard.exe is PE32 i386"
  else
    fail "win32 Veilguard.exe is not a PE32 i386 executable"
  fi
  package=build/Veilguard-win32.zip
  if scripts/package-win32.sh "$package" >"$logs/package-win32.log" 2>&1; then
    pass "win32 package made"
    scripts/check-win32-package.sh "$package" >"$logs/check-win32-package.log" 2>&1
    grep -E '^(FAIL|NOTE): ' "$logs/check-win32-package.log" || true
    passed=$((passed + $(grep -c '^PASS: ' "$logs/check-win32-package.log")))
    failed=$((failed + $(grep -c '^FAIL: ' "$logs/check-win32-package.log")))
    # The check must notice a package that lacks a DLL the program imports.
    broken="$root/build/test-logs/Veilguard-win32-without-zip.zip"
    cp "$package" "$broken" && zip -q -d "$broken" zip.dll
    if ! scripts/check-win32-package.sh "$broken" >"$logs/check-win32-broken.log" 2>&1 &&
       grep -q '^FAIL: Veilguard.exe imports DLLs .*zip.dll' "$logs/check-win32-broken.log"; then
      pass "win32 package check rejects a package without zip.dll"
    else
      fail "win32 package check accepted a package without zip.dll"
    fi
    rm -f "$broken"
  else
    fail "win32 package (see $logs/package-win32.log)"
    tail -30 "$logs/package-win32.log"
  fi
fi

# wine: integration and end-to-end tests in a fresh prefix on a private display
if build_preset wine; then
  prefix="$root/build/wine/test-prefix"
  rm -rf "$prefix"
  display=""
  for n in $(seq 150 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  export WINEPREFIX="$prefix" HOME="$prefix/home" XDG_DATA_HOME="$prefix/home/.local/share"
  export WINEDEBUG=-all WINELOADER=/usr/lib/wine/wine64
  if scripts/wine-prefix.sh "$prefix"; then
    /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
    # The first Wine program of a session starts Wine's own services and the
    # desktop process (at its first window); they inherit its output and live
    # as long as the wineserver. Start them here, detached from ctest's pipe,
    # or ctest would wait for them after the first test.
    scripts/wine-run.sh build/wine/tests/wine/integration_tests.exe.so \
      --gtest_filter=Shell.AboutDialogIsLocalized </dev/null >/dev/null 2>&1
    ctest --test-dir build/wine --output-on-failure 2>&1 | tee "$logs/ctest-wine.log" | grep -E 'tests passed|Failed|\*\*\*' || true
    count_ctest "$logs/ctest-wine.log"
    /usr/lib/wine/wineserver -k >/dev/null 2>&1
  else
    fail "creating the Wine prefix"
  fi
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
fi

# fuzz: a short run of every fuzz target from its kept corpus (clang,
# libFuzzer, ASan/UBSan); any crash, leak or sanitizer report fails.
fuzz_status=0
scripts/fuzz-smoke.sh >"$logs/fuzz-smoke.log" 2>&1 || fuzz_status=$?
grep -E '^(PASS|FAIL): ' "$logs/fuzz-smoke.log" || true
passed=$((passed + $(grep -c '^PASS: ' "$logs/fuzz-smoke.log")))
failed=$((failed + $(grep -c '^FAIL: ' "$logs/fuzz-smoke.log")))
# A smoke run that stopped without naming a failure still failed.
if [ "$fuzz_status" -ne 0 ] && ! grep '^FAIL: ' "$logs/fuzz-smoke.log" >/dev/null; then
  fail "fuzz smoke ended with status $fuzz_status (see $logs/fuzz-smoke.log)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
