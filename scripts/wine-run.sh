#!/bin/sh
# Runs a Winelib program (path/prog.exe.so) under wine64 with quiet settings.
# WINEPREFIX must name a throw-away prefix; without one, the build tree's own
# prefix is created and used, never ~/.wine.
here=$(cd "$(dirname "$0")" && pwd)
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
if [ -z "$WINEPREFIX" ]; then
  WINEPREFIX="$here/../build/wine/prefix"
  export WINEPREFIX
  "$here/wine-prefix.sh" "$WINEPREFIX" >/dev/null 2>&1 || exit 1
fi
exec /usr/lib/wine/wine64 "$@"
