#!/usr/bin/env bash
# Sequential circuits on the ISCAS'89 benchmarks, three tables:
# 1. every sequential model (macro level): `seqatpg -fault_table` with at
#    most MAX_SIMULATIONS sequences, then `sequential` on the file it wrote;
#    prints faults, untestable, detected, the kept sequence length, the
#    seconds of each program and whether they agree (same Detected, same
#    vector count, same fault marks; "empty" when nothing was kept);
# 2. every full-scan model (macro level): `sequential` and `analyze` timed on
#    copies of one file of PATTERNS random binary patterns (each the best of
#    RUNS runs), their ratio (goal: sequential within 4 times analyze), and
#    whether sequential's fault marks equal analyze's on the file without its
#    first pattern;
# 3. every sequential model at both levels: the values `sequential
#    -faultfree` writes for random sequences with some 'x' inputs against
#    the gate-level three-valued reference `seqcheck`.
# With BASELINE set to the bin folder of an earlier build, a table comes
# first: seqatpg with its default options (plus SEQATPG_OPTIONS), without
# and with -fault_table, on every sequential model (macro level): processor
# seconds (user + system) and peak memory (MB) of both builds, and whether
# every file written, the standard output (the processing-time line aside),
# the error output and the exit status are the same ("same") or not.  The
# earlier build's runs are kept in BASELINE_KEEP (when set) and taken from
# there again while the model is unchanged, so a slow build runs only once.
# Usage: seq_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder), MAX_SIMULATIONS (default 20),
# PATTERNS (default 3200), REF_PATTERNS (default 200), RUNS (default 3),
# BASELINE, BASELINE_KEEP, SEQATPG_OPTIONS (default none), SEQATPG_ONLY (1:
# the first table alone).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "sequential benchmark" import seqatpg sequential analyze seqcheck
need_gnu_time
benchmark_folder
maxsim=${MAX_SIMULATIONS:-20}
patterns=${PATTERNS:-3200}
refpatterns=${REF_PATTERNS:-200}
runs=${RUNS:-3}

circuit_files "$src" "$@"
enter_work_folder
failed=0
notes=()

secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
# The smaller of two second counts ("" counts as none yet).
least() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b + 0 < a + 0) print b; else print a }'; }
now() { date +%s.%N; }
# "Detected n" and "n Vectors" of the last statistics in a program's output.
stats() { awk '/^Detected / { d = $2 } / Vectors$/ { v = $1 } END { print d, v }' "$1"; }
faults_of() { sed -n '/^\.FAULTS/,$p' "$1"; }

# Synthesises every circuit once per view and level: <stem>_<view>_<level>.agm.
models=()
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$(basename "$f"): no such circuit" >&2; failed=1; continue; }
  stem=$(stem_of "$f")
  cp "$f" "$stem.bench"
  bash "$here/fullscan.sh" "$stem.bench" >"${stem}_fs.bench"
  ok=1
  for view in seq fs; do
    name=$stem
    [ $view = fs ] && name=${stem}_fs
    for level in macro gate; do
      [ $view = fs ] && [ $level = gate ] && continue
      if ! synth "$bindir" "$name" $level "${stem}_${view}_$level"; then
        if accepted_refusal "$name.bench" "${stem}_${view}_$level.log"; then
          notes+=("$(basename "$f" .bench) $view $level: refused by import: $REFUSAL")
        else
          notes+=("$(basename "$f" .bench) $view $level: import failed")
          failed=1
        fi
        ok=0
      fi
    done
  done
  [ $ok = 1 ] && models+=("$stem:$(basename "$f" .bench)")
done

