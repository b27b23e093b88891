#!/usr/bin/env bash
# End-to-end benchmark of the vexlor program on generated shape documents.
#
#   bench/run.sh            (or: make bench)
#
# Builds a Release tree with the benchmarks (BENCH_BUILD, default
# build-bench), generates documents of about 1, 10 and 100 MB of UTF-16 text,
# and times the real program on each path: the median of RUNS runs after one
# warm-up, wall time per run, peak resident memory from /usr/bin/time. In the
# same run it times zlib's compress and uncompress of the same binary body
# (bench/zlib_ref), the start-up with the shipped definitions, and a grammar
# that backtracks at every value. Then it converts 10,000 small files with one
# `vexlor --batch` and with one process per file (see "many small files"
# below). Prints the table and writes it to bench/results.md.
#
# Settings (environment):
#   BENCH_SIZES   document sizes in MB        default "1 10 100"
#   RUNS          timed runs per measurement  default 5
#   RUNS_LARGE    timed runs for documents of 50 MB and more   default RUNS
#                 (documents under 10 MB take four times RUNS)
#   BENCH_BUILD   build directory             default build-bench
#   BENCH_DEFLATE deflate library of the build: libdeflate or zlib
#                 (VEXLOR_DEFLATE)   default: the build's own choice
#   BENCH_OUT     results file                default bench/results.md
#   BENCH_PARTS   what to run: "models" (the documents above), "batch"
#                 (many small files, see below)   default "models batch";
#                 a part left out keeps its section of the results file
#   BATCH_FILES   small files of the batch part   default 10000
#   BATCH_RUNS    timed runs of each way          default 3
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
sizes=${BENCH_SIZES:-1 10 100}
runs=${RUNS:-5}
runs_large=${RUNS_LARGE:-$runs}
build=${BENCH_BUILD:-$root/build-bench}
out_file=${BENCH_OUT:-$here/results.md}
jobs=${JOBS:-2}

if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is missing (run scripts/install-deps.sh)" >&2
  exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXLOR_BUILD_BENCH=ON \
  ${BENCH_DEFLATE:+-DVEXLOR_DEFLATE=$BENCH_DEFLATE} >/dev/null
cmake --build "$build" -j"$jobs" --target vexlor gen_model zlib_ref >/dev/null

