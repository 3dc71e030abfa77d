#!/usr/bin/env bash
# For every gate of the full-scan view of an ISCAS'89 circuit and every type
# it may become, a specification synthesised at gate level from the edited
# netlist: faultloc's gate list must hold the changed gate.
# Usage: every_gate.sh <root of the repository> <.bench file>
set -u
root=$1 bench=$2
fail() { echo "FAIL: $*"; exit 1; }

bash "$root/bench/fullscan.sh" "$bench" >full.bench
python3 "$root/tests/tools/bench2edif.py" full.bench d || fail bench2edif
cellcomp d.cells d.qz >/dev/null || fail cellcomp
edifsyn -paths d.edf d.qz >/dev/null || fail "edifsyn -paths"
generate d >/dev/null || fail generate
tried=0 found=0
while IFS= read -r line; do
  sig=${line%% = *}
  rest=${line#* = }
  old=${rest%%(*}
  case $old in
    NOT) news=BUFF ;;
    AND) news="NAND OR NOR" ;;
    NAND) news="AND OR NOR" ;;
    OR) news="AND NAND NOR" ;;
    NOR) news="AND NAND OR" ;;
    *) continue ;;
  esac
  for new in $news; do
    sed -E "s/^$sig = $old\(/$sig = $new(/" d.bench >e.bench
    python3 "$root/tests/tools/bench2edif.py" e.bench e && cellcomp e.cells e.qz >/dev/null &&
      edifsyn -gate_level e.edf e.qz >/dev/null && mv e.agm d.spec || fail "specification $sig $new"
    tried=$((tried + 1))
    if faultloc -scr -n d | sed -n '/^Suspected faulty gates:/,$p' | grep -qF "g_$sig>Y ["; then
      found=$((found + 1))
    else
      echo "$sig $old -> $new: not suspected"
    fi
  done
done < <(grep ' = ' d.bench)
echo "$found of $tried changed gates suspected"
