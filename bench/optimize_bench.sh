#!/usr/bin/env bash
# Test-set compaction on the full-scan ISCAS'89 models: each circuit's
# full-scan view is synthesised by `import -read_iscas89` at macro and gate
# level, `generate -fault_table` makes a test, `analyze` simulates it (timed)
# and `optimize` compacts it (timed); `analyze` then simulates the compacted
# set.  Prints per model its nodes, the patterns and covered faults before and
# after, analyze's seconds on the original and optimize's seconds (wall
# clock), and whether the compacted sets (default, -no_unique_vectors,
# -fault_cover 90) pass their checks: original rows in their order, no more
# of them, the same fault status and coverage (with -fault_cover: more covered
# faults than the target, or as many as the original).
# Usage: optimize_bench.sh <bindir> [circuit ...]   (e.g. s38417 s38584; default all)
# Environment: BENCH (benchmark folder), VECTOR_LIMIT (generate -vector_limit, default 3000).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "optimize benchmark" generate import analyze optimize
benchmark_folder
limit=${VECTOR_LIMIT:-3000}

circuit_files "$src" "$@"
enter_work_folder

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
status_row() { sed -n '/^\.FAULTS/{n;n;p;}' "$1"; }
# The input columns of a test file's pattern rows.
inputs_of() {  # design file
  awk -v n="$(awk '/^STAT#/ { print $8; exit }' "$1.agm")" \
    '/^\.PATTERNS/ { s = 1; next } s && /^\./ { exit } s && NF { print substr($0, 1, n) }' "$2"
}

printf "%-10s %-5s %7s %8s %7s %10s %9s %8s %8s %6s\n" circuit level nodes patterns after covered after \
  analyze_s optimize_s checks
failed=0
notes=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    design=${stem}_$level
    fullscan_model "$bindir" $level "$design" 10 || continue
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
    inputs_of "$design" "$design.tst" >rows.before
    total=$(status_row "$design.tst" | awk '{ n = 0; for (i = 1; i <= length($0); i++) { m = substr($0, i, 1); n += m == "&" ? 2 : (m == "0" || m == "1") } print n }')
    cp "$design.tst" "$design.orig"
    same=yes
    # The timed default run, then the other modes on the same original set.
    for mode in default -no_unique_vectors "-fault_cover 90"; do
      flags=()
      [ "$mode" = default ] || read -r -a flags <<<"$mode"
      cp "$design.orig" "$design.tst"
      t0=$(date +%s.%N)
      "$bindir/optimize" "${flags[@]}" "$design" >"$design.opt" 2>&1 || { same=no; notes+=("$circuit $level $mode: optimize failed"); continue; }
      t1=$(date +%s.%N)
      if [ "$mode" = default ]; then
        opt_s=$(seconds "$t0" "$t1")
        after=$(awk '/^\.VECTORS/ { print $2; exit }' "$design.tst")
      fi
      inputs_of "$design" "$design.tst" >rows.after
      # The rows kept are original rows, in their order, and no more.
      awk 'BEGIN { i = 0 } NR == FNR { a[n++] = $0; next } { while (i < n && a[i] != $0) i++; if (i == n) bad = 1; i++ } END { exit bad }' \
        rows.before rows.after || { same=no; notes+=("$circuit $level $mode: rows that are not original rows in their order"); }
      "$bindir/analyze" "$design" >"$design.ana2" 2>&1 || { same=no; notes+=("$circuit $level $mode: analyze of the compacted set failed"); continue; }
      covered=$(awk '/^Covered / { print $2; exit }' "$design.ana2")
      [ "$mode" = default ] && cov_after=$covered
      if [ "$mode" = "-fault_cover 90" ]; then
        target=$((total * 90 / 100))
        [ "$covered" -gt "$target" ] || [ "$covered" = "$cov_before" ] ||
          { same=no; notes+=("$circuit $level $mode: covers $covered, target $target, original $cov_before"); }
      else
        status_row "$design.tst" | cmp -s - status.before && [ "$cov_before" = "$covered" ] ||
          { same=no; notes+=("$circuit $level $mode: the compacted set covers $covered, the original $cov_before"); }
      fi
    done
    [ $same = yes ] || failed=1
    printf "%-10s %-5s %7s %8s %7s %10s %9s %8s %8s %6s\n" "$circuit" $level "$nodes" "$before" "$after" \
      "$cov_before" "$cov_after" "$ana_s" "$opt_s" $same
  done
  rm -f "$stem"*
done
finish