exe=$build/vexlor
gen=$build/bench/gen_model
zref=$build/bench/zlib_ref
work=$build/benchwork
mkdir -p "$work"
# The program finds Vexlor.cfg and the token definitions in its working
# directory; the backtracking grammar joins the shipped ones there.
cp "$root"/defs/* "$work"/
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/backtrack.bnf"; } >"$work/backtrack.bnf"
cd "$work"

# --- helpers -----------------------------------------------------------------

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print 0; else print v[int((NR + 1) / 2)] }'; }

# Processor time of a run comes from perf's task-clock when perf can count
# it (exact to the microsecond), else from GNU time (to 10 ms).
if perf stat -x, -e task-clock -o "$work/perf.out" true >/dev/null 2>&1 &&
  grep -q task-clock "$work/perf.out"; then
  use_perf=1
else
  use_perf=0
fi

# measure <runs> <command...>: one warm-up, then the timed runs. Sets
# $med_s (median wall seconds), $med_cpu (median processor seconds, user and
# system) and $peak_kb (largest peak RSS of the runs).
measure() {
  local n=$1
  shift
  local times=() cpus=() peak=0 i start end kb cpu
  for ((i = 0; i <= n; i++)); do
    start=$EPOCHREALTIME
    if [ "$use_perf" = 1 ]; then
      perf stat -x, -e task-clock -o "$work/perf.out" -- \
        /usr/bin/time -f "%M %U %S" -o "$work/time.out" "$@" >"$work/cmd.out" 2>&1 || {
        echo "bench: failed: $*" >&2
        cat "$work/cmd.out" >&2
        exit 1
      }
    elif ! /usr/bin/time -f "%M %U %S" -o "$work/time.out" "$@" >"$work/cmd.out" 2>&1; then
      echo "bench: failed: $*" >&2
      cat "$work/cmd.out" >&2
      exit 1
    fi
    end=$EPOCHREALTIME
    read -r kb user sys < <(tail -n 1 "$work/time.out")
    if [ "$use_perf" = 1 ]; then
      cpu=$(awk -F, '$3 == "task-clock" { printf "%.6f", $1 / 1000 }' "$work/perf.out")
    else
      cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.6f", u + s }')
    fi
    [ "$i" -eq 0 ] && continue
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')")
    cpus+=("$cpu")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  med_s=$(printf '%s\n' "${times[@]}" | median)
  med_cpu=$(printf '%s\n' "${cpus[@]}" | median)
  peak_kb=$peak
}

size_of() { stat -c %s "$1"; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
verdict() { awk -v ok="$1" 'BEGIN { print (ok ? "met" : "**missed**") }'; }
mvps() { awk -v v="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? v / s / 1e6 : 0) }'; }

# Generated documents are kept between runs; a newer generator remakes them.
generate() { # name size [--backtrack]
  local name=$1 size=$2
  shift 2
  if [ ! -f "$name" ] || [ ! -f "$name.values" ] || [ "$gen" -nt "$name" ]; then
    "$gen" "$name" "$size" 1 "$@" >"$name.values"
  fi
  cat "$name.values"
}

rows=()
# add_row document path values source_bytes output_bytes: the last measure.
add_row() {
  local mem_ratio peak_mb
  mem_ratio=$(ratio "$((peak_kb * 1024))" "$(($4 + $5))")
  peak_mb=$(awk -v k="$peak_kb" 'BEGIN { printf "%.0f", k / 1024 }')
  rows+=("| $1 | $2 | $(printf '%.3f' "$med_cpu") | $(mvps "$3" "$med_cpu") | $(printf '%.3f' "$med_s") | $(mvps "$3" "$med_s") | $peak_mb | $mem_ratio |")
  echo "  $2: $(printf '%.3f' "$med_cpu") s processor, $(mvps "$3" "$med_cpu") M values/s; wall $(printf '%.3f' "$med_s") s; peak $peak_mb MB (x$mem_ratio of source + output)" >&2
}

declare -A result wall
max_mem_ratio=0
note_mem() { # peak_kb source output
  local r
  r=$(ratio "$(($1 * 1024))" "$(($2 + $3))")
  max_mem_ratio=$(awk -v a="$r" -v b="$max_mem_ratio" 'BEGIN { print (a > b ? a : b) }')
}

# --- many small files: one batch against a process per file ----------------------
#
# BATCH_FILES small shape documents (1 to 4 KB of text each, bench/gen_model
# --many) converted by one `vexlor --batch` with its default number of jobs
# and by one process per file started by `xargs -P` with as many processes,
# text → binary and binary → text. The two are timed alternately, so that a
# change of the machine's load falls on both; figures are medians of
# BATCH_RUNS runs of each after one warm-up of the batch (which reads every
# source into the file cache). Both must write the same bytes.
batch_heading="## Many small files: --batch against a process per file"
batch_files=${BATCH_FILES:-10000}
batch_runs=${BATCH_RUNS:-3}
# The batch's default: one job per core.
batch_procs=$(nproc)

# run_many <output directory> <command...>: one timed run into an emptied
# output directory. Sets $run_s (wall seconds) and $run_cpu (processor
# seconds of every process, user and system).
run_many() {
  local dir=$1
  shift
  rm -rf "$dir"
  mkdir -p "$dir"
  local start end user sys
  start=$EPOCHREALTIME
  if ! /usr/bin/time -f "%U %S" -o "$work/many-time.out" "$@" >"$work/many-cmd.out" 2>&1; then
    echo "bench: failed: $*" >&2
    tail -n 20 "$work/many-cmd.out" >&2
    exit 1
  fi
  end=$EPOCHREALTIME
  read -r user sys < <(tail -n 1 "$work/many-time.out")
  run_s=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
  run_cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.6f", u + s }')
  local written
  written=$(find "$dir" -type f | wc -l)
  if [ "$written" -ne "$batch_files" ]; then
    echo "bench: $* wrote $written files, not $batch_files" >&2
    exit 1
  fi
}

# compare_many <label> <list> <extension>: sets the row of one direction in
# $many_rows and its ratio in $many_ratio[<label>].
declare -a many_rows
declare -A many_ratio
compare_many() {
  local label=$1 list=$2 ext=$3 i
  local batch_s=() batch_cpu=() procs_s=() procs_cpu=()
  local batch_cmd=("$exe" --quiet --files-from="$list" "/o:many/out-batch/.$ext")
  # The program reads its definitions and writes its lines once per file.
  local procs_cmd=(xargs -d '\n' -P "$batch_procs" -I{} "$exe" {} "/o:many/out-procs/.$ext")
  run_many many/out-batch "${batch_cmd[@]}"
  for ((i = 1; i <= batch_runs; i++)); do
    run_many many/out-batch "${batch_cmd[@]}"
    batch_s+=("$run_s") batch_cpu+=("$run_cpu")
    run_many many/out-procs "${procs_cmd[@]}" <"$list"
    procs_s+=("$run_s") procs_cpu+=("$run_cpu")
    echo "  $label, run $i: batch $(printf '%.2f' "${batch_s[-1]}") s, a process per file $(printf '%.2f' "${procs_s[-1]}") s" >&2
    if [ "$i" -eq 1 ] && ! diff -rq many/out-batch many/out-procs >/dev/null; then
      echo "bench: $label: the batch and the processes wrote different files" >&2
      exit 1
    fi
  done
  local bs bc ps pc bf pf r
  bs=$(printf '%s\n' "${batch_s[@]}" | median)
  bc=$(printf '%s\n' "${batch_cpu[@]}" | median)
  ps=$(printf '%s\n' "${procs_s[@]}" | median)
  pc=$(printf '%s\n' "${procs_cpu[@]}" | median)
  bf=$(awk -v n="$batch_files" -v s="$bs" 'BEGIN { printf "%.0f", n / s }')
  pf=$(awk -v n="$batch_files" -v s="$ps" 'BEGIN { printf "%.0f", n / s }')
  r=$(ratio "$bf" "$pf")
  many_ratio[$label]=$r
  per_file() { awk -v s="$1" -v n="$batch_files" 'BEGIN { printf "%.2f", s * 1000 / n }'; }
  many_rows+=("| $label | $bf | $pf | $r × | $(per_file "$bc") | $(per_file "$pc") | $(verdict "$(awk -v r="$r" 'BEGIN { print (r >= 5) }')") |")
  echo "  $label: batch $bf files/s, a process per file $pf files/s: $r ×" >&2
}

run_batch_part() {
  mkdir -p many
  # The files are kept between runs; a newer generator or another count
  # remakes them.
  if [ ! -f many/made ] || [ "$(cat many/made)" != "$batch_files" ] || [ "$gen" -nt many/made ]; then
    rm -rf many
    mkdir -p many/text
    echo "generating $batch_files small models" >&2
    "$gen" --many many/text "$batch_files" 1 >many/values
    echo "$batch_files" >many/made
  fi
  printf '%s\n' many/text/*.s >many/text.list
  local many_sizes
  many_sizes=$(stat -c %s many/text/*.s | sort -n |
    awk '{ v[NR] = $1 } END { printf "%.1f to %.1f KB of text each (median %.1f KB)", v[1] / 1024, v[NR] / 1024, v[int((NR + 1) / 2)] / 1024 }')
  echo "many small files: $batch_files models, $many_sizes; $batch_procs jobs, $batch_runs runs" >&2

  compare_many "text → binary (zlib)" many/text.list sb
  # The binary sources of the other direction are the batch's last outputs.
  rm -rf many/bin
  mv many/out-batch many/bin
  printf '%s\n' many/bin/*.sb >many/bin.list
  compare_many "binary → text" many/bin.list s
  rm -rf many/out-batch many/out-procs
  # The ceiling of any process per file here: starting one that does nothing.
  local start end floor
  start=$EPOCHREALTIME
  xargs -d '\n' -P "$batch_procs" -I{} true {} <many/text.list
  end=$EPOCHREALTIME
  floor=$(awk -v n="$batch_files" -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", n / (b - a) }')
  echo "  a process per file that does nothing (true): $floor files/s" >&2

  {
    echo "$batch_heading"
    echo
    echo "Produced by \`make bench\` (bench/run.sh, BENCH_PARTS includes \`batch\`) on $(date -u '+%Y-%m-%d %H:%M UTC'),"
    echo "$(nproc) cores. $batch_files shape models, $many_sizes"
    echo "(\`gen_model --many\`), converted by one \`vexlor --batch --files-from=LIST\` with the default number"
    echo "of jobs ($batch_procs) and by one process per file, \`xargs -P $batch_procs\`. Files per second of wall time,"
    echo "median of $batch_runs runs of each, run alternately after one warm-up of the batch; processor time is"
    echo "that of every process together, per file. Both write the same bytes."
    echo
    echo "| Path | --batch files/s | process per file files/s | batch / per file | batch processor ms per file | per file processor ms per file | target ≥ 5 × |"
    echo "|---|---|---|---|---|---|---|"
    printf '%s\n' "${many_rows[@]}"
    echo
    echo "A process per file that does nothing, started the same way (\`xargs -P $batch_procs true\`, one run):"
    echo "$floor files/s, the most any program run once per file could reach on this machine."
  } >"$work/batch.md"
}

# The results file without the section of the batch part, trailing blank
# lines left out.
results_without_batch() {
  [ -f "$out_file" ] || return 0
  awk -v h="$batch_heading" '$0 == h { exit } { line[NR] = $0; if ($0 != "") last = NR } END { for (i = 1; i <= last; i++) print line[i] }' "$out_file"
}
# The section of the batch part in the results file, if any.
results_batch_section() {
  [ -f "$out_file" ] || return 0
  awk -v h="$batch_heading" '$0 == h { on = 1 } on' "$out_file"
}

parts=${BENCH_PARTS:-models batch}
want() { [[ " $parts " == *" $1 "* ]]; }
if ! want models; then
  if ! want batch; then
    echo "bench: BENCH_PARTS names no part (models, batch): '$parts'" >&2
    exit 2
  fi
  # The batch part alone: the models' results of the last full run stay.
  run_batch_part
  {
    results_without_batch
    [ -s "$out_file" ] && echo
    cat "$work/batch.md"
  } >"$out_file.tmp"
  mv "$out_file.tmp" "$out_file"
  cat "$work/batch.md"
  exit 0
fi

# --- start-up ------------------------------------------------------------------

# The usage text with the shipped definitions, from the program's directory.
cd "$build"
measure 20 ./vexlor
startup_net_ms=$(awk -v s="$med_cpu" 'BEGIN { printf "%.2f", s * 1000 }')
startup_peak_kb=$peak_kb
# Its wall time without perf and GNU time around it.
startup_times=()
for ((i = 0; i <= 20; i++)); do
  start=$EPOCHREALTIME
  ./vexlor >/dev/null 2>&1 || true
  end=$EPOCHREALTIME
  [ "$i" -eq 0 ] && continue
  startup_times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')")
done
startup_wall_ms=$(printf '%s\n' "${startup_times[@]}" | median | awk '{ printf "%.2f", $1 * 1000 }')
cd "$work"
echo "start-up (usage printed): ${startup_net_ms} ms processor, ${startup_wall_ms} ms wall" >&2

# --- documents -----------------------------------------------------------------

declare -A mvs rates
# zlib_ref times libdeflate too when the program uses it.
deflate_library=zlib
largest=""
net_mvps() { awk -v v="$1" -v s="$2" -v u="$startup_net_ms" 'BEGIN { n = s - u / 1000; printf "%.1f", (n > 0 ? v / n / 1e6 : 0) }'; }
for size in $sizes; do
  n=$runs
  [ "$size" -ge 50 ] && n=$runs_large
  # A run on a small document takes milliseconds: more of them keep its
  # median steady.
  [ "$size" -lt 10 ] && n=$((runs * 4))
  [ "$size" -ge 10 ] && [ "$size" -lt 50 ] && n=$((runs * 2))
  max_mem_ratio=0  # the targets hold for the largest document
  doc=model$size.s
  values=$(generate "$doc" "$size")
  src=$(size_of "$doc")
  echo "model $size MB: $(mb "$src") MB text, $values values, $n runs" >&2
  label="model $size MB"

  measure "$n" "$exe" "$doc" /u /o:model$size.sb
  t_u=$med_cpu w_u=$med_s p_u=$peak_kb
  bin=$(size_of model$size.sb)
  add_row "$label" "text → binary /u" "$values" "$src" "$bin"
  note_mem "$peak_kb" "$src" "$bin"

  measure "$n" "$exe" "$doc" /o:model$size.zsb
  t_z=$med_cpu w_z=$med_s
  zbin=$(size_of model$size.zsb)
  add_row "$label" "text → binary, default (\"F\")" "$values" "$src" "$zbin"
  note_mem "$peak_kb" "$src" "$zbin"

  measure "$n" "$exe" "$doc" /k
  t_k=$med_cpu w_k=$med_s
  add_row "$label" "/k check of text" "$values" "$src" 0
  note_mem "$peak_kb" "$src" 0

  measure "$n" "$exe" model$size.sb /o:model${size}_b.s
  t_b=$med_cpu w_b=$med_s
  txt=$(size_of model${size}_b.s)
  add_row "$label" "binary → text" "$values" "$bin" "$txt"
  note_mem "$peak_kb" "$bin" "$txt"

  # JSON written from the binary, and read back with no output (as the /k
  # check of the text): its read rate against the text's.
  measure "$n" "$exe" model$size.sb --to=json /o:model$size.json
  json=$(size_of model$size.json)
  add_row "$label" "binary → JSON" "$values" "$bin" "$json"
  measure "$n" "$exe" model$size.json /k
  add_row "$label" "/k check of JSON" "$values" "$json" 0
  json_read=$(ratio "$(net_mvps "$values" "$med_cpu")" "$(net_mvps "$values" "$t_k")")
  rows+=("| $label | JSON read ÷ text read (values/s, target ≥ 0.8): $json_read × | | | | | | |")

  # A compressed binary source needs a different name: the output name
  # takes the source's base name only when the file part is missing.
  measure "$n" "$exe" model$size.zsb /o:model${size}_f.s
  t_f=$med_cpu w_f=$med_s
  ftxt=$(size_of model${size}_f.s)
  add_row "$label" "binary \"F\" → text" "$values" "$zbin" "$ftxt"
  note_mem "$peak_kb" "$zbin" "$ftxt"

  lib_packed="" lw_c="" lw_d="" lt_c="" lt_d=""
  read -r body packed w_c w_d t_c t_d lib_packed lw_c lw_d lt_c lt_d < <("$zref" model$size.sb "$n")
  rows+=("| $label | zlib compress of the body alone | $(printf '%.3f' "$t_c") | | $(printf '%.3f' "$w_c") | | | |")
  rows+=("| $label | zlib uncompress of the body alone | $(printf '%.3f' "$t_d") | | $(printf '%.3f' "$w_d") | | | |")
  echo "  zlib: compress $t_c s, uncompress $t_d s processor ($body -> $packed bytes; vexlor wrote $zbin)" >&2
  if [ -n "$lib_packed" ]; then
    deflate_library=libdeflate
    rows+=("| $label | libdeflate compress (level 6) of the body alone | $(printf '%.3f' "$lt_c") | | $(printf '%.3f' "$lw_c") | | | |")
    rows+=("| $label | libdeflate uncompress of the body alone | $(printf '%.3f' "$lt_d") | | $(printf '%.3f' "$lw_d") | | | |")
    echo "  libdeflate: compress $lt_c s, uncompress $lt_d s processor ($body -> $lib_packed bytes)" >&2
  fi

  bt=backtrack$size.s
  bt_values=$(generate "$bt" "$size" --backtrack)
  bt_src=$(size_of "$bt")
  measure "$n" "$exe" "$bt" /u /o:backtrack$size.sb
  t_bt=$med_cpu
  add_row "backtrack $size MB" "text → binary /u, backtracking at every value" "$bt_values" "$bt_src" \
    "$(size_of backtrack$size.sb)"
  note_mem "$peak_kb" "$bt_src" "$(size_of backtrack$size.sb)"

  # The rates compared across sizes are those of the conversion itself: the
  # start-up every run pays (measured above) is taken off first, or the
  # smallest document would look slow for a cost that does not grow.
  mvs[$size,u]=$(net_mvps "$values" "$t_u")
  mvs[$size,z]=$(net_mvps "$values" "$t_z")
  mvs[$size,k]=$(net_mvps "$values" "$t_k")
  mvs[$size,b]=$(net_mvps "$values" "$t_b")
  mvs[$size,f]=$(net_mvps "$values" "$t_f")
  mvs[$size,bt]=$(net_mvps "$bt_values" "$t_bt")
  rates[$size]="${mvs[$size,u]} ${mvs[$size,z]} ${mvs[$size,k]} ${mvs[$size,b]} ${mvs[$size,f]} ${mvs[$size,bt]}"
  result[$size]="$t_u $t_z $t_k $t_b $t_f $t_c $t_d $values $packed $zbin"
  wall[$size]="$w_u $w_z $w_k $w_b $w_f $w_c $w_d"
  largest=$size
done

# --- targets on the largest document -----------------------------------------------

read -r t_u t_z t_k t_b t_f t_c t_d values packed zbin <<<"${result[$largest]}"
read -r w_u w_z w_k w_b w_f w_c w_d <<<"${wall[$largest]}"
targets=()
v=$(mvps "$values" "$t_u")
targets+=("| text → binary /u | ≥ 25 M values/s | $v M values/s (wall: $(mvps "$values" "$w_u")) | $(verdict "$(awk -v v="$v" 'BEGIN { print (v >= 25) }')") |")
r=$(ratio "$t_z" "$t_c")
# The file may be no larger than zlib's default level makes it: the stream
# zlib_ref made plus the 16-byte container header.
zfile=$((packed + 16))
targets+=("| text → binary, default (\"F\") | ≤ 0.6 × zlib compress alone, file ≤ zlib's default level | $r × ($(printf '%.3f' "$t_z") s vs $(printf '%.3f' "$t_c") s; wall: $(ratio "$w_z" "$w_c") ×); file $zbin bytes, zlib's $zfile | $(verdict "$(awk -v r="$r" -v a="$zbin" -v b="$zfile" 'BEGIN { print (r <= 0.6 && a <= b) }')") |")
v=$(mvps "$values" "$t_k")
targets+=("| /k check of text | ≥ 30 M values/s | $v M values/s (wall: $(mvps "$values" "$w_k")) | $(verdict "$(awk -v v="$v" 'BEGIN { print (v >= 30) }')") |")
v=$(mvps "$values" "$t_b")
targets+=("| binary → text | ≥ 20 M values/s | $v M values/s (wall: $(mvps "$values" "$w_b")) | $(verdict "$(awk -v v="$v" 'BEGIN { print (v >= 20) }')") |")
r=$(awk -v f="$t_f" -v b="$t_b" -v d="$t_d" 'BEGIN { printf "%.2f", (d > 0 ? (f - b) / d : 0) }')
rw=$(awk -v f="$w_f" -v b="$w_b" -v d="$w_d" 'BEGIN { printf "%.2f", (d > 0 ? (f - b) / d : 0) }')
targets+=("| binary \"F\" → text | ≤ binary → text + 0.8 × zlib uncompress alone | $(printf '%.3f' "$t_f") s = binary → text + $r × uncompress (wall: $rw ×) | $(verdict "$(awk -v r="$r" 'BEGIN { print (r <= 0.8) }')") |")
targets+=("| peak memory, every path | ≤ 1.5 × (source + output) | $max_mem_ratio × at most | $(verdict "$(awk -v r="$max_mem_ratio" 'BEGIN { print (r <= 1.5) }')") |")
targets+=("| start-up, usage printed | ≤ 5 ms | $startup_net_ms ms (wall: $startup_wall_ms ms) | $(verdict "$(awk -v v="$startup_net_ms" 'BEGIN { print (v <= 5) }')") |")
# Values per second may not fall as documents grow: every path's rates stay
# within 20 % of each other across the sizes.
worst=0
for p in u z k b f bt; do
  spread=$(for size in $sizes; do echo "${mvs[$size,$p]}"; done |
    awk 'NR == 1 { lo = hi = $1 } { if ($1 < lo) lo = $1; if ($1 > hi) hi = $1 } END { printf "%.2f", (lo > 0 ? hi / lo - 1 : 0) }')
  worst=$(awk -v a="$spread" -v b="$worst" 'BEGIN { print (a > b ? a : b) }')
done
worst_pct=$(awk -v w="$worst" 'BEGIN { printf "%.0f", w * 100 }')
# The largest fall of a rate from a smaller document to a larger one: what
# growing documents cost (quadratic work would show here).
fall=0
for p in u z k b f bt; do
  f=$(for size in $sizes; do echo "${mvs[$size,$p]}"; done |
    awk '{ if (NR > 1) { for (i = 1; i < NR; i++) if (v[i] > 0 && 1 - $1 / v[i] > d) d = 1 - $1 / v[i] } v[NR] = $1 } END { printf "%.2f", d + 0 }')
  fall=$(awk -v a="$f" -v b="$fall" 'BEGIN { print (a > b ? a : b) }')
done
fall_pct=$(awk -v w="$fall" 'BEGIN { printf "%.0f", w * 100 }')
targets+=("| rate across sizes ($(echo $sizes | sed 's/ /, /g') MB), every path incl. backtracking, start-up taken off | within 20 % | largest spread $worst_pct % (largest fall as documents grow: $fall_pct %) | $(verdict "$(awk -v w="$worst" 'BEGIN { print (w <= 0.2) }')") |")

# --- where the time goes -------------------------------------------------------
#
# Instructions per value (callgrind counts them, so they hold still on a busy
# machine) show whether work grows with the document; perf's samples of the
# largest document show where the processor time goes.
declare -A ipv
have_callgrind=0
if command -v valgrind >/dev/null 2>&1; then
  have_callgrind=1
  instructions() { # values command...
    local v=$1
    shift
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
      awk -v v="$v" '/Collected :/ { printf "%.0f", $NF / v }'
  }
  for size in $sizes; do
    echo "callgrind: model $size MB" >&2
    values=$(cat model$size.s.values)
    ipv[$size,u]=$(instructions "$values" "$exe" model$size.s /u /o:cg.sb)
    ipv[$size,k]=$(instructions "$values" "$exe" model$size.s /k)
    ipv[$size,b]=$(instructions "$values" "$exe" model$size.sb /o:cg.s)
    ipv[$size,bt]=$(instructions "$(cat backtrack$size.s.values)" "$exe" backtrack$size.s /u /o:cg.sb)
  done
  rm -f cg.sb cg.s
fi

# perf_shares <name> <command...>: samples processor time of one run and sets
# share[<name>,kernel|zero|zlib|program] (per cent of all samples) and
# top[<name>] (the program's own costliest functions).
declare -A share top
have_profile=0
perf_shares() {
  local name=$1
  shift
  perf record -q -e cpu-clock -F 4999 -o "$work/profile.data" -- "$@" >/dev/null 2>&1 || return 1
  perf report -i "$work/profile.data" --stdio --sort dso,sym 2>/dev/null >"$work/profile.txt" || return 1
  read -r share[$name,kernel] share[$name,zero] share[$name,zlib] share[$name,program] < <(awk '
    /^ *[0-9.]+%/ {
      p = $1; sub(/%/, "", p)
      if ($2 == "[kernel.kallsyms]") { k += p; if ($4 ~ /^clear_page/) z += p }
      else if ($2 ~ /^lib(z|deflate)\./) zl += p
      else if ($2 == "vexlor") pr += p
    }
    END { printf "%.0f %.0f %.0f %.0f\n", k, z, zl, pr }' "$work/profile.txt")
  top[$name]=$(awk '$2 == "vexlor" && /^ *[0-9.]+%/ && n < 6 {
      s = $4; for (i = 5; i <= NF; i++) s = s " " $i
      sub(/^\(anonymous namespace\)::/, "", s); sub(/\(.*$/, "", s)
      printf "%s%s %s", (n ? ", " : ""), s, $1; n++ }' "$work/profile.txt")
  rm -f "$work/profile.data" "$work/profile.data.old"
}
if [ "$use_perf" = 1 ] && perf_shares u "$exe" model$largest.s /u /o:profile.sb; then
  have_profile=1
  echo "perf: profiling the $largest MB document" >&2
  perf_shares z "$exe" model$largest.s /o:profile.zsb || true
  perf_shares k "$exe" model$largest.s /k || true
  perf_shares b "$exe" model$largest.sb /o:profile.s || true
  perf_shares f "$exe" model$largest.zsb /o:profile_f.s || true
  rm -f profile.sb profile.zsb profile.s profile_f.s
fi

values=$(cat model$largest.s.values)
src=$(size_of model$largest.s)
bin=$(size_of model$largest.sb)
# Numbers lie packed in the tree, as in the binary form: the binary body is
# about the size of the tree.
tree_mb=$(awk -v b="$bin" 'BEGIN { printf "%.0f", b / 1e6 }')
# The largest allowance of the paths, 1.5 × (source + output), and its path.
read -r budget budget_path < <(printf '%s\n' "$((src + bin)) text-binary-/u" "$((src + zbin)) text-binary-(\"F\")" \
  "$((bin + txt)) binary-text" "$((zbin + ftxt)) binary-\"F\"-text" |
  sort -g | tail -n 1 | awk '{ printf "%.0f %s\n", 1.5 * $1 / 1e6, $2 }')
budget_path=${budget_path//-/ }
budget_path=${budget_path/ binary/ → binary}
budget_path=${budget_path/ text/ → text}
missed() { awk -v ok="$1" 'BEGIN { exit !(ok == 0) }'; }
what=()
# profiled <path> <text>: the text when that path was profiled.
profiled() { [ "$have_profile" = 1 ] && [ -n "${share[$1,kernel]:-}" ] && printf '%s' "$2"; }
if missed "$(awk -v v="$values" -v t="$t_u" 'BEGIN { print (v / t / 1e6 >= 25) }')"; then
  line="- **text → binary /u** takes $(printf '%.3f' "$t_u") s; 25 M values/s needs $(awk -v v="$values" 'BEGIN { printf "%.3f", v / 25e6 }') s."
  line+=$(profiled u " ${share[u,kernel]:-} % of its samples are in the kernel (reading the source, ${share[u,zero]:-} % clearing the fresh pages of the source buffer, the tree of about $tree_mb MB and the output; peak $((p_u / 1024)) MB); the program's own share is ${share[u,program]:-} % (${top[u]:-}).")
  what+=("$line")
fi
if missed "$(awk -v a="$t_z" -v c="$t_c" -v z="$zbin" -v f="$zfile" 'BEGIN { print (a <= 0.6 * c && z <= f) }')"; then
  line="- **text → binary, default**: zlib's compress of the body alone takes $(printf '%.3f' "$t_c") s, so the whole path may take $(awk -v c="$t_c" 'BEGIN { printf "%.3f", 0.6 * c }') s; reading, matching and writing take $(printf '%.3f' "$t_u") s by themselves (the /u path)"
  if [ -n "$lt_c" ]; then
    line+=", and this build's deflate library, libdeflate, compresses the body in $(printf '%.3f' "$lt_c") s alone, so /u + libdeflate comes to $(awk -v u="$t_u" -v l="$lt_c" 'BEGIN { printf "%.3f", u + l }') s."
  else
    line+="; this build compresses with zlib, so the path cannot take less than compress itself (build with libdeflate)."
  fi
  line+=$(profiled z " The deflate library is ${share[z,zlib]:-} % of this path's samples.")
  line+=" The compression cannot overlap the reading: the body is compressed whole, after the block sizes are patched in. Its file: $zbin bytes against $zfile from zlib's default level."
  what+=("$line")
fi
if missed "$(awk -v v="$values" -v t="$t_k" 'BEGIN { print (v / t / 1e6 >= 30) }')"; then
  line="- **/k** takes $(printf '%.3f' "$t_k") s; 30 M values/s needs $(awk -v v="$values" 'BEGIN { printf "%.3f", v / 30e6 }') s."
  line+=$(profiled k " ${share[k,kernel]:-} % of its samples are in the kernel (${share[k,zero]:-} % clearing fresh pages), ${share[k,program]:-} % in the program (${top[k]:-}).")
  line+=" A check reads and matches the whole text as a conversion does."
  what+=("$line")
