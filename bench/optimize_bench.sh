#!/usr/bin/env bash
# Test-set compaction on the full-scan ISCAS'89 models: each circuit's
# full-scan view is synthesised by `import -read_iscas89` at macro and gate
# level, `generate -fault_table` makes a test, `analyze` simulates it (timed)
# and `optimize` compacts it (timed); `analyze` then simulates the compacted
# set.  Prints per model its nodes, the patterns and covered faults before and
# after, analyze's seconds on the original and optimize's seconds (wall
# clock), and whether the compacted set keeps the fault status.
# Usage: optimize_bench.sh <bindir> [circuit ...]   (e.g. s38417 s38584; default all)
# Environment: BENCH (benchmark folder), VECTOR_LIMIT (generate -vector_limit, default 3000).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
for p in generate import analyze optimize; do
  if [ ! -x "$bindir/$p" ]; then
    echo "$p not found in $bindir: optimize benchmark skipped"
    exit 0
  fi
done
src=$(iscas89_dir)
[ -d "$src" ] || { echo "no benchmark folder $src" >&2; exit 2; }
limit=${VECTOR_LIMIT:-3000}

circuit_files "$src" "$@"
enter_work_folder

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
status_row() { sed -n '/^\.FAULTS/{n;n;p;}' "$1"; }

printf "%-10s %-5s %7s %8s %7s %10s %9s %8s %8s %6s\n" circuit level nodes patterns after covered after \
  analyze_s optimize_s same
failed=0
notes=()
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$(basename "$f"): no such circuit" >&2; failed=1; continue; }
  circuit=$(basename "$f" .bench)
  stem=$(stem_of "$f")_fs
  bash "$here/fullscan.sh" "$f" >"$stem.bench"
  for level in macro gate; do
    design=${stem}_$level
    if ! synth "$bindir" "$stem" $level "$design"; then
      printf "%-10s %-5s import refused or failed\n" "$circuit" $level
      notes+=("$circuit $level: $(tail -n 2 "$design.log" | tr '\n' ' ')")
      continue
    fi
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$design.agm")
    if ! "$bindir/generate" -fault_table -vector_limit "$limit" "$design" >"$design.gen" 2>&1; then
      printf "%-10s %-5s %7s generate FAILED\n" "$circuit" $level "$nodes"
      notes+=("$circuit $level: $(grep -v '^$' "$design.gen" | tail -n 1)")
      failed=1
      continue
    fi
    t0=$(date +%s.%N)
    "$bindir/analyze" "$design" >"$design.ana" 2>&1 || { failed=1; notes+=("$circuit $level: analyze failed"); continue; }
    t1=$(date +%s.%N)
    ana_s=$(seconds "$t0" "$t1")
    before=$(awk '/^\.VECTORS/ { print $2; exit }' "$design.tst")
    cov_before=$(awk '/^Covered / { print $2; exit }' "$design.ana")
    status_row "$design.tst" >status.before
    t0=$(date +%s.%N)
    "$bindir/optimize" "$design" >"$design.opt" 2>&1 || { failed=1; notes+=("$circuit $level: optimize failed"); continue; }
    t1=$(date +%s.%N)
    opt_s=$(seconds "$t0" "$t1")
    after=$(awk '/^\.VECTORS/ { print $2; exit }' "$design.tst")
    "$bindir/analyze" "$design" >"$design.ana2" 2>&1 || { failed=1; notes+=("$circuit $level: analyze of the compacted set failed"); continue; }
    cov_after=$(awk '/^Covered / { print $2; exit }' "$design.ana2")
    same=no
    status_row "$design.tst" | cmp -s - status.before && [ "$cov_before" = "$cov_after" ] && same=yes
    [ $same = yes ] || { failed=1; notes+=("$circuit $level: the compacted set covers $cov_after, the original $cov_before"); }
    printf "%-10s %-5s %7s %8s %7s %10s %9s %8s %8s %6s\n" "$circuit" $level "$nodes" "$before" "$after" \
      "$cov_before" "$cov_after" "$ana_s" "$opt_s" $same
  done
  rm -f "$stem"*
done
finish
