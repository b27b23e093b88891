#!/usr/bin/env bash
# Builds the Windows programs (i686 and x86-64) with mingw-w64 and runs the
# end-to-end suite on the 32-bit one under wine, in a fresh 32-bit prefix.
# A machine whose kernel runs no 32-bit programs (wine32 then fails with
# "Exec format error") runs it on the 64-bit one under 64-bit wine instead.
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
if /usr/lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1; then
  arch=win32 runner=wine exe=$root/build-win-i686/vexlor.exe
else
  arch=win64 runner=/usr/lib/wine/wine64 exe=$root/build-win-x86_64/vexlor.exe
  echo "windows-e2e: this machine runs no 32-bit programs; testing the 64-bit build under 64-bit wine"
fi
export WINEPREFIX=$prefix_root/prefix WINEARCH=$arch WINEDEBUG=-all
# Without address randomisation: now and then a randomised mapping takes the
# address of the Windows shared user data, and wine then stops before the
# program starts ("failed to map the shared user data", status 1, nothing
# on standard error with WINEDEBUG=-all): about one start in 3,000 here.
# The programs the tests start inherit the fixed layout.
fixed_layout=()
if setarch "$(uname -m)" -R true 2>/dev/null; then fixed_layout=(setarch "$(uname -m)" -R); fi
# The prefix is made once (wine's first start takes several seconds).
"${fixed_layout[@]}" "$runner" wineboot -i >/dev/null 2>&1 || true
wineserver -w || true

export VEXLOR_E2E_RUNNER=$runner
export VEXLOR_E2E_EXE=$exe
"${fixed_layout[@]}" "$linux_build/tests/e2e_tests"
