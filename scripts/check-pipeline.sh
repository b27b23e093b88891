#!/usr/bin/env bash
# Builds the asset pipeline example (examples/pipeline/) with CMake and Ninja
# in a scratch directory, using the program of a build tree, and checks that
# the dependency files the program writes make Ninja rebuild exactly what an
# edit affects:
#
#   - a second build does nothing;
#   - an edit of the palette grammar rebuilds the palettes only;
#   - an edit of tile_ids.h (included by the level tokens) the levels only;
#   - an edit of the shared core tokens every asset;
#   - after each, a build does nothing again;
#   - a second build tree made from the same sources writes the same bytes.
#
#   scripts/check-pipeline.sh [build directory holding vexlor]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
exe=$(cd "$build" && pwd)/vexlor
if [ ! -x "$exe" ]; then
  echo "check-pipeline: no program at $exe" >&2
  exit 2
fi
command -v ninja >/dev/null || {
  echo "check-pipeline: ninja is missing (run scripts/install-deps.sh)" >&2
  exit 2
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The edits go to a copy of the example, never to the sources.
cp -r "$root/examples/pipeline" "$work/src"
src=$work/src

failures=0
fail() {
  echo "check-pipeline: FAILED: $*" >&2
  failures=$((failures + 1))
}

all="beach.lvlb castle.lvlb desert.palb forest.palb lake.lvlb night.palb"
palettes="desert.palb forest.palb night.palb"
levels="beach.lvlb castle.lvlb lake.lvlb"

# build <tree> <step>: runs ninja with its reasons shown, keeps its output in
# $log and sets $converted to the sorted names it converted.
build() {
  local tree=$1 step=$2
  log=$work/$step.log
  if ! ninja -C "$tree" -d explain >"$log" 2>&1; then
    cat "$log" >&2
    fail "$step: the build failed"
  fi
  converted=$(sed -n 's/^\[[0-9]*\/[0-9]*\] Converting \(.*\)$/\1/p' "$log" | sort | xargs)
}

# expect <step> <names...>: what the last build converted.
expect() {
  local step=$1
  shift
  local want
  want=$(printf '%s\n' "$@" | sed '/^$/d' | sort | xargs)
  if [ "$converted" = "$want" ]; then
    echo "$step: converted ${want:-nothing}"
  else
    fail "$step: converted '${converted}', expected '${want}'"
    grep 'ninja explain' "$log" >&2 || true
  fi
}

# idle <tree> <step>: an untouched tree has nothing to do.
idle() {
  local tree=$1 step=$2
  build "$tree" "$step"
  expect "$step" ""
  grep -q '^ninja: no work to do\.$' "$log" || fail "$step: ninja did not say 'no work to do'"
  ninja -C "$tree" -n | grep -q '^ninja: no work to do\.$' || fail "$step: 'ninja -n' has work to do"
}

# reason <step> <input> <count>: Ninja named the edited file's copy (as the
# dependency files name it, relative to the build directory) as the reason
# of each of the last build's <count> conversions.
reason() {
  local step=$1 input=$2 count=$3 n
  n=$(grep -cE "^ninja explain: (restat of )?output out/[a-z]+\.[a-z]+ older than most recent input $input " "$log" || true)
  [ "$n" -eq "$count" ] || fail "$step: Ninja named $input as the reason of $n conversions, not $count"
}

# The file system's clock may tick coarsely: an edit in the tick of the last
# build would not look newer.
edit() {
  sleep 0.05
  cat >>"$1"
}

tree=$work/build
cmake -S "$src" -B "$tree" -G Ninja -DVEXLOR_EXE="$exe" >"$work/configure.log" || {
  cat "$work/configure.log" >&2
  exit 1
}

build "$tree" first
expect "first build" $all
for name in $all; do
  [ -s "$tree/out/$name" ] || fail "first build: out/$name is missing"
done
idle "$tree" "second build"

# Grammars are UTF-16: the comment is appended in UTF-16LE.
printf '// a note\n' | iconv -f UTF-8 -t UTF-16LE | edit "$src/palettes/palette.bnf"
build "$tree" grammar
expect "palette.bnf edited" $palettes
reason "palette.bnf edited" palettes/palette.bnf 3
idle "$tree" "after the grammar"

printf 'SIDDEF(SID_LAVA, "lava")\n' | edit "$src/levels/tile_ids.h"
build "$tree" include
expect "tile_ids.h (included) edited" $levels
reason "tile_ids.h edited" levels/tile_ids.h 3
idle "$tree" "after the include"

printf '// shared by every asset\n' | edit "$src/common/core_ids.h"
build "$tree" core
expect "core_ids.h edited" $all
idle "$tree" "after the core tokens"

# Outputs depend on nothing but their inputs: another tree, built once from
# the same sources, holds the same bytes.
other=$work/other
cmake -S "$src" -B "$other" -G Ninja -DVEXLOR_EXE="$exe" >"$work/configure-other.log"
build "$other" other
for name in $all; do
  cmp -s "$tree/out/$name" "$other/out/$name" || fail "out/$name differs between two build trees"
done
[ "$failures" -eq 0 ] && echo "the outputs of two build trees are the same bytes"

if [ "$failures" -ne 0 ]; then
  echo "check-pipeline: $failures check(s) failed" >&2
  exit 1
fi
echo "check-pipeline: ok"
