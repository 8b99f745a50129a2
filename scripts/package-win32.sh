#!/usr/bin/env bash
# Makes the Windows package build/Veilguard-win32.zip: Veilguard.exe, the
# DLLs it loads, the files it opens beside itself and a README for Windows
# users. Builds what is missing first (the cross-built libraries, cached under
# build/win32-deps, and the win32 preset).
# Usage: scripts/package-win32.sh [output.zip]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
zipfile=$(realpath -m "${1:-build/Veilguard-win32.zip}")
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2

scripts/build-win32-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$jobs" >/dev/null

bin=build/win32/bin
deps=build/win32-deps/out/bin
files=(
  "$bin/Veilguard.exe"
  "$deps/sqlite3.dll" "$deps/zip.dll" "$deps/FreeImage.dll"
  "$bin/mani.sys" "$bin/fest.sys"
  data/win32/sidestep.inf data/win32/README.txt
)
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "missing: $f" >&2; exit 1; }
done

stage=build/package-win32
rm -rf "$stage" && mkdir -p "$stage"
cp "${files[@]}" "$stage/"
mkdir -p "$(dirname "$zipfile")"
rm -f "$zipfile"
(cd "$stage" && zip -q -X "$zipfile" ./*)
echo "made $zipfile"
