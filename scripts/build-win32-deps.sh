#!/usr/bin/env bash
# Cross-builds the DLLs that the Windows program loads beside itself
# (sqlite3.dll, zip.dll, FreeImage.dll) with MinGW-w64 i686 from Debian's
# source packages, fetched with `apt-get source`.
#
# The source entries are derived at run time from this machine's Debian
# package sources (the same mirrors and suites, as deb-src) and live in a
# private apt state under the output folder, so the system's apt setup and
# lock are not touched.
#
# Result (the cache; a second run with the same script does nothing):
#   build/win32-deps/out/bin      the DLLs
#   build/win32-deps/out/lib      their import libraries
#   build/win32-deps/out/include  the headers of exactly these sources
#   build/win32-deps/out/versions.txt  source package versions and flags
#
# Only what the program uses is built: the SQLite amalgamation; libzip's
# library alone (zlib deflate and traditional PKWARE encryption, no bzip2,
# lzma, AES or tools); FreeImage with its PNG plugin only, over a static
# libpng from Debian's libpng1.6 source and Debian's static MinGW zlib.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
top="$root/build/win32-deps"
out="$top/out"
host=i686-w64-mingw32
# The win32 thread model: the posix one links libwinpthread, which imports
# kernel32 functions that Windows 2000 (GetTickCount64: even XP) lacks.
cc="$host-gcc-win32"
cxx="$host-g++-win32"
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2

# The cache key: this script's text. Any change to how the libraries are
# fetched or built rebuilds them.
key=$(sha256sum "$0" | cut -d' ' -f1)
if [ -f "$out/stamp" ] && [ "$(cat "$out/stamp")" = "$key" ]; then
  echo "win32 libraries are up to date in $out"
  exit 0
fi

CFLAGS_COMMON=(-O2 -DWINVER=0x0500 -D_WIN32_WINNT=0x0500)
# Every DLL carries its own copy of libgcc, libstdc++ and winpthread: only
# Windows system DLLs remain to be imported.
LDFLAGS_DLL=(-shared -static -s)

rm -rf "$out" "$top/work"
mkdir -p "$top/src" "$top/work" "$out/bin" "$out/lib" "$out/include"

# Runs a command with its output in the log file $1; shows the log's end
# and stops when the command fails.
logged() {
  local log=$1; shift
  "$@" >>"$log" 2>&1 || { tail -30 "$log" >&2; echo "failed; full log: $log" >&2; exit 1; }
}

# --- private apt state with deb-src entries -------------------------------
apt_dir="$top/apt"
mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
: >"$apt_dir/empty.list"
rm -f "$apt_dir/parts/"*
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || { echo "cannot tell the Debian release from /etc/os-release" >&2; exit 1; }

# deb822 files: every stanza of type deb whose suites are all of this
# release (bookworm, bookworm-updates, bookworm-security, ...) is repeated
# as deb-src.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  awk -v cn="$codename" '
    function flush() {
      if (deb && suites_ok && n) { for (i = 1; i <= n; i++) print lines[i]; print "" }
      n = 0; deb = 0; suites_ok = 0
    }
    /^[ \t]*$/ { flush(); next }
    /^#/ { next }
    tolower($1) == "types:" {
      for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1
      lines[++n] = "Types: deb-src"; next
    }
    tolower($1) == "suites:" {
      suites_ok = 1
      for (i = 2; i <= NF; i++) if ($i !~ ("^" cn "(-[a-z]+)?$")) suites_ok = 0
    }
    { lines[++n] = $0 }
    END { flush() }' "$f" >>"$apt_dir/parts/debian-src.sources"
done
# One-line files: "deb [options] uri suite components" of this release.
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  awk -v cn="$codename" '
    $1 == "deb" {
      s = 2; if ($2 ~ /^\[/) { while (s <= NF && $s !~ /\]$/) s++; s++ }
      if ($(s + 1) ~ ("^" cn "(-[a-z]+)?$")) { $1 = "deb-src"; print }
    }' "$f" >>"$apt_dir/parts/debian-src.list"
done
if ! grep -qs . "$apt_dir/parts/debian-src.sources" "$apt_dir/parts/debian-src.list"; then
  echo "no Debian $codename package source found in /etc/apt to derive deb-src entries from" >&2
  exit 1
fi

APT=(-q -o "Dir::Etc::SourceList=$apt_dir/empty.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
     -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
     -o APT::Sandbox::User=root -o DPkg::Lock::Timeout=600)
