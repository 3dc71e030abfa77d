#!/usr/bin/env bash
# The design d of an exercise from an ISCAS'89 circuit's full-scan view:
# d.bench (names as in the model), d.edf, d.qz, d.agm with d.pat and d.gat,
# d.tst from generate.  Optional third argument: a sed edit of d.bench that
# makes the specification d.spec (synthesised at gate level from the edit).
# Usage: make_design.sh <root of the repository> <.bench file> [edit]
set -eu
root=$1 bench=$2 edit=${3:-}
bash "$root/bench/fullscan.sh" "$bench" >full.bench
python3 "$root/tests/tools/bench2edif.py" full.bench d
cellcomp d.cells d.qz >/dev/null
edifsyn -paths d.edf d.qz >/dev/null
generate d >/dev/null
if [ -n "$edit" ]; then
  sed -E "$edit" d.bench >e.bench
  python3 "$root/tests/tools/bench2edif.py" e.bench e
  cellcomp e.cells e.qz >/dev/null
  edifsyn -gate_level e.edf e.qz >/dev/null
  mv e.agm d.spec
fi
rm -f full.bench d.cells d.ff d.red e.*
