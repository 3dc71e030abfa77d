#!/usr/bin/env bash
# Speed of analyze and generate, and byte-for-byte comparison of their files
# with those of a reference build.
#
# 1. analyze with random patterns (PATTERNS, default 10000) on the full-scan
#    s38584.1 and on the 16 x 16 array multiplier of bench/multiplier.py,
#    both synthesised by `import -read_iscas89` at macro level (where the
#    goals are set) and at gate level: nodes, wall seconds of the whole run
#    (reading, simulating, writing the table; the best of RUNS runs, default
#    3) and fault-patterns per second (2 x nodes x patterns / seconds),
#    against the goals; the same for the reference build (one run), and
#    whether both wrote the same file.
# 2. generate on every full-scan ISCAS'89 model at macro and gate level: wall
#    seconds (the best of RUNS runs) and peak memory at the default vector
#    limit and at -vector_limit 1000000, and their ratios.
# 3. With a reference build: per model and level, whether generate (both
#    limits: .tst and .red) and analyze (stuck-at and delay, on the patterns
#    of the default generate run) wrote files identical to the reference's:
#    "identical", "DIFFERENT", or "skipped" when the reference ran out of
#    memory (see MEM_LIMIT_KB).
#
# Usage: speed_bench.sh <bindir> <reference bindir | -> [circuit ...]
#   (circuits as in the ISCAS'89 folder, e.g. s27 s38584.1; default all)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), PATTERNS, RUNS, MEM_LIMIT_KB (virtual-memory limit of every
# generate -vector_limit 1000000 run, default 6 GiB: a build that allocates
# all rows up front needs more than that on the larger models).
set -u
[ $# -ge 2 ] || { echo "usage: $0 <bindir> <reference bindir | -> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
refdir=
if [ "$2" != - ]; then refdir=$(cd "$2" && pwd) || exit 2; fi
shift 2
for p in generate import analyze; do
  [ -x "$bindir/$p" ] || { echo "$p not found in $bindir" >&2; exit 2; }
  [ -z "$refdir" ] || [ -x "$refdir/$p" ] || { echo "$p not found in $refdir" >&2; exit 2; }
done
need_gnu_time
benchmark_folder
patterns=${PATTERNS:-10000}
runs=${RUNS:-3}
memlimit=${MEM_LIMIT_KB:-6291456}
big=1000000

circuit_files "$src" "$@"
enter_work_folder
failed=0
notes=()

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# Random input rows: count, inputs, seed.
random_tests() {
  awk -v n="$2" -v count="$1" -v seed="$3" 'BEGIN {
    srand(seed); printf "\n.VECTORS %d\n\n.PATTERNS\n\n", count
    for (v = 0; v < count; v++) { s = ""; for (i = 0; i < n; i++) s = s (rand() < 0.5 ? "0" : "1"); print s } }'
}

# Compares two files: sets SAME to identical or DIFFERENT, and notes a difference.
compare() {  # label a b
  if cmp -s "$2" "$3"; then
    SAME=identical
  else
    SAME=DIFFERENT
    notes+=("$1: files differ")
    failed=1
  fi
}

# Runs a program in folder dir, under the memory limit when `limited` is set;
# sets RUN_SECS and RUN_KB, returns the program's status; output in dir/log.
run_in() {  # dir limited program args...
  local dir=$1 limited=$2 t0 t1 status
  shift 2
  t0=$(now)
  (
    cd "$dir" || exit 2
    [ "$limited" = yes ] && ulimit -v "$memlimit"
    /usr/bin/time -f "%M" -o time.out "$@" >log 2>&1
  )
  status=$?
  t1=$(now)
  RUN_SECS=$(elapsed "$t0" "$t1")
  RUN_KB=$(tail -n 1 "$dir/time.out" 2>/dev/null)
  return $status
}

# --- 1. analyze speed -------------------------------------------------------

# Synthesises <stem>.bench at the given level into <stem>.agm and writes
# random patterns to <stem>.in; sets NODES.
prepare_random() {  # stem level
  local stem=$1 level=$2 inputs
  if ! synth "$bindir" "$stem" "$level" "$stem"_$level; then
    notes+=("$stem $level: import failed: $(tail -n 2 "$stem"_$level.log | tr '\n' ' ')")
    failed=1
    return 1
  fi
  mv "$stem"_$level.agm "$stem".agm
  NODES=$(awk '/^STAT#/ { print $2; exit }' "$stem.agm")
  inputs=$(awk '/^STAT#/ { print $8; exit }' "$stem.agm")
  random_tests "$patterns" "$inputs" 1 >"$stem.in"
}

echo "analyze, $patterns random patterns, whole run (best of $runs; reference: one run)"
printf "%-28s %7s %8s %10s %6s %5s %9s %10s  %s\n" design nodes seconds "M fp/s" goal met "ref sec" "ref M fp/s" \
  "file vs reference"