# Runs seqatpg of a bin folder on a copy of <design>.agm in a folder of its
# own, so the folder ends with exactly what the program wrote; the outputs,
# the exit status and "user system peak_kB" (the last line of the .time
# file, after any exit-status line) go next to the folder.
run_seqatpg() {  # bindir folder design [option ...]
  local bin=$1 dir=$2 design=$3
  shift 3
  rm -rf "$dir" "$dir".out "$dir".err "$dir".status "$dir".time
  mkdir -p "$dir"
  cp "$design.agm" "$dir/"
  (cd "$dir" && /usr/bin/time -f "%U %S %M" -o "../$(basename "$dir").time" \
     "$bin/seqatpg" "$@" "$design" >"../$(basename "$dir").out" 2>"../$(basename "$dir").err"
   echo $? >"../$(basename "$dir").status")
}
cpu_of() { tail -n 1 "$1.time" | awk '{ printf "%.2f", $1 + $2 }'; }
mb_of() { tail -n 1 "$1.time" | awk '{ printf "%.0f", $3 / 1024 }'; }
# Same files (names and bytes), same outputs but the processing-time line.
same_run() {  # folder folder
  diff -r "$1" "$2" >/dev/null &&
    cmp -s <(grep -v '^Time, used by process:' "$1.out") <(grep -v '^Time, used by process:' "$2.out") &&
    cmp -s "$1.err" "$2.err" && cmp -s "$1.status" "$2.status"
}

