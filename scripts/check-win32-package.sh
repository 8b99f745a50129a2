#!/usr/bin/env bash
# Checks a Windows package (default build/Veilguard-win32.zip):
#  - it unpacks and holds every file the program opens beside itself;
#  - every PE file in it is 32-bit x86 (i386);
#  - every DLL that a PE file in it imports is either in the package or a
#    system DLL of Windows 2000;
#  - no PE file imports a system function from a short list of those that
#    Windows 2000 lacks;
#  - every function that a PE file imports from a DLL of the package is
#    exported by that DLL.
# Prints one "PASS: ..." or "FAIL: ..." line per check; exits non-zero when
# any check fails.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zipfile=$(realpath -m "${1:-$root/build/Veilguard-win32.zip}")
objdump=i686-w64-mingw32-objdump

# Windows 2000's own DLLs that the program and its libraries may import
# (lower case). fltlib.dll, the Filter Manager's user library, comes with
# Windows 2000 SP4 and its update rollup.
SYSTEM_DLLS="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll comctl32.dll
comdlg32.dll ole32.dll oleaut32.dll msvcrt.dll ws2_32.dll psapi.dll setupapi.dll version.dll
wininet.dll ntdll.dll fltlib.dll"

# System functions that Windows 2000 does not have (the version that brought
# each one in brackets) and that compilers' runtimes or libraries are known to
# pull in. A PE importing one of them does not load on Windows 2000.
NEWER_FUNCTIONS="GetTickCount64 (Vista)
AddVectoredExceptionHandler (XP)
RemoveVectoredExceptionHandler (XP)
InitializeConditionVariable (Vista)
SleepConditionVariableCS (Vista)
WakeConditionVariable (Vista)
WakeAllConditionVariable (Vista)
InitializeSRWLock (Vista)
AcquireSRWLockExclusive (Vista)
ReleaseSRWLockExclusive (Vista)
InitOnceExecuteOnce (Vista)
InitializeCriticalSectionEx (Vista)
FlsAlloc (Server 2003)
GetNativeSystemInfo (XP)
GetModuleHandleExW (XP)
GetFileInformationByHandleEx (Vista)
SetFileInformationByHandle (Vista)
GetSystemTimePreciseAsFileTime (8)
IsWow64Process (XP SP2)
GetProcessId (XP SP1)
GetThreadId (Vista)
SetDllDirectoryW (XP SP1)
QueryFullProcessImageNameW (Vista)
CancelIoEx (Vista)
_vscprintf (XP)
_aligned_malloc (XP)
_fseeki64 (Vista)
_ftelli64 (Vista)"
# Known exceptions, per PE file ("file function"): to be removed, not added to.
KNOWN_NEWER=""

# The files the program opens beside itself that the package carries. Not
# carried: vdisk.dat (the user's container), qdsk.sys and qdsk-x64.sys (the
# volume driver, shipped separately) and help.chm (not made by this project).
REQUIRED="Veilguard.exe sqlite3.dll zip.dll FreeImage.dll mani.sys fest.sys sidestep.inf README.txt"

failures=0
pass() { echo "PASS: $1"; }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! unzip -q "$zipfile" -d "$work" 2>"$work.err"; then
  fail "package $zipfile does not unpack: $(cat "$work.err")"
  rm -f "$work.err"
  exit 1
fi
rm -f "$work.err"
pass "package unpacks"

missing=""
for f in $REQUIRED; do
  [ -s "$work/$f" ] || missing="$missing $f"
done
if [ -z "$missing" ]; then pass "package holds every file the program needs beside itself"
else fail "package lacks:$missing"; fi

# fest.sys must be an SQLite database with tables; mani.sys a zip archive
# with an encrypted entry.
if [ -s "$work/fest.sys" ] && [ -n "$(sqlite3 "$work/fest.sys" .tables 2>/dev/null)" ]; then
  pass "fest.sys is a database with tables"
else
  fail "fest.sys is not a database with tables"
