#!/usr/bin/env bash
# The small ISCAS'89 circuits through `import -read_iscas89` at macro and gate
# level, in their full-scan view, each model checked against its netlist by
# benchcheck.  Exit 0 when all agree, 1 on any failure, 77 (skipped) when
# import is not built.
# Usage: iscas89_check.sh <bindir>   (BENCH: benchmark folder, as in the
# end-to-end cases; default the repository's benchmarks/ folder)
set -u
[ $# -eq 1 ] || { echo "usage: $0 <bindir>" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../bench/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
[ -x "$bindir/import" ] || { echo "import not found in $bindir: skipped"; exit 77; }
[ -x "$bindir/benchcheck" ] || { echo "benchcheck not found in $bindir" >&2; exit 1; }
src=$(iscas89_dir)
[ -d "$src" ] || { echo "no benchmark folder $src" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail=0
for c in s27 s298 s344 s382 s510; do
  cp "$src/$c.bench" "$c.bench" || { fail=1; continue; }
  bash "$here/../bench/fullscan.sh" "$c.bench" >"${c}_fs.bench"
  for level in macro gate; do
    if ! synth "$bindir" "${c}_fs" $level "${c}_$level"; then
      echo "$c $level: import failed"
      cat "${c}_$level.log"
      fail=1
      continue
    fi
    if "$bindir/benchcheck" "${c}_fs.bench" "${c}_$level.agm" 320 >"${c}_$level.check" 2>&1; then
      echo "$c $level: $(tail -n 1 "${c}_$level.check")"
    else
      echo "$c $level: benchcheck failed"
      cat "${c}_$level.check"
      fail=1
    fi
  done
done
exit $fail
