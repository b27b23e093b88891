#!/usr/bin/env bash
# Installs the mingw-w64 cross toolchains with their zlib, and wine (32- and
# 64-bit) to run the Windows build, when missing.
set -euo pipefail
SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
[ -f /usr/i686-w64-mingw32/include/zlib.h ] || need+=(libz-mingw-w64-dev)
command -v wine >/dev/null || need+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
# For machines that run no 32-bit programs: the 64-bit build under wine64.
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
if [ ${#need[@]} -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${need[@]}"
fi
