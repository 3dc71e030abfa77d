#!/usr/bin/env bash
# Synthesises every ISCAS'89 circuit with `import -read_iscas89` at macro and
# gate level, for the sequential netlist and for its full-scan view, and
# checks the full-scan models against their netlists with benchcheck.
# Prints one line per circuit: variables, nodes and graphs from the model's
# STAT# line and the wall-clock seconds of each import run, then the
# benchcheck verdict of both full-scan models.
# Usage: iscas89_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), PATTERNS (benchcheck patterns, default 320).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
if [ ! -x "$bindir/import" ]; then
  echo "import not found in $bindir: ISCAS'89 benchmark skipped"
  exit 0
fi
[ -x "$bindir/benchcheck" ] || { echo "benchcheck not found in $bindir" >&2; exit 2; }
benchmark_folder
patterns=${PATTERNS:-320}

circuit_files "$src" "$@"
enter_work_folder

printf "%-10s | %-29s | %-29s | %-29s | %-29s | %s\n" "" "sequential, macro level" "sequential, gate level" \
  "full-scan, macro level" "full-scan, gate level" "benchcheck"
printf "%-10s |" circuit
for _ in 1 2 3 4; do printf " %7s %7s %6s %6s |" vars nodes graphs sec; done
printf " %-5s %-5s\n" macro gate

failed=0
notes=()
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$(basename "$f"): no such circuit" >&2; failed=1; continue; }
  stem=$(stem_of "$f")
  cp "$f" "$stem.bench"
  bash "$here/fullscan.sh" "$stem.bench" >"${stem}_fs.bench"
  line=$(printf "%-10s |" "$(basename "$f" .bench)")
  verdicts=""
  for view in seq fs; do
    name=$stem
    [ $view = fs ] && name=${stem}_fs
    for level in macro gate; do
      target=${name}_$level
      if synth "$bindir" "$name" $level "$target"; then
        read -r v n g s <<<"$SYN_STAT"
        line+=$(printf " %7s %7s %6s %6s |" "$v" "$n" "$g" "$s")
      elif accepted_refusal "$name.bench" "$target.log"; then
        line+=$(printf " %-29s |" "refused")
        notes+=("$(basename "$f" .bench) $view $level: $REFUSAL")
      else
        line+=$(printf " %-29s |" "FAILED")
        notes+=("$(basename "$f" .bench) $view $level: $(tail -n 3 "$target.log" | tr '\n' ' ')")
        failed=1
      fi
      [ $view = fs ] || continue
      if [ ! -f "$target.agm" ]; then
        verdicts+=$(printf " %-5s" "-")
      elif "$bindir/benchcheck" "$name.bench" "$target.agm" "$patterns" >"$target.check" 2>&1; then
        verdicts+=$(printf " %-5s" "ok")
      else
        verdicts+=$(printf " %-5s" "DIFF")
        notes+=("$(basename "$f" .bench) $view $level: $(grep -v '^$' "$target.check" | tail -n 1)")
        failed=1
      fi
    done
  done
  echo "$line$verdicts"
  rm -f "$stem"*
done
finish