echo "fetching the source indexes"
apt-get "${APT[@]}" update >"$top/apt-update.log" 2>&1 || { cat "$top/apt-update.log" >&2; exit 1; }

: >"$out/versions.txt"
echo "compilers: $cc, $cxx ($("$cc" -dumpfullversion)), $("$host-ld" --version | head -1)" >>"$out/versions.txt"
# Fetches and unpacks one source package into $top/src/<package>, trying its
# versions from the newest down (a mirror may lack the newest files).
fetch() {
  local pkg=$1 ver dir
  dir="$top/src/$pkg"
  rm -rf "$dir" && mkdir -p "$dir"
  for ver in $(apt-cache "${APT[@]}" showsrc "$pkg" | awk '/^Version:/ { print $2 }' | sort -u -r -V); do
    if (cd "$dir" && apt-get "${APT[@]}" source "$pkg=$ver" >"$top/fetch-$pkg.log" 2>&1); then
      echo "$pkg $ver" >>"$out/versions.txt"
      echo "fetched $pkg $ver"
      return 0
    fi
    rm -rf "${dir:?}"/*
  done
  cat "$top/fetch-$pkg.log" >&2
  echo "could not fetch the source package $pkg" >&2
  return 1
}
# The unpacked tree of a fetched package.
srcdir() { find "$top/src/$1" -mindepth 1 -maxdepth 1 -type d | head -1; }

fetch sqlite3
fetch libzip
fetch libpng1.6
fetch freeimage

# --- SQLite: the amalgamation, one file -----------------------------------
# Debian ships the full source tree; its build makes sqlite3.c with the host
# compiler and tclsh.
s=$(srcdir sqlite3)
mkdir -p "$top/work/sqlite-amalg"
(cd "$top/work/sqlite-amalg" && "$s/configure" --disable-tcl --disable-readline >configure.log 2>&1 &&
  make sqlite3.c >make.log 2>&1) || { tail -20 "$top/work/sqlite-amalg/"*.log >&2; exit 1; }
SQLITE_FLAGS=(-DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION
              "-DSQLITE_API=__declspec(dllexport)")
echo "building sqlite3.dll"
logged "$top/work/sqlite.log" "$cc" "${CFLAGS_COMMON[@]}" "${SQLITE_FLAGS[@]}" -c "$top/work/sqlite-amalg/sqlite3.c" -o "$top/work/sqlite3.o"
logged "$top/work/sqlite.log" "$cc" "${LDFLAGS_DLL[@]}" "$top/work/sqlite3.o" -o "$out/bin/sqlite3.dll" \
  -Wl,--out-implib,"$out/lib/libsqlite3.dll.a"
cp "$top/work/sqlite-amalg/sqlite3.h" "$s/src/sqlite3ext.h" "$out/include/"
echo "sqlite3 flags: ${CFLAGS_COMMON[*]} ${SQLITE_FLAGS[*]}" >>"$out/versions.txt"

# --- libzip ---------------------------------------------------------------
s=$(srcdir libzip)
echo "building zip.dll"
ZIP_OPTS=(-DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF
          -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF
          -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
          -DBUILD_SHARED_LIBS=ON -DSHARED_LIB_VERSIONNING=OFF)
# Random bytes (encryption headers, temporary names) come from
# CryptGenRandom; libzip asks for the AES provider, which Windows 2000 lacks
# and whose random source is the same as the base provider's.
ZIP_DEFS=(-DPROV_RSA_AES=PROV_RSA_FULL)
# The DLL is "zip.dll", as Windows builds of libzip name it (MinGW's CMake
# would say "libzip.dll").
echo 'set(CMAKE_SHARED_LIBRARY_PREFIX "")' >"$top/work/no-lib-prefix.cmake"
cmake -S "$s" -B "$top/work/libzip" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=i686 -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_RC_COMPILER="$host-windres" -DCMAKE_FIND_ROOT_PATH=/usr/$host \
  -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
  -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="${CFLAGS_COMMON[*]} ${ZIP_DEFS[*]}" -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_SHARED_LINKER_FLAGS="-static -s" \
  -DCMAKE_PROJECT_INCLUDE="$top/work/no-lib-prefix.cmake" \
  -DZLIB_LIBRARY=/usr/$host/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$host/include \
  "${ZIP_OPTS[@]}" >"$top/work/libzip-configure.log" 2>&1 ||
  { tail -30 "$top/work/libzip-configure.log" >&2; exit 1; }
cmake --build "$top/work/libzip" -j"$jobs" >"$top/work/libzip-build.log" 2>&1 ||
  { tail -30 "$top/work/libzip-build.log" >&2; exit 1; }
cp "$top/work/libzip/lib/zip.dll" "$out/bin/"
cp "$top/work/libzip/lib/libzip.dll.a" "$out/lib/"
cp "$s/lib/zip.h" "$top/work/libzip/zipconf.h" "$out/include/"
echo "libzip options: ${ZIP_OPTS[*]}; flags: ${CFLAGS_COMMON[*]} ${ZIP_DEFS[*]}" >>"$out/versions.txt"

# --- libpng, static, for FreeImage's PNG plugin -----------------------------
s=$(srcdir libpng1.6)
echo "building libpng (static)"
png="$top/work/libpng"
mkdir -p "$png/include"
cp "$s/png.h" "$s/pngconf.h" "$png/include/"
cp "$s/scripts/pnglibconf.h.prebuilt" "$png/include/pnglibconf.h"
PNG_SRCS=(png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans
          pngwio pngwrite pngwtran pngwutil)
printf '%s\n' "${PNG_SRCS[@]}" | logged "$png.log" xargs -P"$jobs" -I{} \
  "$cc" "${CFLAGS_COMMON[@]}" -I"$png/include" -c "$s/{}.c" -o "$png/{}.o"
logged "$png.log" "$host-ar" rcs "$png/libpng.a" "$png"/*.o

# --- FreeImage with the PNG plugin ------------------------------------------
s=$(srcdir freeimage)
echo "building FreeImage.dll (PNG only)"
fi_work="$top/work/freeimage"
mkdir -p "$fi_work/obj"
# Debian strips FreeImage's bundled image libraries; of the plugins only PNG
# is built, so the plugin table registers PNG alone.
sed -E '/s_plugins->AddNode\(Init/{/InitPNG\)/!d}' "$s/Source/FreeImage/Plugin.cpp" >"$fi_work/Plugin.cpp"
grep -q 'AddNode(InitPNG)' "$fi_work/Plugin.cpp" || { echo "FreeImage's plugin table has changed" >&2; exit 1; }
FI_SRCS=("$fi_work/Plugin.cpp" "$s/Source/FreeImage/PluginPNG.cpp")
for f in "$s"/Source/FreeImage/*.cpp "$s"/Source/FreeImage/*.c "$s"/Source/FreeImageToolkit/*.cpp \
         "$s"/Source/Metadata/*.cpp; do
  case "$(basename "$f")" in
    Plugin*.cpp | J2KHelper.cpp | MNGHelper.cpp | PSDParser.cpp | TIFFLogLuv.cpp | XTIFF.cpp | JPEGTransform.cpp) ;;
    *) FI_SRCS+=("$f") ;;
  esac
done
FI_FLAGS=(-DFREEIMAGE_EXPORTS -DNO_LCMS -DDISABLE_PERF_MEASUREMENT -D__ANSI__ -fexceptions)
export CC_="$cc" CXX_="$cxx" FI_OBJ="$fi_work/obj"
printf '%s\n' "${FI_SRCS[@]}" | logged "$fi_work.log" xargs -P"$jobs" -I{} sh -c '
  f=$1; shift; o=$(basename "$f"); o=${o%.*}.o
  case "$f" in *.c) c=$CC_ ;; *) c=$CXX_ ;; esac
  exec "$c" "$@" -c "$f" -o "$FI_OBJ/$o"' sh {} \
  "${CFLAGS_COMMON[@]}" "${FI_FLAGS[@]}" -I"$s/Source" -I"$s/Source/FreeImage" -I"$s/Source/Metadata" \
  -I"$s/Source/FreeImageToolkit" -I"$png/include" -Wno-deprecated-declarations
logged "$fi_work.log" "$cxx" "${LDFLAGS_DLL[@]}" "$fi_work/obj/"*.o "$png/libpng.a" /usr/$host/lib/libz.a \
  -o "$out/bin/FreeImage.dll" -Wl,--out-implib,"$out/lib/libFreeImage.dll.a"
cp "$s/Source/FreeImage.h" "$out/include/"
echo "FreeImage flags: ${CFLAGS_COMMON[*]} ${FI_FLAGS[*]}; plugins: PNG" >>"$out/versions.txt"
echo "libpng: static in FreeImage.dll, prebuilt pnglibconf.h" >>"$out/versions.txt"

echo "$key" >"$out/stamp"
echo "win32 libraries built in $out"
cat "$out/versions.txt"
