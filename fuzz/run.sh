#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#
#   fuzz/run.sh [-t SECONDS] [-b BUILD_DIR] [TARGET ...]
#   fuzz/run.sh -V [TARGET ...]
#
# Without targets every *_fuzz target runs, one after the other, on one core.
# Each run starts from the seed corpus (written by fuzz_seeds from the
# examples, the definitions and hand-made cases), the corpus that earlier
# runs kept in fuzz/out/<target>/corpus, and fuzz/dict/<target>.dict when
# there is one. The inputs of fuzz/regressions/<target>/ (reproducers of
# past findings) are run once first. Any crash, leak, timeout or excess of
# memory fails the script; the input that caused it is left in
# fuzz/out/<target>/ (crash-*, leak-*, timeout-*, oom-*). The executions of
# each run are appended to fuzz/out/stats.txt.
#
# With -V nothing is fuzzed: the targets are built without sanitizers (in
# build-fuzz-plain) and replay their kept corpora and seeds once under
# valgrind, which also sees reads of uninitialised memory.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds=30
build="$root/build-fuzz"
replay=0
while getopts "t:b:V" opt; do
  case $opt in
    t) seconds="$OPTARG" ;;
    b) build="$(realpath -m "$OPTARG")" ;;
    V) replay=1 ;;
    *) echo "usage: $0 [-t SECONDS] [-b BUILD_DIR] [TARGET ...] | $0 -V [TARGET ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

if [ $replay -eq 1 ]; then
  plain="$root/build-fuzz-plain"
  # valgrind reads DWARF 4, not the DWARF 5 that clang writes by default.
  cmake -S "$here" -B "$plain" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" -DVEXLOR_FUZZ_SANITIZE=OFF \
    -DCMAKE_CXX_FLAGS=-gdwarf-4 >/dev/null
  cmake --build "$plain" -j"${FUZZ_BUILD_JOBS:-2}" >/dev/null
  rm -rf "$plain/seeds"
  "$plain/fuzz_seeds" "$plain/seeds" >/dev/null
  targets=("$@")
  if [ ${#targets[@]} -eq 0 ]; then
    for src in "$here"/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
  fi
  failed=()
  for t in "${targets[@]}"; do
    mkdir -p "$root/fuzz/out/$t/corpus" "$plain/seeds/$t"
    log="$root/fuzz/out/$t/valgrind.log"
    if valgrind --error-exitcode=99 -q --leak-check=full --errors-for-leak-kinds=definite \
        "$plain/$t" -runs=0 "$root/fuzz/out/$t/corpus" "$plain/seeds/$t" </dev/null >"$log" 2>&1; then
      echo "== $t: $(sed -n 's/^#\([0-9]*\).*DONE.*/\1/p' "$log") inputs replayed under valgrind, clean"
    else
      echo "== $t: valgrind found problems (see $log)"
      failed+=("$t")
    fi
  done
  [ ${#failed[@]} -eq 0 ] || { echo "valgrind found problems in: ${failed[*]}" >&2; exit 1; }
  exit 0
fi

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" >/dev/null
cmake --build "$build" -j"${FUZZ_BUILD_JOBS:-2}" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$here"/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

rm -rf "$build/seeds"
"$build/fuzz_seeds" "$build/seeds" >/dev/null

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
out="$root/fuzz/out"
mkdir -p "$out"
failed=()
for t in "${targets[@]}"; do
  exe="$build/$t"
  [ -x "$exe" ] || { echo "no such target: $t" >&2; exit 2; }
  mkdir -p "$out/$t/corpus" "$build/seeds/$t"
  if [ -d "$here/regressions/$t" ] && [ -n "$(ls -A "$here/regressions/$t")" ]; then
    echo "== $t: regression inputs"
    if ! "$exe" -runs=1 -timeout=20 "$here/regressions/$t"/* </dev/null >"$out/$t/regressions.log" 2>&1; then
      tail -n 40 "$out/$t/regressions.log"
      failed+=("$t (regression)")
      continue
    fi
  fi
  args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1
        -artifact_prefix="$out/$t/")
  [ -f "$here/dict/$t.dict" ] && args+=(-dict="$here/dict/$t.dict")
  echo "== $t: ${seconds}s"
  # One log per build tree, so that two runs of a target (one per core,
  # sharing its corpus) keep their own.
  log="$out/$t/run-$(basename "$build").log"
  if "$exe" "${args[@]}" ${FUZZ_ARGS:-} "$out/$t/corpus" "$build/seeds/$t" </dev/null >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed+=("$t")
    grep -E "ERROR|SUMMARY|^==|Test unit written|artifact" "$log" | head -n 40 || true
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "   $status, ${execs:-?} executions"
  echo "$(date -u +%FT%TZ) $t ${seconds}s ${execs:-?} executions $status" >>"$out/stats.txt"
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no findings"
