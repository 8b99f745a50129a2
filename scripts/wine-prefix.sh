#!/bin/sh
# Creates a Wine prefix at $1 if it does not exist yet. HOME and the XDG data
# folder point into the prefix so that Wine's shell folders and recycle bin
# stay inside it.
set -e
prefix=$1
[ -n "$prefix" ] || { echo "usage: wine-prefix.sh DIR" >&2; exit 2; }
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix/home" "$prefix/home/.local/share"
  HOME="$prefix/home" XDG_DATA_HOME="$prefix/home/.local/share" \
  WINEPREFIX="$prefix" WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
  # The program's texts are Chinese: link a CJK font to Wine's interface
  # fonts, or they show as empty boxes.
  reg="$prefix/cjk-fonts.reg"
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n'
    for face in "Tahoma" "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI" "SimSun"; do
      printf '"%s"=hex(7):%s\n' "$face" \
        "$(printf 'wqy-microhei.ttc,WenQuanYi Micro Hei' | od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'),00,00"
    done
    # No debugger in a prefix of ours: Wine's would wait for a user with the
    # output of whoever crashed (ctest's pipe in a test run). The crash
    # reporter names the crashed program on that output and ends at once
    # (wine-test.sh fails the test on it); where it is not built, Wine
    # cannot start the command and the program simply ends. "Auto" stays 1:
    # with 0 Wine asks in a message box nobody answers.
    reporter=$(cd "$(dirname "$0")/.." && pwd)/build/wine/bin/crash_reporter.exe.so
    printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n'
    printf '"Debugger"="\\"Z:%s\\" %%ld %%ld"\n' "$(printf '%s' "$reporter" | sed 's#/#\\\\#g')"
    printf '"Auto"="1"\n'
  } >"$reg"
  HOME="$prefix/home" WINEPREFIX="$prefix" WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all \
    /usr/lib/wine/wine64 regedit /S "$reg" </dev/null >/dev/null 2>&1
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w
fi