analyze_speed() {  # label stem goal(M fault-patterns/s)
  local label=$1 stem=$2 goal=$3 best= secs rate met refsecs=- refrate=- same=- r
  mkdir -p new ref
  for r in $(seq "$runs"); do
    cp "$stem.agm" "$stem.in" new/
    if ! run_in new no "$bindir/analyze" -extension in "$stem"; then
      notes+=("$label: analyze failed: $(grep -v '^$' new/log | tail -n 1)")
      failed=1
      printf "%-28s %7s analyze FAILED\n" "$label" "$NODES"
      return
    fi
    if [ -z "$best" ] || awk -v a="$RUN_SECS" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$RUN_SECS; fi
  done
  secs=$best
  rate=$(awk -v n="$NODES" -v p="$patterns" -v s="$secs" 'BEGIN { printf "%.1f", 2 * n * p / s / 1e6 }')
  met=-
  [ "$goal" = - ] || met=$(awk -v r="$rate" -v g="$goal" 'BEGIN { print (r >= g ? "yes" : "no") }')
  if [ -n "$refdir" ]; then
    cp "$stem.agm" "$stem.in" ref/
    if run_in ref no "$refdir/analyze" -extension in "$stem"; then
      refsecs=$RUN_SECS
      refrate=$(awk -v n="$NODES" -v p="$patterns" -v s="$refsecs" 'BEGIN { printf "%.1f", 2 * n * p / s / 1e6 }')
      compare "$label analyze" "new/$stem.tst" "ref/$stem.tst"
      same=$SAME
    else
      notes+=("$label: reference analyze failed: $(grep -v '^$' ref/log | tail -n 1)")
    fi
  fi
  printf "%-28s %7s %8s %10s %6s %5s %9s %10s  %s\n" "$label" "$NODES" "$secs" "$rate" "$goal" "$met" "$refsecs" \
    "$refrate" "$same"
  rm -rf new ref
}

# The goals are set at macro level; the gate-level figures are for comparison.
have_s38584=no
cp "$src/s38584.1.bench" s38584_1.bench 2>/dev/null && bash "$here/fullscan.sh" s38584_1.bench >s38584_1_fs.bench &&
  have_s38584=yes
have_mult=no
if command -v python3 >/dev/null; then
  python3 "$here/multiplier.py" 16 >mult16.bench && have_mult=yes
else
  notes+=("16 x 16 multiplier: python3 not found, not measured")
fi
for level in macro gate; do
  goal_s=- goal_m=-
  [ $level = macro ] && goal_s=160 goal_m=150
  [ $have_s38584 = yes ] && prepare_random s38584_1_fs $level &&
    analyze_speed "s38584.1 full-scan $level" s38584_1_fs $goal_s
  [ $have_mult = yes ] && prepare_random mult16 $level && analyze_speed "16x16 multiplier $level" mult16 $goal_m
done
rm -f s38584_1* mult16*

# --- 2. and 3. generate on every full-scan model, and the file comparison ------

echo
echo "generate: wall seconds (best of $runs) and peak MB at the default limit and at -vector_limit $big;"
echo "t x and mem x: the second over the first, 10%: both within 10 %;"
echo "files against the reference: gen = generate .tst/.red, gen1M = the same at -vector_limit $big,"
echo "analyze = stuck-at and delay on the patterns of the default run"
printf "%-9s %-5s %6s %7s %7s %7s %7s %6s %6s %4s  %-10s %-10s %-10s %-10s %-10s %-10s\n" circuit level nodes sec MB \
  sec1M MB1M "t x" "mem x" 10% gen.tst gen.red gen1M.tst gen1M.red stuck_at delay

# Runs generate [extra options] in dir `repeat` times; keeps the .tst and
# .red of the last run as <tag>.tst and <tag>.red.  Sets GEN_SECS (the best
# run) and GEN_MB, or returns 1 (2: out of memory).
generate_in() {  # dir bindir design tag limited repeat [options]
  local dir=$1 bin=$2 design=$3 tag=$4 limited=$5 repeat=$6 r
  shift 6
  GEN_SECS=
  for r in $(seq "$repeat"); do
    rm -f "$dir/$design.tst" "$dir/$design.red"
    if ! run_in "$dir" "$limited" "$bin/generate" "$@" "$design"; then
      grep -q "Out of memory\|bad_alloc\|Cannot allocate" "$dir/log" && return 2
      # A run that reaches the vector limit still writes its files.
      grep -q "Vector limit exceeded" "$dir/log" && [ -f "$dir/$design.tst" ] || return 1
    fi
    if [ -z "$GEN_SECS" ] || awk -v a="$RUN_SECS" -v b="$GEN_SECS" 'BEGIN { exit !(a < b) }'; then
      GEN_SECS=$RUN_SECS
      GEN_MB=$(awk -v k="$RUN_KB" 'BEGIN { printf "%.1f", k / 1024 }')
    fi
  done
  mv "$dir/$design.tst" "$dir/$tag.tst"
  mv "$dir/$design.red" "$dir/$tag.red" 2>/dev/null
  return 0
}

