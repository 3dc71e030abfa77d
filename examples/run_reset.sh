#!/usr/bin/env bash
# Builds the suite (unless given the folder of its programs) and runs the
# example with a reset: the controller ISCAS'89 s510 in EDIF, its six
# flip-flops DFFAR cells with clock pin CK and active-high reset pin R, driven
# by the ports clock and reset.  Without its reset the controller never leaves
# the unknown state and gets no test.  The record dffar.qz keeps the reset as
# a cell input that clears the data through gates; the design is synthesised
# without the clock only, and seqatpg pulses the reset input, whose index is
# the number of its VAR# line in the model.  Prints the coverage.
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
cp "$root/examples/s510r.edf" "$work/"
cd "$work"
"$bin/cellcomp" "$root/examples/s510r_cells.lib" cells.qz
cat "$root/examples/dffar.qz" >>cells.qz
"$bin/edifsyn" -clock clock s510r.edf cells.qz
i=$(sed -n 's/^VAR# *\([0-9]*\): *(i_*) *"reset"$/\1/p' s510r.agm)
echo "The reset is input $i of the model"
"$bin/seqatpg" -reset_index "$i" s510r
"$bin/sequential" s510r
echo
echo "Coverage: $(sed -n '/^\.COVERAGE/,$p' s510r.tst | grep ' = ')"
echo "Results in $work: cells.qz (library with the flip-flop), s510r.agm (model), s510r.tst (test, fault marks, coverage)"
