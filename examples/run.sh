#!/usr/bin/env bash
# Builds the suite and runs the main job on the bundled example design:
# compile the cell library, synthesise the EDIF netlist, generate tests,
# fault-simulate them, and print the coverage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
bin=$root/build/bin
work=$(mktemp -d)
cp "$root/examples/mix.edf" "$work/"
cd "$work"
"$bin/cellcomp" "$root/tests/data/generic_cells.lib" cells.qz
"$bin/edifsyn" -tool orcad -vdd VCC mix.edf cells.qz
"$bin/generate" mix
"$bin/analyze" mix
echo
echo "Results in $work: mix.agm (model), mix.tst (patterns, fault table, coverage), mix.red (untestable faults)"
