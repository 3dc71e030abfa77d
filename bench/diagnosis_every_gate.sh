#!/usr/bin/env bash
# Every gate of a full-scan ISCAS'89 circuit changed to every type it may
# take (an inverter to a buffer, the others to the three other types): each
# specification is synthesised at gate level from the edited netlist, and
# faultloc's gate list must hold the changed gate.  Prints per circuit the
# gates changed, how many were suspected, and the seconds of the whole run.
# Usage: diagnosis_every_gate.sh <bindir> [circuit ...]   (default s298 s344 s382 s510)
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "benchmark" edifsyn cellcomp generate faultloc
src=$(iscas89_dir)
[ $# -gt 0 ] || set -- s298 s344 s382 s510
circuit_files "$src" "$@"
export PATH="$bindir:$PATH"
enter_work_folder
printf "%-10s %8s %10s %8s\n" circuit changed suspected seconds
failed=0
notes=()
for f in "${files[@]}"; do
  circuit=$(basename "$f" .bench)
  rm -rf c && mkdir c && cd c || exit 2
  t0=$(date +%s.%N)
  bash "$here/../diagnosis/tests/every_gate.sh" "$here/.." "$f" >out 2>&1
  t1=$(date +%s.%N)
  secs=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }')
  if read -r found _ tried _ < <(grep ' changed gates suspected$' out); then
    printf "%-10s %8s %10s %8s\n" "$circuit" "$tried" "$found" "$secs"
    [ "$found" = "$tried" ] || { failed=1; notes+=("$circuit: $(grep -v 'suspected$' out | head -n 5 | tr '\n' ' ')"); }
  else
    printf "%-10s FAILED\n" "$circuit"
    notes+=("$circuit: $(tail -n 1 out)")
    failed=1
  fi
  cd .. || exit 2
done
finish
