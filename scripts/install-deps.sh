#!/usr/bin/env bash
# Installs every build and test dependency from Debian's packages.
# Idempotent: packages already present are left as they are.
set -euo pipefail

PACKAGES=(
  # host toolchain and test frameworks
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries the program links
  libsqlite3-dev libzip-dev zlib1g-dev libfreeimage-dev libgcrypt20-dev
  # Winelib (x86-64 only: this kernel runs no 32-bit code)
  wine64 wine64-tools
  # 32-bit Windows cross build
  g++-mingw-w64-i686 gcc-mingw-w64-i686 binutils-mingw-w64-i686
  libz-mingw-w64-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  # cross-building the Windows DLLs from Debian's source packages
  # (apt-get source unpacks with dpkg-source; SQLite's amalgamation needs tclsh)
  dpkg-dev xz-utils tcl
  # headless runs and screenshots
  xvfb x11-utils xdotool imagemagick fonts-wqy-microhei
  # container tool and tests
  sqlite3 zip unzip
  # the minifilter stand-in's file system in the Wine build
  fuse3 libfuse3-dev
  # fuzz targets: clang with libFuzzer and the coverage tools (llvm-cov)
  clang libfuzzer-14-dev llvm
  # the local update server of the tests
  python3
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep 'install ok installed' >/dev/null || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
APT=(-o DPkg::Lock::Timeout=600 -y -q)
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get "${APT[@]}" update
$SUDO apt-get "${APT[@]}" install --no-install-recommends "${missing[@]}"