for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    design=${stem}_$level
    fullscan_model "$bindir" $level "$design" 9 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$design.agm")
    rm -rf new ref
    mkdir new ref
    cp "$design.agm" new/
    cp "$design.agm" ref/
    line=$(printf "%-9s %-5s %6s" "$circuit" $level "$nodes")
    if ! generate_in new "$bindir" "$design" gen0 no "$runs"; then
      printf "%s generate FAILED\n" "$line"
      notes+=("$circuit $level: generate: $(grep -v '^$' new/log | tail -n 1)")
      failed=1
      continue
    fi
    s0=$GEN_SECS m0=$GEN_MB
    generate_in new "$bindir" "$design" gen1 yes "$runs" -vector_limit $big
    case $? in
      0) s1=$GEN_SECS m1=$GEN_MB ;;
      2) s1=oom m1=oom
         notes+=("$circuit $level: generate -vector_limit $big ran out of memory under ${memlimit} KB")
         failed=1 ;;
      *) s1=FAILED m1=FAILED
         notes+=("$circuit $level: generate -vector_limit $big: $(grep -v '^$' new/log | tail -n 1)")
         failed=1 ;;
    esac
    ratios="- - no"
    [[ $s1 =~ ^[0-9.]+$ ]] && ratios=$(awk -v s0="$s0" -v s1="$s1" -v m0="$m0" -v m1="$m1" 'BEGIN {
      t = s0 > 0 ? s1 / s0 : 0; m = m0 > 0 ? m1 / m0 : 0
      printf "%.2f %.2f %s", t, m, (t <= 1.1 && m <= 1.1 ? "yes" : "no") }')
    line+=$(printf " %7s %7s %7s %7s %6s %6s %4s " "$s0" "$m0" "$s1" "$m1" $ratios)
    verdicts=""
    if [ -z "$refdir" ]; then
      verdicts="(no reference)"
    else
      # generate, both limits
      for tag in gen0 gen1; do
        opts=()
        limited=no
        [ $tag = gen1 ] && { opts=(-vector_limit $big); limited=yes; }
        generate_in ref "$refdir" "$design" $tag $limited 1 "${opts[@]}"
        status=$?
        mark=
        if [ $status -eq 2 ] && [ -f new/$tag.tst ]; then
          # The limit only caps the patterns: a run that stays below it writes
          # what a run at any higher limit writes.  So when the reference
          # cannot allocate the rows, it runs at a limit just above the
          # patterns the new run found.
          found=$(awk '/^\.VECTORS/ { print $2; exit }' new/$tag.tst)
          if [ -n "$found" ] && [ "$found" -lt $big ]; then
            low=$((2 * found + 2))
            generate_in ref "$refdir" "$design" $tag $limited 1 -vector_limit $low
            status=$?
            if [ $status -eq 0 ] && ! grep -q "Vector limit exceeded" ref/log; then
              mark='*'
              notes+=("$circuit $level: * the reference cannot allocate $big rows; compared with its run at \
-vector_limit $low, below which both runs stay ($found patterns)")
            else
              status=2
            fi
          fi
        fi
        for ext in tst red; do
          if [ $status -eq 2 ]; then
            verdicts+=$(printf " %-10s" skipped)
          elif [ $status -ne 0 ]; then
            verdicts+=$(printf " %-10s" "ref-fail")
          elif [ ! -f new/$tag.$ext ]; then
            verdicts+=$(printf " %-10s" "-")
          else
            compare "$circuit $level $tag.$ext" new/$tag.$ext ref/$tag.$ext
            verdicts+=$(printf " %-10s" "$SAME$mark")
          fi
        done
        [ $status -eq 2 ] && notes+=("$circuit $level: reference generate ${opts[*]} ran out of memory under \
${memlimit} KB: not compared")
        [ $status -eq 1 ] && notes+=("$circuit $level: reference generate ${opts[*]}: $(grep -v '^$' ref/log |
          tail -n 1)")
      done
      # analyze, stuck-at and delay, on the default run's patterns
      for model in stuck_at delay; do
        cp new/gen0.tst new/"$design".in
        cp new/gen0.tst ref/"$design".in
        if run_in new no "$bindir/analyze" -model $model -extension in "$design" &&
          run_in ref no "$refdir/analyze" -model $model -extension in "$design"; then
          compare "$circuit $level analyze $model" new/"$design".tst ref/"$design".tst
          verdicts+=$(printf " %-10s" $SAME)
        else
          verdicts+=$(printf " %-10s" FAILED)
          notes+=("$circuit $level: analyze -model $model failed")
          failed=1
        fi
      done
    fi
    echo "$line$verdicts"
    rm -rf new ref
  done
  rm -f "$stem"*
done
finish
