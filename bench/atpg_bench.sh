#!/usr/bin/env bash
# Test generation on the full-scan ISCAS'89 models: for every circuit its
# full-scan view is synthesised by `import -read_iscas89` at macro and gate
# level, then `generate` and `analyze` run on each model.  Prints per model
# its nodes, faults (two per node), the tested, untestable and aborted faults
# and the patterns of generate's summary, generate's wall-clock seconds, and
# whether analyze's fault coverage of the patterns agrees with generate's
# tested count.
# Usage: atpg_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), VECTOR_LIMIT (generate -vector_limit, default 3000).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "ATPG benchmark" generate import analyze
benchmark_folder
limit=${VECTOR_LIMIT:-3000}

circuit_files "$src" "$@"
enter_work_folder

printf "%-10s %-5s %7s %7s %7s %10s %7s %8s %8s %7s\n" circuit level nodes faults tested untestable aborted \
  patterns seconds agree
failed=0
notes=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    design=${stem}_$level
    fullscan_model "$bindir" $level "$design" 10 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$design.agm")
    t0=$(date +%s.%N)
    "$bindir/generate" -vector_limit "$limit" "$design" >"$design.gen" 2>&1
    status=$?
    t1=$(date +%s.%N)
    if [ $status -ne 0 ]; then
      printf "%-10s %-5s %7s generate FAILED (status %d)\n" "$circuit" $level "$nodes" $status
      notes+=("$circuit $level: $(grep -v '^$' "$design.gen" | tail -n 1)")
      failed=1
      continue
    fi
    # Summary lines: "Tested %d", "Untestable %d", "Aborted %d", "%d Vectors".
    read -r tested untestable aborted patterns <<<"$(awk '
      /^Tested / { t = $2 } /^Untestable / { u = $2 } /^Aborted / { a = $2 } / Vectors$/ { p = $1 }
      END { print t, u, a, p }' "$design.gen")"
    secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
    agree=no
    if "$bindir/analyze" "$design" >"$design.ana" 2>&1; then
      covered=$(awk '/^Covered / { print $2; exit }' "$design.ana")
      [ -n "$covered" ] && [ "$covered" = "$tested" ] && agree=yes
      [ $agree = yes ] || notes+=("$circuit $level: analyze covers ${covered:-?} faults, generate tested $tested")
    else
      notes+=("$circuit $level: analyze: $(grep -v '^$' "$design.ana" | tail -n 1)")
    fi
    [ $agree = yes ] || failed=1
    printf "%-10s %-5s %7s %7s %7s %10s %7s %8s %8s %7s\n" "$circuit" $level "$nodes" $((2 * nodes)) \
      "$tested" "$untestable" "$aborted" "$patterns" "$secs" $agree
  done
  rm -f "$stem"*
done
finish