fi
if missed "$(awk -v f="$t_f" -v b="$t_b" -v d="$t_d" 'BEGIN { print (f - b <= 0.8 * d) }')"; then
  line="- **binary \"F\" → text** takes $(printf '%.3f' "$t_f") s, $(awk -v f="$t_f" -v b="$t_b" 'BEGIN { printf "%.3f", f - b }') s more than binary → text, against $(printf '%.3f' "$t_d") s for zlib's uncompress alone"
  [ -n "$lt_d" ] && line+=" and $(printf '%.3f' "$lt_d") s for libdeflate's, this build's"
  line+="."
  line+=$(profiled f " The deflate library is ${share[f,zlib]:-} % of its samples, about $(awk -v p="${share[f,zlib]:-0}" -v f="$t_f" 'BEGIN { printf "%.3f", p * f / 100 }') s.")
  line+=" The program inflates the body once, with one call into a buffer of exactly the size the header names, which the reader then works on; the two times compared are short, so the variation between runs of this shared machine weighs heavily on their ratio."
  what+=("$line")
fi
if missed "$(awk -v r="$max_mem_ratio" 'BEGIN { print (r <= 1.5) }')"; then
  what+=("- **Peak memory** reaches $max_mem_ratio × (source + output). The text source is held whole while it is read (about its own size again in UTF-16), the tree takes about the binary body's size ($tree_mb MB), and a compressed output is built from the whole body; the largest allowance is $budget MB, for $budget_path.")
