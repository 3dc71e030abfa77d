#!/usr/bin/env bash
# Runs generate and then analyze on larger random synthesised-looking models
# and prints, per model: nodes, faults, tested, untestable, aborted, patterns,
# the processor seconds of generate's fault loop and whether analyze's
# re-simulation agrees with generate's coverage.
#   bench/generate_bench.sh [build/bin]
set -eu
bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# name seed inputs graphs outputs max_leaves constants
models="
r1k   101  64  400  24 4 0
r2k   102 100  800  40 4 0
r4k   103 150 1600  64 4 2
r8k   104 200 3200 100 4 0
r15k  105 300 6000 150 4 0
"

printf '%-6s %7s %7s %7s %10s %8s %8s %9s %9s %s\n' model nodes faults tested untestable aborted patterns gen_sec ana_sec analyze
echo "$models" | while read -r name seed inputs graphs outputs leaves consts; do
  [ -n "$name" ] || continue
  "$bin/make_agm" "$name.agm" "$seed" "$inputs" "$graphs" "$outputs" "$leaves" "$consts"
  nodes=$(sed -n 's/^STAT# *\([0-9]*\) Nods.*/\1/p' "$name.agm")
  "$bin/generate" -vector_limit 5000 "$name" > gen.out || { echo "$name: generate failed"; cat gen.out; continue; }
  tested=$(sed -n 's/^Tested \([0-9]*\).*/\1/p' gen.out)
  untestable=$(sed -n 's/^Untestable \([0-9]*\)/\1/p' gen.out)
  aborted=$(sed -n 's/^Aborted \([0-9]*\)/\1/p' gen.out)
  patterns=$(sed -n 's/^\([0-9]*\) Vectors/\1/p' gen.out)
  gen_sec=$(sed -n 's/^Time, used by process: \([0-9.]*\).*/\1/p' gen.out | head -1)
  gen_cov=$(grep '^Fault coverage' gen.out)
  "$bin/analyze" "$name" > ana.out
  ana_sec=$(sed -n 's/^Time, used by process: \([0-9.]*\).*/\1/p' ana.out | head -1)
  ana_cov=$(grep '^Fault coverage' ana.out)
  covered=$(sed -n 's/^Covered \([0-9]*\) of.*/\1/p' ana.out)
  agree=differs
  [ "$gen_cov" = "$ana_cov" ] && [ "$covered" = "$tested" ] && agree=agrees
  printf '%-6s %7s %7s %7s %10s %8s %8s %9.3f %9.3f %s\n' "$name" "$nodes" $((2 * nodes)) "$tested" "$untestable" \
    "$aborted" "$patterns" "$gen_sec" "$ana_sec" "$agree"
done
