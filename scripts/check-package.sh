#!/usr/bin/env bash
# Installs a release build into a temporary prefix and uses it the way a
# user of the package would: checks the installed layout and the shared
# library's exports, builds the API example against the installed package
# with CMake (shared and static library) and with pkg-config (shared, and
# static with the libraries it names), runs each on
# examples/robot.s with the installed definitions, and runs the installed
# program from a directory without definitions.
#
#   scripts/check-package.sh [build dir]
#
# The build directory (default: build) is configured as a release build
# when it has not been configured yet.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")

fail() {
  echo "check-package: $*" >&2
  exit 1
}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# What is installed: the program and the two libraries.
cmake --build "$build" -j2 --target vexlor vexlor_shared vexlor_static

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/installed" >/dev/null
# Everything below uses the tree after a move: the package files find their
# directories from where they are.
prefix=$work/prefix
mv "$work/installed" "$prefix"

# Layout: the program in bin/, the definitions only in share/vexlor/.
for file in bin/vexlor include/vexlor/vexlor.h include/vexlor/vexlor_c.h; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for def in "$root"/defs/*; do
  name=$(basename "$def")
  cmp -s "$def" "$prefix/share/vexlor/$name" || fail "share/vexlor/$name is missing or differs from defs/$name"
  [ ! -e "$prefix/bin/$name" ] || fail "bin/$name: the definitions belong in share/vexlor/"
done
shared=$(find "$prefix" -name libvexlor.so -print -quit)
[ -n "$shared" ] || fail "libvexlor.so is not installed"
libdir=$(dirname "$shared")
for file in libvexlor.a pkgconfig/vexlor.pc cmake/Vexlor/VexlorConfig.cmake cmake/Vexlor/VexlorConfigVersion.cmake; do
  [ -f "$libdir/$file" ] || fail "${libdir#"$prefix"/}/$file is not installed"
done

# The installed archive holds machine code, not one compiler's intermediate
# code for link-time optimisation. (grep reads all of objdump's output: an
# early exit would fail the pipe.)
if objdump -h "$libdir/libvexlor.a" | grep '\.gnu\.lto_' >/dev/null; then
  fail "libvexlor.a holds link-time optimisation objects"
fi

# The shared library exports the public interface only: names in namespace
# vexlor and the C functions vexlor_*. Instances of the standard library's
# templates made here (names in namespace std) keep the standard library's
# default visibility, and so do the static variables of their functions
# (such as the digit table of std::to_chars, "_ZZNSt...").
exports=$(nm -D --defined-only "$shared" | awk '{ print $NF }')
[ -n "$exports" ] || fail "libvexlor.so exports nothing"
others=$(grep -Ev '^vexlor_[A-Za-z0-9_]*$|^_Z(T[ISV])?Z?(NK?)?(6vexlor|St)' <<<"$exports" || true)
if [ -n "$others" ]; then
  echo "check-package: libvexlor.so exports more than the public interface:" >&2
  c++filt <<<"$others" >&2
  exit 1
fi

expected='Shape robot
body: 8 vertices, 12 triangles
head: 5 vertices, 6 triangles'

# Runs an example program on robot.s from a directory of its own (the
# definitions come from the directory compiled in) and compares its output.
check_summary() {
  local label=$1 program=$2 actual
  mkdir -p "$work/run-$label"
  actual=$(cd "$work/run-$label" && "$program" "$root/examples/robot.s") || fail "$label: mesh_summary failed"
  if [ "$actual" != "$expected" ]; then
    echo "check-package: $label: mesh_summary printed" >&2
    echo "$actual" >&2
    echo "instead of" >&2
    echo "$expected" >&2
    exit 1
  fi
  echo "check-package: $label: mesh_summary output as expected"
}

for linkage in shared static; do
  static=OFF
  [ $linkage = shared ] || static=ON
  cmake -S "$root/examples/api" -B "$work/cmake-$linkage" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DVEXLOR_EXAMPLE_STATIC=$static >/dev/null
  cmake --build "$work/cmake-$linkage" >/dev/null
  check_summary "cmake-$linkage" "$work/cmake-$linkage/mesh_summary"
done

mkdir -p "$work/pkg-config"
PKG_CONFIG_PATH="$libdir/pkgconfig" make -s -C "$root/examples/api" OUT="$work/pkg-config"
check_summary pkg-config "$work/pkg-config/mesh_summary"

# The static library linked with what `pkg-config --static` names: its
# deflate library (Requires.private) comes along.
static_libs=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --static --libs vexlor)
static_libs=${static_libs/-lvexlor/$libdir/libvexlor.a}
# shellcheck disable=SC2046,SC2086
g++ -std=c++20 $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags vexlor) \
  "-DVEXLOR_DEFINITIONS_DIR=\"$prefix/share/vexlor\"" -o "$work/pkg-config/mesh_summary_static" \
  "$root/examples/api/mesh_summary.cpp" $static_libs || fail "the static library does not link with: $static_libs"
check_summary pkg-config-static "$work/pkg-config/mesh_summary_static"

# The installed program, run where there are no definitions, takes those
# in share/vexlor/ beside its bin/.
mkdir -p "$work/convert"
cp "$root/examples/robot.s" "$work/convert/"
status=0
output=$(cd "$work/convert" && "$prefix/bin/vexlor" robot.s /k 2>&1) || status=$?
if [ $status -ne 0 ] || ! grep -Fxq 'Converting robot.s to compressed binary file  ...' <<<"$output"; then
  echo "check-package: installed vexlor robot.s /k: exit status $status, output:" >&2
  echo "$output" >&2
  exit 1
fi
echo "check-package: installed vexlor finds share/vexlor/"
echo "check-package: passed"
