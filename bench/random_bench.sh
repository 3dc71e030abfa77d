#!/usr/bin/env bash
# Random and genetic test generation on the full-scan ISCAS'89 models, beside
# the deterministic generator.  For every circuit its full-scan view is
# synthesised by `import -read_iscas89` at macro and gate level; generate (with
# -vector_limit, below), random and genetic then run with their default
# options.  Prints per model its nodes and faults and, for each program, the
# tested faults, the coverage (%), the patterns, the processor seconds and
# whether analyze agrees:
#   generate  analyze covers the tested count;
#   random    analyze covers random's Tested with as many vectors, and after
#             a second run with -fault_table analyze leaves its file as it is;
#   genetic   analyze leaves its file as it is.
# A second table holds the processor seconds of 32,000 patterns each:
# `random -packages 1000 -failure_limit 1000`, the default genetic run (1000
# generations of 32, unless a small model stalls first) and analyze on 32,000
# random patterns, and whether both generators stayed within analyze's time.
# Usage: random_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), VECTOR_LIMIT (generate -vector_limit, default 3000: the
# largest models need more than generate's default of 1000).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "random benchmark" generate random genetic import analyze
benchmark_folder

limit=${VECTOR_LIMIT:-3000}

circuit_files "$src" "$@"
enter_work_folder

# Processor seconds (user + system) of a command; its output goes to $out.
TIMEFORMAT='%3U %3S'
cpu() {  # out command...
  local out=$1 t
  shift
  t=$( { time "$@" >"$out" 2>&1; } 2>&1 )
  RC=$?
  [ -z "$t" ] && t="0 0"
  SECS=$(echo "$t" | awk '{ printf "%.2f", $1 + $2 }')
}
# The summary lines shared by random and genetic.
summary() {  # file -> TESTED COV PATS
  read -r TESTED COV PATS <<<"$(awk '
    /^Tested / { t = $2 } /^Fault coverage: / { c = $3 } / vectors generated$/ { p = $1 }
    END { printf "%s %.2f %s\n", t, c, p }' "$1")"
}
# A file of 32,000 random input rows (fixed seed), for analyze.
random_patterns() {  # inputs file
  awk -v n="$1" 'BEGIN {
    srand(12345); printf "\n.VECTORS 32000\n\n\n.PATTERNS\n\n"
    for (r = 0; r < 32000; r++) { s = ""; for (i = 0; i < n; i++) s = s (rand() < 0.5 ? "0" : "1"); print s }
  }' >"$2"
}

printf "%-8s %-5s %6s %6s | %-30s | %-30s | %-30s\n" "" "" "" "" "generate" "random" "genetic"
printf "%-8s %-5s %6s %6s |" circuit level nodes faults
for _ in 1 2 3; do printf " %6s %6s %5s %6s %-3s |" tested cov pats sec ok; done
echo
failed=0
notes=()
timing=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    d=${stem}_$level
    fullscan_model "$bindir" $level "$d" 8 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$d.agm")
    inputs=$(awk '/^STAT#/ { print $8; exit }' "$d.agm")
    line=$(printf "%-8s %-5s %6s %6s |" "$circuit" $level "$nodes" $((2 * nodes)))

    # generate
    cpu "$d.gen" "$bindir/generate" -vector_limit "$limit" "$d"
    read -r tested patterns <<<"$(awk '/^Tested / { t = $2 } / Vectors$/ { p = $1 } END { print t, p }' "$d.gen")"
    cov=$(awk '/^Fault coverage/ { printf "%.2f", $3; exit }' "$d.gen")
    ok=no
    if [ $RC -eq 0 ] && "$bindir/analyze" "$d" >"$d.ana" 2>&1; then
      covered=$(awk '/^Covered / { print $2; exit }' "$d.ana")
      [ "$covered" = "$tested" ] && ok=yes
    fi
    [ $ok = yes ] || { failed=1; notes+=("$circuit $level: generate (status $RC) and analyze disagree"); }
    line+=$(printf " %6s %6s %5s %6s %-3s |" "${tested:--}" "${cov:--}" "${patterns:--}" "$SECS" $ok)

    # random, by default and with -fault_table
    cpu "$d.rnd" "$bindir/random" "$d"
    summary "$d.rnd"
    ok=no
    if [ $RC -eq 0 ] && "$bindir/analyze" "$d" >"$d.ana" 2>&1; then
      read -r covered simulated <<<"$(awk '/^Covered / { c = $2 } / vectors simulated$/ { v = $1 } END { print c, v }' "$d.ana")"
      [ "$covered" = "$TESTED" ] && [ "$simulated" = "$PATS" ] && ok=yes
    elif [ $RC -eq 0 ] && [ "$PATS" = 0 ]; then
      ok=yes  # nothing to simulate
    fi
    [ $ok = yes ] || notes+=("$circuit $level: random (status $RC) tested $TESTED/$PATS, analyze ${covered:-?}/${simulated:-?}")
    if "$bindir/random" -fault_table "$d" >"$d.rft" 2>&1 && cp "$d.tst" "$d.rft.tst" &&
      "$bindir/analyze" "$d" >"$d.ana" 2>&1 && cmp -s "$d.tst" "$d.rft.tst"; then :; else
      ok=no
      notes+=("$circuit $level: random -fault_table: analyze changes the file")
    fi
    [ $ok = yes ] || failed=1
    line+=$(printf " %6s %6s %5s %6s %-3s |" "$TESTED" "$COV" "$PATS" "$SECS" $ok)

    # genetic
    cpu "$d.ga" "$bindir/genetic" "$d"
    ga_secs=$SECS
    summary "$d.ga"
    ok=no
    if [ $RC -eq 0 ] && cp "$d.tst" "$d.ga.tst" && "$bindir/analyze" "$d" >"$d.ana" 2>&1 &&
      cmp -s "$d.tst" "$d.ga.tst"; then
      ok=yes
    fi
    [ $ok = yes ] || { failed=1; notes+=("$circuit $level: genetic (status $RC): analyze changes the file"); }
    line+=$(printf " %6s %6s %5s %6s %-3s |" "$TESTED" "$COV" "$PATS" "$SECS" $ok)
    echo "$line"

    # 32,000 patterns each
    cpu "$d.r32" "$bindir/random" -packages 1000 -failure_limit 1000 "$d"
    r32_secs=$SECS
    random_patterns "$inputs" "$d.tst"
    cpu "$d.a32" "$bindir/analyze" "$d"
    a32_secs=$SECS
    within=$(awk -v r="$r32_secs" -v g="$ga_secs" -v a="$a32_secs" 'BEGIN { print (r <= a && g <= a) ? "yes" : "no" }')
    timing+=("$(printf "%-8s %-5s %12s %12s %12s %7s" "$circuit" $level "$r32_secs" "$ga_secs" "$a32_secs" "$within")")
  done
  rm -f "$stem"*
done
echo
echo "Processor seconds for 32,000 patterns"
printf "%-8s %-5s %12s %12s %12s %7s\n" circuit level random_32k genetic analyze_32k within
printf "%s\n" "${timing[@]}"
finish
