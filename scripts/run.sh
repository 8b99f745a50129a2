#!/usr/bin/env bash
# Builds the Winelib program if needed and starts it in the project's own
# Wine prefix (build/run/prefix). Uses $DISPLAY when set, else a private Xvfb.
# The program runs from its own folder build/run/app (a fresh copy of the
# build's files each time; the container there is kept). Without a container
# it makes one for trying it out, with the password given in
# VEILGUARD_DEMO_PASSWORD (default "demo").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
if [ ! -f build/wine/build.ninja ]; then
  cmake --preset wine >/dev/null
fi
# The program and what it expects beside itself: the archives, the volume
# driver's placeholder file, the filter's INF and its file system; the container tool.
cmake --build build/wine --target veilguard qdsk_placeholder sidestep_inf sidestep_fs vdisk >/dev/null

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

app="$root/build/run/app"
mkdir -p "$app"
for f in veilguard.exe.so mani.sys fest.sys qdsk.sys sidestep.inf sidestep_fs; do
  cp "build/wine/bin/$f" "$app/"
done
container="$app/vdisk.dat"
if [ ! -f "$container" ]; then
  password=${VEILGUARD_DEMO_PASSWORD:-demo}
  printf '%s\n' "$password" | scripts/wine-run.sh build/wine/tools/vdisk/vdisk.exe.so create --size 33554432 \
    "$container" >/dev/null
  echo "Made a 32 MiB container $container; its password is \"$password\"."
fi

set +e
scripts/wine-run.sh "$app/veilguard.exe.so"
code=$?
/usr/lib/wine/wineserver -w 2>/dev/null
echo "veilguard exited with code $code"
exit $code
