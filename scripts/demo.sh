#!/usr/bin/env bash
# Converts every shipped example to its binary form and back to text, and
# shows what the program prints.
#
#   scripts/demo.sh [path/to/vexlor] [output directory]
#
# Works from any working directory. The program runs in its own directory,
# where the build put the default definitions: the token definition files
# that Vexlor.cfg names are opened relative to the working directory.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
exe_arg=${1:-$root/build/vexlor}
if [ ! -x "$exe_arg" ]; then
  echo "demo: no program at $exe_arg (run 'make' first)" >&2
  exit 2
fi
exe_dir=$(cd "$(dirname "$exe_arg")" && pwd)
exe=$exe_dir/$(basename "$exe_arg")
out=${2:-$exe_dir/demo}
mkdir -p "$out"
out=$(cd "$out" && pwd)
examples=$root/examples

# The binary pattern of each text pattern, as Vexlor.cfg lists them.
binary_ext() {
  case "$1" in
    s) echo sb ;;
    ml) echo mlb ;;
    *) echo bin ;;
  esac
}

run() {
  echo "\$ vexlor $*"
  (cd "$exe_dir" && "$exe" "$@")
  local status=$?
  echo
  [ $status -eq 0 ] || echo "(exit status $status)"
  return $status
}

# Names relative to the program's directory keep the output short.
rel=$(realpath --relative-to="$exe_dir" "$out" 2>/dev/null || echo "$out")
mkdir -p "$out/text"

failures=0
for example in "$examples"/*; do
  [ -f "$example" ] || continue
  name=$(basename "$example")
  base=${name%.*}
  ext=${name##*.}
  bext=$(binary_ext "$ext")
  echo "== $name"
  cp "$example" "$out/$name"
  rm -f "$out/$base.$bext" "$out/text/$name"
  # Text to binary, compressed by default. The output name gives only a
  # directory and an extension: the file takes the source's base name.
  run "$rel/$name" "/o:$rel/.$bext" || failures=$((failures + 1))
  # Binary back to text, uncompressed by default.
  run "$rel/$base.$bext" "/o:$rel/text/.$ext" || failures=$((failures + 1))
  if [ -f "$out/$base.$bext" ]; then
    echo "$name: $(wc -c <"$example") bytes as text, $(wc -c <"$out/$base.$bext") bytes as compressed binary"
  fi
  if cmp -s "$example" "$out/text/$name"; then
    echo "$name: written back byte for byte"
  elif [ -f "$out/text/$name" ]; then
    echo "$name: written back in the program's own layout (comments and layout are not kept)"
  fi
  echo
done
echo "== checking only (/k): nothing is written"
run "$rel/robot.s" /k || failures=$((failures + 1))
echo
echo "Output in $out"
[ "$failures" -eq 0 ]