fi
if zipinfo "$work/mani.sys" 2>/dev/null | grep -E '^-.* [BT][-lxX] ' >/dev/null; then
  pass "mani.sys is an encrypted zip archive"
else
  fail "mani.sys is not an encrypted zip archive"
fi

shopt -s nullglob nocaseglob
pes=("$work"/*.exe "$work"/*.dll)
shopt -u nocaseglob
[ ${#pes[@]} -gt 0 ] || fail "package holds no PE file"

lower() { tr '[:upper:]' '[:lower:]'; }
packaged=$(for p in "${pes[@]}"; do basename "$p"; done | lower)

for pe in "${pes[@]}"; do
  name=$(basename "$pe")
  if "$objdump" -f "$pe" 2>/dev/null | grep 'file format pei-i386' >/dev/null &&
     "$objdump" -f "$pe" | grep 'architecture: i386' >/dev/null; then
    pass "$name is a 32-bit x86 PE file"
  else
    fail "$name is not a 32-bit x86 PE file"
    continue
  fi

  "$objdump" -p "$pe" >"$work/$name.dump"
  bad=""
  for dll in $(awk '/DLL Name:/ { print $3 }' "$work/$name.dump" | lower | sort -u); do
    if ! grep -qxF "$dll" <<<"$packaged" && ! grep -qw -- "$dll" <<<"$SYSTEM_DLLS"; then
      bad="$bad $dll"
    fi
  done
  if [ -z "$bad" ]; then pass "$name imports only packaged and Windows 2000 system DLLs"
  else fail "$name imports DLLs that are neither packaged nor part of Windows 2000:$bad"; fi

  # Imported names per DLL, from the import tables ("DLL Name: X" followed by
  # "<vma> <hint> <name>" lines up to a blank line).
  awk '/DLL Name:/ { dll = tolower($3); next }
       dll != "" && /^[ \t]*$/ { dll = ""; next }
       dll != "" && $1 ~ /^[0-9a-f]+$/ && NF >= 3 && $2 ~ /^[0-9]+$/ { print dll, $3 }' \
    "$work/$name.dump" >"$work/$name.imports"
  newer=""
  known=""
  while read -r dll fn; do
    grep -qw -- "$dll" <<<"$SYSTEM_DLLS" || continue
    since=$(awk -v f="$fn" '$1 == f { sub(/^[^ ]+ /, ""); print }' <<<"$NEWER_FUNCTIONS")
    [ -n "$since" ] || continue
    if grep -qxF "$name $fn" <<<"$KNOWN_NEWER"; then known="$known $fn $since"
    else newer="$newer $dll!$fn $since"; fi
  done <"$work/$name.imports"
  [ -z "$known" ] || echo "NOTE: $name still imports functions newer than Windows 2000:$known"
  if [ -z "$newer" ]; then pass "$name imports no listed system function newer than Windows 2000"
  else fail "$name imports system functions newer than Windows 2000:$newer"; fi

  unresolved=""
  for dll in $(cut -d' ' -f1 "$work/$name.imports" | sort -u); do
    grep -qxF "$dll" <<<"$packaged" || continue
    target=$(for p in "${pes[@]}"; do [ "$(basename "$p" | lower)" = "$dll" ] && echo "$p"; done | head -1)
    "$objdump" -p "$target" 2>/dev/null | awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                                   on && /^[ \t]*\[/ { print $3 }
                                   on && /^[ \t]*$/ { on = 0 }' | sort -u >"$work/exports"
    while read -r fn; do
      grep -qxF "$fn" "$work/exports" || unresolved="$unresolved $dll!$fn"
    done < <(awk -v d="$dll" '$1 == d { print $2 }' "$work/$name.imports")
  done
  if [ -z "$unresolved" ]; then pass "$name finds every function it imports from packaged DLLs"
  else fail "$name imports functions its packaged DLLs do not export:$unresolved"; fi
done

[ "$failures" -eq 0 ]
