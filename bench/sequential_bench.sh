#!/usr/bin/env bash
# `sequential` of this build against an earlier build, on random binary
# patterns: every ISCAS'89 circuit that import accepts (or those named), in
# its sequential and full-scan views, at macro and gate level, and a
# controller that never leaves the unknown state (xring, made here: a ring
# of flip-flops that each take the exclusive or of themselves and an input
# gate, so they keep 'x' from the first pattern on, and outputs that read
# only them).  For each
# model, PATTERNS random patterns and each of -nodrop off and on, one row:
# processor seconds (user + system, the best of RUNS runs, the two builds
# taken in turn) of both builds, their ratio (earlier / this: 3.00 means
# this build takes a third of the time) and whether every file written, the
# standard output (the processing-time line aside), the error output and the
# exit status are the same ("same") or not ("DIFF", which also makes the
# script end with status 1).
# Usage: sequential_bench.sh <bindir> <earlier bindir> [circuit ...]
#        (e.g. s5378 s35932 s15850.1 s38584.1 s510 xring; default all)
# Environment: BENCH (benchmark folder), PATTERNS (default "1000 10000"),
# RUNS (default 3), VIEWS (default "seq fs"), LEVELS (default "macro gate"),
# SEED (default 1, of the random patterns).
set -u
[ $# -ge 2 ] || { echo "usage: $0 <bindir> <earlier bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
base=$(cd "$2" && pwd) || exit 2
shift 2
require_programs "sequential benchmark" import sequential seqcheck
[ -x "$base/sequential" ] || { echo "no sequential in $base" >&2; exit 2; }
need_gnu_time
benchmark_folder
read -r -a counts <<<"${PATTERNS:-1000 10000}"
read -r -a views <<<"${VIEWS:-seq fs}"
read -r -a levels <<<"${LEVELS:-macro gate}"
runs=${RUNS:-3}
seed=${SEED:-1}

wanted=("$@")
ring=0
if [ ${#wanted[@]} -eq 0 ]; then
  ring=1
  circuit_files "$src"
else
  names=()
  for c in "${wanted[@]}"; do
    if [ "$c" = xring ]; then ring=1; else names+=("$c"); fi
  done
  files=()
  [ ${#names[@]} -gt 0 ] && circuit_files "$src" "${names[@]}"
fi
enter_work_folder
failed=0
notes=()

# The controller that never leaves 'x': 256 flip-flops, 16 inputs, 32
# outputs, each output the NAND of eight flip-flops.
write_ring() {
  local i k args
  printf "# 16 inputs\n# 32 outputs\n# 256 D-type flipflops\n# 0 inverters\n# 1312 gates\n\n"
  for i in $(seq 0 15); do echo "INPUT(a$i)"; done
  for i in $(seq 0 31); do echo "OUTPUT(z$i)"; done
  for i in $(seq 0 255); do
    echo "q$i = DFF(d$i)"
    echo "t$i = AND(a$((i % 16)), q$(((i + 255) % 256)))"
    # d = q XOR t in four NANDs (import has no XOR)
    echo "n$i = NAND(q$i, t$i)"
    echo "l$i = NAND(q$i, n$i)"
    echo "r$i = NAND(t$i, n$i)"
    echo "d$i = NAND(l$i, r$i)"
  done
  for i in $(seq 0 31); do
    args=q$((8 * i))
    for k in 1 2 3 4 5 6 7; do args="$args, q$((8 * i + k))"; done
    echo "z$i = NAND($args)"
  done
}

# Runs sequential of a bin folder on <design>.agm and a pattern file in a
# folder of its own, which ends with exactly what the program wrote; the
# outputs, the exit status and "user system" go next to the folder.
run_sequential() {  # bindir folder design patterns [option]
  local bin=$1 dir=$2 design=$3 patterns=$4
  shift 4
  rm -rf "$dir" "$dir".out "$dir".err "$dir".status "$dir".time
  mkdir -p "$dir"
  cp "$design.agm" "$dir/"
  cp "$patterns" "$dir/$design.tst"
  (cd "$dir" && /usr/bin/time -f "%U %S" -o "../$(basename "$dir").time" \
     "$bin/sequential" "$@" "$design" >"../$(basename "$dir").out" 2>"../$(basename "$dir").err"
   echo $? >"../$(basename "$dir").status")
}
cpu_of() { tail -n 1 "$1.time" | awk '{ printf "%.2f", $1 + $2 }'; }
least() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b + 0 < a + 0) print b; else print a }'; }
same_run() {  # folder folder
  diff -r "$1" "$2" >/dev/null &&
    cmp -s <(grep -v '^Time, used by process:' "$1.out") <(grep -v '^Time, used by process:' "$2.out") &&
    cmp -s "$1.err" "$2.err" && cmp -s "$1.status" "$2.status"
}

# Every model: "<name>:<design>", the design's .agm in the work folder.
models=()
add_models() {  # bench file, name
  local f=$1 name=$2 stem view level design
  stem=$(stem_of "$f")
  cp "$f" "$stem.bench"
  bash "$here/fullscan.sh" "$stem.bench" >"${stem}_fs.bench"
  for view in "${views[@]}"; do
    for level in "${levels[@]}"; do
      design=${stem}_${view}_$level
      local from=$stem
      [ "$view" = fs ] && from=${stem}_fs
      if synth "$bindir" "$from" "$level" "$design"; then
        models+=("$name $view $level:$design")
      elif accepted_refusal "$from.bench" "$design.log"; then
        notes+=("$name $view $level: refused by import: $REFUSAL")
      else
        notes+=("$name $view $level: import failed")
        failed=1
      fi
    done
  done
}
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$(basename "$f"): no such circuit" >&2; failed=1; continue; }
  add_models "$f" "$(basename "$f" .bench)"
done
if [ $ring = 1 ]; then
  mkdir -p made
  write_ring >made/xring.bench
  add_models "$PWD/made/xring.bench" xring
fi

echo "sequential of $bindir (this) against $base (earlier): processor seconds, best of $runs"
printf "%-10s %-4s %-5s %8s %-7s %9s %9s %7s %5s\n" circuit view level patterns mode earlier_s this_s ratio same
total=0 differ=0
for m in "${models[@]}"; do
  read -r name view level <<<"${m%%:*}"
  design=${m#*:}
  for n in "${counts[@]}"; do
    "$bindir/seqcheck" patterns "$design.agm" "$n" "$seed" 0 "$design.$n.patterns" >/dev/null ||
      { notes+=("$name $view $level: seqcheck failed"); failed=1; continue; }
    for mode in - -nodrop; do
      opts=()
      [ "$mode" = -nodrop ] && opts=(-nodrop)
      tb= tt=
      verdict=same
      for ((r = 0; r < runs; r++)); do
        run_sequential "$base" "$design.e" "$design" "$design.$n.patterns" "${opts[@]}"
        run_sequential "$bindir" "$design.t" "$design" "$design.$n.patterns" "${opts[@]}"
        tb=$(least "$tb" "$(cpu_of "$design.e")") tt=$(least "$tt" "$(cpu_of "$design.t")")
        if [ $r = 0 ] && ! same_run "$design.e" "$design.t"; then
          verdict=DIFF
          notes+=("$name $view $level $n patterns $mode: differs from $base")
          failed=1
        fi
      done
      total=$((total + 1))
      [ $verdict = same ] || differ=$((differ + 1))
      ratio=$(awk -v b="$tb" -v t="$tt" 'BEGIN { if (t > 0) printf "%.2f", b / t; else print "-" }')
      printf "%-10s %-4s %-5s %8s %-7s %9s %9s %7s %5s\n" "$name" "$view" "$level" "$n" "$mode" "$tb" "$tt" "$ratio" $verdict
    done
  done
done
echo
echo "identity: $((total - differ)) of $total runs the same as $base"
finish
