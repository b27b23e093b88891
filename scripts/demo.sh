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
  echo "(exit status $status)"
  return $status
}

failures=0
for source in "$examples"/*; do
  [ -f "$source" ] || continue
  name=$(basename "$source")
  base=${name%.*}
  ext=${name##*.}
  bext=$(binary_ext "$ext")
  echo "== $name"
  rm -f "$out/$base.$bext" "$out/$name"
  # Text to binary: compressed by default. The output spec names only a
  # directory and an extension; the file takes the source's base name.
  run "$source" "/o:$out/.$bext" || failures=$((failures + 1))
  # Binary back to text: uncompressed by default.
  run "$out/$base.$bext" "/o:$out/.$ext" || failures=$((failures + 1))
  if cmp -s "$source" "$out/$name"; then
    echo "$name: the text written back is identical to the example"
  elif [ -f "$out/$name" ]; then
    echo "$name: the text written back has the program's own layout (the example's comments and layout are not kept)"
  fi
  echo
done
echo "Output in $out"
[ "$failures" -eq 0 ]
