#!/usr/bin/env bash
# Feeds faultloc damaged copies of an exercise's path file, gate table and
# specification, and verdict damaged reports: every run must end with status
# 0 or 14 and an orderly message, never a crash, a hang or a sanitizer report.
# The damage is seeded, so a failure repeats.
# Usage: fuzz_diagnosis.sh <bindir> [runs]
set -u
bindir=$1
runs=${2:-200}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$root/tests/fuzz_lib.sh"
export PATH="$bindir:$PATH"
cd "$work" || exit 2
bash "$here/make_design.sh" "$root" "$root/tests/data/c17.bench" 's/^(N?22) = NAND\(/\1 = NOR(/' >/dev/null 2>&1 ||
  { echo "no exercise fixture"; exit 1; }
edifsyn -spec d.edf d.qz >/dev/null || exit 1
cp d.spec s.spec
read_into pat d.pat
read_into gat d.gat
read_into spec s.spec
read_into rep d.rep
symbols=('0' '1' '9' ':' '->' '-' ' ' $'\t' $'\n' 'node' 'gate' 'Gates:' 'Nodes:' 'NAND' 'XOR' '4000000000' '%s' '%n' '\' '`')

RANDOM=1111
fail=0
check() {  # run status
  if { [ "$2" -ne 0 ] && [ "$2" -ne 14 ]; } || grep -q -E 'Sanitizer|runtime error' err ||
     { [ "$2" -eq 14 ] && ! grep -q '^Error' err; }; then
    echo "run $1: status $2"
    head -n 20 err
    fail=1
  fi
}
for ((r = 0; r < runs; r++)); do
  printf '%s' "$pat" >d.pat
  printf '%s' "$gat" >d.gat
  printf '%s' "$spec" >d.spec
  case $((r % 4)) in
    0) mutate "$pat" $((1 + RANDOM % 4)) >d.pat ;;
    1) mutate "$gat" $((1 + RANDOM % 4)) >d.gat ;;
    2) mutate "$spec" $((1 + RANDOM % 3)) >d.spec ;;
    3) mutate "$rep" $((1 + RANDOM % 6)) >r.rep
       timeout 10 verdict -f r.rep -o out >/dev/null 2>err
       check "$r (verdict)" $?
       [ -f out ] && [ "$(wc -c <out)" = "$(wc -c <r.rep)" ] || { echo "run $r: verdict output length"; fail=1; }
       rm -f out
       continue ;;
  esac
  timeout 10 faultloc -scr -f d >/dev/null 2>err
  check "$r" $?
done
exit $fail
