#!/usr/bin/env bash
# generate against an earlier build: the same results, and how much faster.
#
# 1. Identity: every ISCAS'89 circuit of the benchmark folder, full-scan view
#    synthesised by `import -read_iscas89` at macro and gate level, and the
#    16 x 16 array multiplier of bench/multiplier.py at both levels; generate
#    of both builds with each option set of OPTION_SETS.  Per model the .tst
#    and .red files, the standard output without its "Time, used by process"
#    line, the error output and the exit status must be byte-identical:
#    "identical" or "DIFFERENT (what)".  A circuit import refuses is listed.
# 2. Speed: generate -vector_limit 100000 on the full-scan s35932, s38417 and
#    s38584.1 and on the multiplier, macro and gate level: processor seconds
#    (user + system) of the whole run, the best of RUNS runs of each build
#    taken in turn, the fault loop's own seconds (its timing line) likewise,
#    and the ratios earlier / this build against the goal of 2.
#
# Usage: generate_speed.sh <bindir> <earlier bindir> [circuit ...]
#   (circuits of part 1 as in the ISCAS'89 folder, e.g. s27 s298; default all;
#   "none" skips part 1)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), RUNS (default 5), OPTION_SETS (';'-separated generate option
# sets of part 1, default "-vector_limit 100000;;-fault_table"), SPEED=no
# (skip part 2).  Other work on the machine inflates processor times; the
# best of several runs is the figure least disturbed by it.
set -u
[ $# -ge 2 ] || { echo "usage: $0 <bindir> <earlier bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
refdir=$(cd "$2" && pwd) || exit 2
shift 2
for p in generate import; do
  [ -x "$bindir/$p" ] || { echo "$p not found in $bindir" >&2; exit 2; }
done
[ -x "$refdir/generate" ] || { echo "generate not found in $refdir" >&2; exit 2; }
need_gnu_time
command -v python3 >/dev/null || { echo "python3 is needed for the multiplier" >&2; exit 2; }
benchmark_folder
runs=${RUNS:-5}
IFS=';' read -r -a option_sets <<<"${OPTION_SETS--vector_limit 100000;;-fault_table}"
[ ${#option_sets[@]} -gt 0 ] || option_sets=("")

skip_identity=no
if [ "${1:-}" = none ]; then
  skip_identity=yes
  shift
fi
circuit_files "$src" "$@"
enter_work_folder
failed=0
notes=()

# Runs generate of build $1 with options $2 on model $3 in folder $4 (a copy
# of the model), keeping stdout, stderr and status there.
run_generate() {  # bindir options model folder
  local dir=$4
  mkdir -p "$dir"
  cp "$3.agm" "$dir/"
  (
    cd "$dir" || exit 2
    # shellcheck disable=SC2086
    "$1/generate" $2 "$3" >out 2>err
    echo $? >status
  )
}

# Compares the runs in folders a and b of model $1; prints the verdict.
same_results() {  # model
  local what=() f
  cmp -s <(grep -v '^Time, used by process' a/out) <(grep -v '^Time, used by process' b/out) || what+=(stdout)
  cmp -s a/err b/err || what+=(stderr)
  cmp -s a/status b/status || what+=(status)
  for f in "$1.tst" "$1.red"; do
    if [ -e "a/$f" ] || [ -e "b/$f" ]; then
      cmp -s "a/$f" "b/$f" || what+=("$f")
    fi
  done
  if [ ${#what[@]} -eq 0 ]; then
    echo identical
  else
    echo "DIFFERENT (${what[*]})"
  fi
}

# Part 1 for the model $1 (name in the table: $2, level $3).
identity_row() {  # model circuit level
  local opts verdict
  for opts in "${option_sets[@]}"; do
    rm -rf a b
    run_generate "$bindir" "$opts" "$1" b
    run_generate "$refdir" "$opts" "$1" a
    verdict=$(same_results "$1")
    printf "%-10s %-5s %-22s %-8s %s\n" "$2" "$3" "${opts:-(defaults)}" "$(cat b/status)" "$verdict"
    case $verdict in identical) ;; *)
      failed=1
      notes+=("$2 $3 ${opts:-(defaults)}: $verdict")
      ;;
    esac
  done
  rm -rf a b
}

python3 "$here/multiplier.py" 16 >mult16.bench
for level in macro gate; do
  opts=(-read_iscas89)
  [ $level = gate ] && opts=(-gate_level -read_iscas89)
  "$bindir/import" "${opts[@]}" mult16.bench >/dev/null 2>&1 && mv mult16.agm "mult16_$level.agm" ||
    { echo "import of the multiplier failed at $level level" >&2; exit 2; }
done

if [ $skip_identity = no ]; then
  echo "Identity of generate's results with the earlier build"
  printf "%-10s %-5s %-22s %-8s %s\n" circuit level options status results
  for level in macro gate; do identity_row "mult16_$level" mult16 $level; done
  for f in "${files[@]}"; do
    fullscan_view "$f" || continue
    for level in macro gate; do
      design=${stem}_$level
      fullscan_model "$bindir" $level "$design" 10 || continue
      identity_row "$design" "$circuit" $level
      rm -f "$design.agm"
    done
    rm -f "$stem"*
  done
  echo
fi

# Processor seconds of one run of build $1 on model $2: "whole loop".
timed_run() {  # bindir model
  rm -rf t
  mkdir t
  cp "$2.agm" t/
  (
    cd t || exit 2
    /usr/bin/time -f "%U %S" -o cpu "$1/generate" -vector_limit 100000 "$2" >out 2>&1
    whole=$(awk 'END { printf "%.3f", $1 + $2 }' cpu)
    loop=$(awk '/^Time, used by process:/ { printf "%.3f", $5; exit }' out)
    echo "$whole ${loop:-0}"
  )
}

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

if [ "${SPEED:-yes}" != no ]; then
  echo "Speed of generate -vector_limit 100000 (processor seconds, best of $runs runs; goal: ratio 2)"
  printf "%-10s %-5s %9s %9s %7s %9s %9s %7s %s\n" circuit level earlier this ratio loop_earl loop_this ratio goal
  models=()
  for c in s35932 s38417 s38584.1; do
    if [ -f "$src/$c.bench" ]; then
      stem=$(stem_of "$src/$c.bench")_fs
      bash "$here/fullscan.sh" "$src/$c.bench" >"$stem.bench"
      for level in macro gate; do
        synth "$bindir" "$stem" $level "${stem}_$level" && models+=("$c ${stem}_$level $level")
      done
    else
      notes+=("$c: not in $src, not measured")
    fi
  done
  for level in macro gate; do models+=("mult16 mult16_$level $level"); done
  for entry in "${models[@]}"; do
    read -r circuit model level <<<"$entry"
    ew=; el=; tw=; tl=
    for ((i = 0; i < runs; i++)); do
      read -r w l <<<"$(timed_run "$refdir" "$model")"
      ew=$(min "$ew" "$w")
      el=$(min "$el" "$l")
      read -r w l <<<"$(timed_run "$bindir" "$model")"
      tw=$(min "$tw" "$w")
      tl=$(min "$tl" "$l")
    done
    r=$(ratio "$ew" "$tw")
    goal=met
    awk -v r="$r" 'BEGIN { exit !(r + 0 >= 2) }' || goal="not met"
    printf "%-10s %-5s %9s %9s %7s %9s %9s %7s %s\n" "$circuit" "$level" "$ew" "$tw" "$r" "$el" "$tl" \
      "$(ratio "$el" "$tl")" "$goal"
  done
  rm -rf t
fi
finish