fi
if missed "$(awk -v w="$worst" 'BEGIN { print (w <= 0.2) }')" && [ "$have_callgrind" = 1 ]; then
  # The largest change of instructions per value from a smaller document to
  # a larger one, over every path.
  ipv_rise=0
  for p in u k b bt; do
    r=$(for size in $sizes; do echo "${ipv[$size,$p]:-0}"; done |
      awk '{ if (NR > 1) for (i = 1; i < NR; i++) if (v[i] > 0 && $1 / v[i] - 1 > d) d = $1 / v[i] - 1; v[NR] = $1 } END { printf "%.3f", d + 0 }')
    ipv_rise=$(awk -v a="$r" -v b="$ipv_rise" 'BEGIN { print (a > b ? a : b) }')
  done
  line="- **Rates across sizes**: instructions per value rise by at most $(awk -v r="$ipv_rise" 'BEGIN { printf "%.0f", r * 100 }') % from a smaller document to a larger one (table above)"
  if awk -v r="$ipv_rise" 'BEGIN { exit !(r <= 0.05) }'; then
    line+=", so no work grows faster than the document. The spread is in the processor time itself: runs of a few milliseconds on a shared machine, and the kernel's cost of fresh pages, which differs between small and large allocations."
  else
    line+=": some work grows faster than the document."
  fi
  what+=("$line")