if [ -n "${BASELINE:-}" ]; then
  base=$(cd "$BASELINE" && pwd) || exit 2
  [ -x "$base/seqatpg" ] || { echo "no seqatpg in $base" >&2; exit 2; }
  keep=${BASELINE_KEEP:-$work/baseline}
  mkdir -p "$keep"
  keep=$(cd "$keep" && pwd)
  read -r -a extra <<<"${SEQATPG_OPTIONS:-}"
  echo "seqatpg ${SEQATPG_OPTIONS:-(default options)}, this build against $base (sequential models, macro level)"
  echo "processor seconds and peak MB; 'table': with -fault_table"
  printf "%-10s %8s %6s %8s %6s %8s %6s %8s %6s %5s\n" circuit seconds MB table_s MB base_s MB base_t_s MB same
  for m in "${models[@]}"; do
    stem=${m%%:*} circuit=${m#*:}
    d=${stem}_seq_macro
    row=() brow=()
    verdict=yes
    for variant in plain table; do
      opts=("${extra[@]}")
      [ $variant = table ] && opts+=(-fault_table)
      kept=$keep/$circuit.$variant
      # The earlier build's run, again only when the model or the options changed.
      if ! cmp -s "$d.agm" "$kept.agm" || [ "$(cat "$kept.options" 2>/dev/null)" != "${opts[*]}" ] ||
        [ ! -f "$kept.time" ]; then
        run_seqatpg "$base" "$kept" "$d" "${opts[@]}"
        cp "$d.agm" "$kept.agm"
        echo "${opts[*]}" >"$kept.options"
      fi
      run_seqatpg "$bindir" "$d.$variant" "$d" "${opts[@]}"
      row+=("$(cpu_of "$d.$variant")" "$(mb_of "$d.$variant")")
      brow+=("$(cpu_of "$kept")" "$(mb_of "$kept")")
      if ! same_run "$d.$variant" "$kept"; then
        verdict=no
        notes+=("$circuit seqatpg ${opts[*]}: differs from $base")
        failed=1
      fi
    done
    printf "%-10s %8s %6s %8s %6s %8s %6s %8s %6s %5s\n" "$circuit" "${row[@]}" "${brow[@]}" $verdict
  done
  [ "${SEQATPG_ONLY:-0}" = 1 ] && finish
  echo
fi

echo "seqatpg -fault_table -max_simulations $maxsim, then sequential on its file (sequential models, macro level)"
printf "%-10s %7s %10s %8s %7s %8s %8s %6s\n" circuit faults untestable detected kept seqatpg_s seq_s agree
for m in "${models[@]}"; do
  stem=${m%%:*} circuit=${m#*:}
  d=${stem}_seq_macro
  t0=$(now)
  "$bindir/seqatpg" -fault_table -max_simulations "$maxsim" "$d" >"$d.gen" 2>&1
  status=$?
  t1=$(now)
  if [ $status -ne 0 ]; then
    printf "%-10s seqatpg FAILED (status %d)\n" "$circuit" $status
    notes+=("$circuit: seqatpg: $(grep -v '^$' "$d.gen" | tail -n 1)")
    failed=1
    continue
  fi
  read -r gdet gvec <<<"$(stats "$d.gen")"
  untestable=$(awk '/^Untestable / { u = $2 } END { print u }' "$d.gen")
  faults=$(awk '/^Faults / { f = $2 } END { print f }' "$d.gen")
  if [ "$gvec" = 0 ]; then  # nothing kept: no sequence to simulate
    printf "%-10s %7s %10s %8s %7s %8s %8s %6s\n" "$circuit" "$faults" "$untestable" "$gdet" "$gvec" \
      "$(secs "$t0" "$t1")" - empty
    continue
  fi
  cp "$d.tst" "$d.generated"
  t2=$(now)
  "$bindir/sequential" "$d" >"$d.sim" 2>&1
  t3=$(now)
  read -r sdet svec <<<"$(stats "$d.sim")"
  agree=no
  if [ "$gdet" = "$sdet" ] && [ "$gvec" = "$svec" ] && cmp -s <(faults_of "$d.generated") <(faults_of "$d.tst"); then
    agree=yes
  else
    notes+=("$circuit: seqatpg Detected $gdet, $gvec vectors; sequential Detected $sdet, $svec vectors")
    failed=1
  fi
  printf "%-10s %7s %10s %8s %7s %8s %8s %6s\n" "$circuit" "$faults" "$untestable" "$gdet" "$gvec" \
    "$(secs "$t0" "$t1")" "$(secs "$t2" "$t3")" $agree
done

echo
echo "sequential and analyze on $patterns random binary patterns (full-scan models, macro level, best of $runs runs)"
printf "%-10s %7s %8s %8s %6s %6s\n" circuit nodes seq_s analyze_s ratio agree
for m in "${models[@]}"; do
  stem=${m%%:*} circuit=${m#*:}
  d=${stem}_fs_macro
  nodes=$(awk '/^STAT#/ { print $2; exit }' "$d.agm")
  "$bindir/seqcheck" patterns "$d.agm" "$patterns" 1 0 "$d.patterns" || { failed=1; continue; }
  ts= ta=
  for ((r = 0; r < runs; r++)); do
    cp "$d.patterns" "$d.tst"
    t0=$(now)
    "$bindir/sequential" "$d" >"$d.sim" 2>&1
    t1=$(now)
    cp "$d.tst" "$d.seqresult"
    cp "$d.patterns" "$d.tst"
    t2=$(now)
    "$bindir/analyze" "$d" >"$d.ana" 2>&1
    t3=$(now)
    ts=$(least "$ts" "$(secs "$t0" "$t1")") ta=$(least "$ta" "$(secs "$t2" "$t3")")
  done
  # analyze again on the file without its first pattern, for the fault marks.
  awk -v n=$((patterns - 1)) '/^\.VECTORS/ { print ".VECTORS " n; next }
       /^\.PATTERNS/ { print; skip = 1; next }
       skip && NF { skip = 0; next } { print }' "$d.patterns" >"$d.tst"
  "$bindir/analyze" "$d" >/dev/null 2>&1
  agree=no
  cmp -s <(sed -n '/^\.FAULTS/,$p' "$d.seqresult") <(sed -n '/^\.FAULTS/,$p' "$d.tst") && agree=yes
  [ $agree = yes ] || { notes+=("$circuit full-scan: sequential and analyze differ in fault marks"); failed=1; }
  ratio=$(awk -v s="$ts" -v a="$ta" 'BEGIN { if (a > 0) printf "%.2f", s / a; else print "-" }')
  printf "%-10s %7s %8s %8s %6s %6s\n" "$circuit" "$nodes" "$ts" "$ta" "$ratio" $agree
done

echo
echo "sequential -faultfree against the gate-level three-valued reference ($refpatterns patterns, 10% x)"
printf "%-10s %-6s %s\n" circuit level verdict
for m in "${models[@]}"; do
  stem=${m%%:*} circuit=${m#*:}
  for level in macro gate; do
    d=${stem}_seq_$level
    "$bindir/seqcheck" patterns "$d.agm" "$refpatterns" 7 10 "$d.tst" &&
      "$bindir/sequential" -faultfree "$d" >/dev/null 2>&1 &&
      verdict=$("$bindir/seqcheck" compare "$stem.bench" "$d.agm" "$d.tst")
    status=$?
    [ $status -eq 0 ] || { failed=1; notes+=("$circuit $level: $verdict"); verdict="DIFF"; }
    printf "%-10s %-6s %s\n" "$circuit" $level "$verdict"
  done
done
finish
