#!/usr/bin/env bash
# Builds the Windows programs (i686 and x86-64) with mingw-w64 and runs the
# end-to-end suite on the 32-bit one under wine, in a fresh 32-bit prefix.
#
#   scripts/windows-e2e.sh [linux build dir holding tests/e2e_tests]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
linux_build=${1:-$root/build}
cd "$root"

for target in i686 x86_64; do
  dir=build-win-$target
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$target.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$dir" -j2
  echo "built $dir/vexlor.exe"
done

prefix_root=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$prefix_root"' EXIT
export WINEPREFIX=$prefix_root/prefix WINEARCH=win32 WINEDEBUG=-all
# The prefix is made once (wine's first start takes several seconds).
wineboot -i >/dev/null 2>&1 || true
wineserver -w || true

export VEXLOR_E2E_RUNNER=wine
export VEXLOR_E2E_EXE=$root/build-win-i686/vexlor.exe
"$linux_build/tests/e2e_tests"