fi

want batch && run_batch_part
{
  echo "# Benchmark results"
  echo
  echo "Produced by \`make bench\` (bench/run.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores,"
  echo "$(uname -sr). Each figure is the median of $runs runs after one warm-up"
  [ "$runs_large" != "$runs" ] && echo "($runs_large runs for documents of 50 MB and more)"
  echo "($((runs * 4)) runs for documents under 10 MB, $((runs * 2)) from 10 MB to under 50 MB)"
  echo "of the real \`vexlor\` process. Processor time (user + system, from perf's task-clock or GNU time) is"
  echo "what the targets are judged on: the machine is shared, and wall time also counts the waits for a core"
  echo "(both are shown). Peak memory is the largest resident set of those runs. The zlib rows time"
  echo "compress()/uncompress() of the same binary body inside one process, without file I/O (and the"
  echo "libdeflate rows, where the program uses libdeflate, its zlib functions at level 6)."
  echo "The program's deflate library: $deflate_library."
  echo
  echo "## Targets on the ${largest} MB document"
  echo
  echo "| Path | Target | Measured | |"
  echo "|---|---|---|---|"
  printf '%s\n' "${targets[@]}"
  echo
  echo "Rates across sizes (M values/s of processor time, start-up taken off):"
  echo
  echo "| Document | text → binary /u | text → binary (\"F\") | /k | binary → text | binary \"F\" → text | backtracking /u |"
  echo "|---|---|---|---|---|---|---|"
  for size in $sizes; do echo "| $size MB | $(echo ${rates[$size]} | sed 's/ / | /g') |"; done
  echo
  echo "## All measurements"
  echo
  echo "| Document | Path | Processor s | M values/s | Wall s | M values/s (wall) | Peak MB | Peak / (source + output) |"
  echo "|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Start-up with the shipped definitions, usage printed: $startup_net_ms ms processor, $startup_wall_ms ms wall"
  echo "(median of 20 runs, process start and exit included), peak $((startup_peak_kb / 1024)) MB."
  if [ "$have_callgrind" = 1 ]; then
    echo
    echo "## Instructions per value"
    echo
    echo "Counted by valgrind's callgrind over the whole run, start-up included, so they do not depend on the load"
    echo "of the machine. Work that grew faster than the document would show as a rising count."
    echo
    echo "| Document | text → binary /u | /k | binary → text | backtracking /u |"
    echo "|---|---|---|---|---|"
    for size in $sizes; do echo "| $size MB | ${ipv[$size,u]} | ${ipv[$size,k]} | ${ipv[$size,b]} | ${ipv[$size,bt]} |"; done
  fi
  if [ "$have_profile" = 1 ]; then
    echo
    echo "## Where the time goes (${largest} MB document)"
    echo
    echo "Shares of perf's processor-time samples (cpu-clock) of one run. \"Clearing pages\" is the kernel"
    echo "zeroing memory the process touches for the first time; it is part of the kernel's share."
    echo
    echo "| Path | Kernel | Clearing pages | Deflate library | Program | Program's costliest functions |"
    echo "|---|---|---|---|---|---|"
    for p in u z k b f; do
      case $p in
        u) label="text → binary /u" ;;
        z) label="text → binary, default (\"F\")" ;;
        k) label="/k check of text" ;;
        b) label="binary → text" ;;
        f) label="binary \"F\" → text" ;;
      esac
      [ -n "${share[$p,kernel]:-}" ] || continue
      echo "| $label | ${share[$p,kernel]} % | ${share[$p,zero]} % | ${share[$p,zlib]} % | ${share[$p,program]} % | ${top[$p]} |"
    done
  fi
  if [ ${#what[@]} -gt 0 ]; then
    echo
    echo "## Targets missed: why, and what it would take"
    echo
    printf '%s\n' "${what[@]}"
  fi
  # The batch part's section, new or from the last run.
  if want batch; then
    echo
    cat "$work/batch.md"
  elif [ -n "$(results_batch_section)" ]; then
    echo
    results_batch_section
  fi
} >"$out_file.tmp"
mv "$out_file.tmp" "$out_file"
cat "$out_file"
