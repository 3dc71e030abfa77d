#!/usr/bin/env bash
# megasim against analyze on the full-scan ISCAS'89 models: for every circuit
# its full-scan view is synthesised by `import -read_iscas89` at macro and
# gate level, one file of random patterns is drawn once with a fixed seed,
# and analyze, megasim and megasim -drop_faults each simulate a copy of it.
# Prints per model its nodes and patterns, the seconds of each whole run and
# of the timed steps (analyze: simulation; megasim: topology and simulation),
# the ratios megasim/analyze (whole run, timed steps) and whether megasim's
# file is identical to analyze's (dropping: the same fault row and coverage).
# The last column says whether megasim's sliced runs (-split 2 at half the
# internal graphs, -split 4 at the estimated bounds, both also with
# -split_prev) and a run with -packet_size 2 write analyze's file as well; an
# estimate that leaves a slice empty is refused by megasim and noted.
# Usage: megasim_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), PATTERNS (default 3200), SEED (default 2026), RUNS (timed runs
# of each program, taking turns, the best figures kept; default 1).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "megasim benchmark" import analyze megasim
benchmark_folder
patterns=${PATTERNS:-3200}
seed=${SEED:-2026}
runs=${RUNS:-1}

circuit_files "$src" "$@"
enter_work_folder

# Runs a program in the current folder; sets SECS (wall clock) and STEPS (sum
# of the program's own "Time, used by process" lines after the first
# `skip` of them).  Returns the program's status.
timed() {  # skip log program args...
  local skip=$1 log=$2 t0 t1 status
  shift 2
  t0=$(date +%s.%N)
  "$@" >"$log" 2>&1
  status=$?
  t1=$(date +%s.%N)
  SECS=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  STEPS=$(awk -v skip="$skip" '/^Time, used by process:/ { if (++n > skip) s += $5 } END { printf "%.2f", s }' "$log")
  return $status
}
# The lower of two figures; an empty first one counts as none.
lower() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b + 0 < a + 0) print b; else print a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
faults_of() { sed -n '/^\.FAULTS/,$p' "$1"; }

printf "%-10s %-5s %7s %8s | %8s %8s | %8s %8s | %8s | %6s %6s | %9s %9s %8s\n" circuit level nodes patterns \
  analyze steps megasim steps drop ratio steps identical drop_same variants
failed=0
notes=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    d=${stem}_$level
    fullscan_model "$bindir" $level "$d" 10 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$d.agm")
    if ! "$bindir/megasim" -random "$patterns" -random_seed "$seed" "$d" >"$d.draw" 2>&1; then
      printf "%-10s %-5s drawing patterns FAILED\n" "$circuit" $level
      failed=1
      continue
    fi
    mv "$d.tst" patterns.tst
    cp "$d.agm" ana.agm
    # The three runs take turns, so a changing load weighs on each alike;
    # each figure is the best of RUNS.
    a_secs="" a_steps="" m_secs="" m_steps="" d_secs="" failure="" identical=yes
    for ((k = 0; k < runs; k++)); do
      cp patterns.tst ana.tst
      timed 0 ana.log "$bindir/analyze" ana || { failure="analyze failed"; break; }
      a_secs=$(lower "$a_secs" "$SECS") a_steps=$(lower "$a_steps" "$STEPS")
      cp patterns.tst "$d.tst"
      timed 1 mega.log "$bindir/megasim" "$d" || { failure="megasim failed"; break; }
      m_secs=$(lower "$m_secs" "$SECS") m_steps=$(lower "$m_steps" "$STEPS")
      cmp -s "$d.tst" ana.tst || identical=no
      cp patterns.tst "$d.tst"
      timed 1 drop.log "$bindir/megasim" -drop_faults "$d" || { failure="megasim -drop_faults failed"; break; }
      d_secs=$(lower "$d_secs" "$SECS")
    done
    [ -z "$failure" ] || { notes+=("$circuit $level: $failure"); failed=1; continue; }
    drop_same=no
    [ "$(faults_of "$d.tst")" = "$(faults_of ana.tst)" ] && [ "$(grep '^Covered' drop.log)" = "$(grep '^Covered' ana.log)" ] && drop_same=yes
    variants=yes
    half=$(( $(awk '/^STAT#/ { print $6 - $12; exit }' "$d.agm") / 2 ))
    for opts in "-split 2 -split_range $half" "-split 2 -split_prev -split_range $half" "-split 4" "-split 4 -split_prev" \
      "-packet_size 2"; do
      cp patterns.tst "$d.tst"
      if ! "$bindir/megasim" $opts "$d" >variant.log 2>&1; then
        if grep -q "Illegal split range" variant.log && [[ "$opts" != *split_range* ]]; then
          notes+=("$circuit $level $opts: the estimate leaves a slice empty (refused)")
        else
          variants=no
        fi
        continue
      fi
      cmp -s "$d.tst" ana.tst || variants=no
    done
    [ $identical = yes ] && [ $drop_same = yes ] && [ $variants = yes ] ||
      { failed=1; notes+=("$circuit $level: results differ from analyze"); }
    printf "%-10s %-5s %7s %8s | %8s %8s | %8s %8s | %8s | %6s %6s | %9s %9s %8s\n" "$circuit" $level "$nodes" "$patterns" \
      "$a_secs" "$a_steps" "$m_secs" "$m_steps" "$d_secs" "$(ratio "$m_secs" "$a_secs")" "$(ratio "$m_steps" "$a_steps")" \
      $identical $drop_same $variants
    rm -f "$d.tst" ana.tst patterns.tst
  done
  rm -f "$stem"*
done
finish
