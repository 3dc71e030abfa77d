#!/usr/bin/env bash
# Builds the suite (unless given the folder of its programs) and runs the
# sequential example: ISCAS'89 s27 as a synthesis tool writes it in EDIF
# (generic gate cells, a D flip-flop cell DFFR with clock and reset pins).
# Compiles the gate cells, appends the flip-flop record to the compiled
# library, synthesises the design without its clock and reset nets, generates
# a test with seqatpg, fault-simulates it with sequential and prints the
# coverage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ]; then
  bin=$(cd "$1" && pwd)
else
  cd "$root"
  cmake --preset default >/dev/null
  cmake --build --preset default >/dev/null
  bin=$root/build/bin
fi
work=$(mktemp -d)
cp "$root/examples/s27.edf" "$work/"
cd "$work"
"$bin/cellcomp" "$root/examples/generic_gates.lib" cells.qz
cat "$root/examples/dffr.qz" >>cells.qz
"$bin/edifsyn" -clock CLK -clock RST s27.edf cells.qz
"$bin/seqatpg" s27
"$bin/sequential" s27
echo
echo "Coverage: $(sed -n '/^\.COVERAGE/,$p' s27.tst | grep ' = ')"
echo "Results in $work: cells.qz (library with the flip-flop), s27.agm (model), s27.tst (test, fault marks, coverage)"
