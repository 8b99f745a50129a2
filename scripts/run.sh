#!/usr/bin/env bash
# Builds the Winelib program if needed and starts it in the project's own
# Wine prefix (build/run/prefix). Uses $DISPLAY when set, else a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
if [ ! -f build/wine/build.ninja ]; then
  cmake --preset wine >/dev/null
fi
cmake --build build/wine --target veilguard >/dev/null

prefix="$root/build/run/prefix"
export WINEPREFIX="$prefix"
export HOME="$prefix/home" XDG_DATA_HOME="$prefix/home/.local/share"
scripts/wine-prefix.sh "$prefix"

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  sleep 1
  echo "No display: the program runs on Xvfb $DISPLAY (screenshot: DISPLAY=$DISPLAY import -window root shot.png)"
fi
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; true' EXIT

set +e
scripts/wine-run.sh build/wine/bin/veilguard.exe.so
code=$?
/usr/lib/wine/wineserver -w 2>/dev/null
echo "veilguard exited with code $code"
exit $code
