#!/usr/bin/env bash
# Fails when the library holds writable global data: a symbol of the
# library's objects (not the program's, not the tests') in .data, .bss,
# .tdata, .tbss or a section of theirs, or a common symbol. Sections that
# are only written while relocating (.data.rel.ro) are read-only data.
#
#   scripts/check-global-data.sh [build dir]
#
# The build directory (default: build-globals) is configured, when it has
# not been, as a debug build of the library alone: link-time optimisation
# would leave objects of intermediate code without their symbols.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build-globals}")

# Symbols that may sit in a writable section, as extended regular
# expressions on the (mangled) name, each with what makes it no state.
allowed=(
  # Indirect references the exception tables use (the personality routine,
  # type information of caught exceptions): filled in by the loader, never
  # written after.
  '^DW\.ref\.'
)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVEXLOR_BUILD_TESTS=OFF -DVEXLOR_LIBRARIES=OFF >/dev/null
fi
cmake --build "$build" --target vexlor_core -j2 >/dev/null
library=$build/src/libvexlor_core.a
[ -f "$library" ] || { echo "check-global-data: no $library" >&2; exit 1; }

if objdump -h "$library" | grep '\.gnu\.lto_' >/dev/null; then
  echo "check-global-data: $library was built with link-time optimisation; use a build without it" >&2
  exit 1
fi

# objdump -t prints, per member, lines "<address> <flags> <section>\t<size> [<visibility>] <name>".
found=$(objdump -t "$library" | awk -F'\t' '
  /^[^ \t]+\.o:[ \t]+file format/ { member = $1; sub(/:.*/, "", member); next }
  NF < 2 { next }
  {
    n = split($1, left, " "); section = left[n]
    m = split($2, right, " "); name = right[m]
    if (name == section || name == "") next
    if (section == "*COM*" || (section ~ /^\.(data|bss|tdata|tbss)(\.|$)/ && section !~ /^\.data\.rel\.ro(\.|$)/))
      print member "\t" section "\t" name
  }')

offending=()
while IFS=$'\t' read -r member section name; do
  [ -n "$name" ] || continue
  ok=0
  for pattern in "${allowed[@]}"; do
    if [[ $name =~ $pattern ]]; then ok=1; break; fi
  done
  [ $ok -eq 1 ] || offending+=("$member: $section: $(c++filt <<<"$name") ($name)")
done <<<"$found"

if [ ${#offending[@]} -gt 0 ]; then
  echo "check-global-data: the library holds writable global data:" >&2
  printf '  %s\n' "${offending[@]}" >&2
  exit 1
fi
echo "check-global-data: no writable global data in $(objdump -t "$library" | grep -c 'file format') objects of the library"
