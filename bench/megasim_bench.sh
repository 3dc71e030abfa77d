#!/usr/bin/env bash
# megasim against analyze on the full-scan ISCAS'89 models, in two parts.
#
# 1. Agreement: for every circuit its full-scan view is synthesised by
# `import -read_iscas89` at macro and gate level, one file of random
# patterns is drawn once with a fixed seed, and analyze, megasim and megasim
# -drop_faults each simulate a copy of it.  Prints per model its nodes and
# patterns, the seconds of each whole run and of the timed steps (analyze:
# simulation; megasim: topology and simulation), the ratios megasim/analyze
# (whole run, timed steps) and whether megasim's file is identical to
# analyze's (dropping: the same fault row and coverage).  The last column
# says whether megasim's sliced runs (-split 2 at half the internal graphs,
# -split 4 at the estimated bounds, both also with -split_prev) and a run
# with -packet_size 2 write analyze's file as well; an estimate that leaves a
# slice empty is refused by megasim and noted.
#
# 2. Speed goals, on the 16 x 16 multiplier of bench/multiplier.py and on
# every full-scan model of more than 5,000 nodes (both levels): on one file
# of 1,000 and one of 10,000 random patterns the whole-run seconds of
# analyze, megasim and megasim -drop_faults (the best of RUNS), the ratios
# megasim/analyze and drop/analyze, and the goals: megasim no slower than
# analyze at 10,000 patterns and within 1.1 times at 1,000, megasim
# -drop_faults faster than analyze at both.  Then per model the simulation
# step of `megasim -random 10000` with and without -drop_faults on every
# model, the smaller full-scan models too (goal: dropping no slower).  With BASELINE, every file written (analyze, megasim,
# -drop_faults, -drop_faults -fault_table, -fault_stats, and the -random
# runs) is compared byte for byte with the baseline build's.
#
# Usage: megasim_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default
# all; "mult16" names the multiplier, which part 2 takes when no circuit is
# named)
# Environment: BENCH (benchmark folder, default benchmarks/ of the
# repository), PATTERNS (part 1, default 3200), SEED (default 2026), RUNS
# (timed runs of each program, taking turns, the best figures kept; default
# 1 in part 1, 3 in part 2), BASELINE (bindir of the build to compare files
# with), PARTS (default "1 2").
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "megasim benchmark" import analyze megasim
benchmark_folder
patterns=${PATTERNS:-3200}
seed=${SEED:-2026}
runs=${RUNS:-1}
goal_runs=${RUNS:-3}
parts=${PARTS:-1 2}
basedir=
if [ -n "${BASELINE:-}" ]; then
  basedir=$(cd "$BASELINE" && pwd) || exit 2
  for p in analyze megasim; do [ -x "$basedir/$p" ] || { echo "$p not found in $basedir" >&2; exit 2; }; done
fi

# The multiplier is a model of part 2 when no circuit is named or when it is.
with_mult=no
[ $# -eq 0 ] && with_mult=yes
named=()
for c in "$@"; do
  if [ "$c" = mult16 ]; then with_mult=yes; else named+=("$c"); fi
done
circuit_files "$src" ${named[@]+"${named[@]}"}
[ $# -gt 0 ] && [ ${#named[@]} -eq 0 ] && files=()
enter_work_folder

# Runs a program in the current folder; sets SECS (wall clock) and STEPS (sum
# of the program's own "Time, used by process" lines after the first
# `skip` of them).  Returns the program's status.
timed() {  # skip log program args...
  local skip=$1 log=$2 t0 t1 status
  shift 2
  t0=$(date +%s.%N)
  "$@" >"$log" 2>&1
  status=$?
  t1=$(date +%s.%N)
  SECS=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  STEPS=$(awk -v skip="$skip" '/^Time, used by process:/ { if (++n > skip) s += $5 } END { printf "%.2f", s }' "$log")
  return $status
}
# The lower of two figures; an empty first one counts as none.
lower() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b + 0 < a + 0) print b; else print a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
faults_of() { sed -n '/^\.FAULTS/,$p' "$1"; }

failed=0
notes=()
part1() {
echo "1. agreement: $patterns random patterns (best of $runs)"
printf "%-10s %-5s %7s %8s | %8s %8s | %8s %8s | %8s | %6s %6s | %9s %9s %8s\n" circuit level nodes patterns \
  analyze steps megasim steps drop ratio steps identical drop_same variants
for f in ${files[@]+"${files[@]}"}; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    d=${stem}_$level
    fullscan_model "$bindir" $level "$d" 10 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$d.agm")
    if ! "$bindir/megasim" -random "$patterns" -random_seed "$seed" "$d" >"$d.draw" 2>&1; then
      printf "%-10s %-5s drawing patterns FAILED\n" "$circuit" $level
      failed=1
      continue
    fi
    mv "$d.tst" patterns.tst
    cp "$d.agm" ana.agm
    # The three runs take turns, so a changing load weighs on each alike;
    # each figure is the best of RUNS.
    a_secs="" a_steps="" m_secs="" m_steps="" d_secs="" failure="" identical=yes
    for ((k = 0; k < runs; k++)); do
      cp patterns.tst ana.tst
      timed 0 ana.log "$bindir/analyze" ana || { failure="analyze failed"; break; }
      a_secs=$(lower "$a_secs" "$SECS") a_steps=$(lower "$a_steps" "$STEPS")
      cp patterns.tst "$d.tst"
      timed 1 mega.log "$bindir/megasim" "$d" || { failure="megasim failed"; break; }
      m_secs=$(lower "$m_secs" "$SECS") m_steps=$(lower "$m_steps" "$STEPS")
      cmp -s "$d.tst" ana.tst || identical=no
      cp patterns.tst "$d.tst"
      timed 1 drop.log "$bindir/megasim" -drop_faults "$d" || { failure="megasim -drop_faults failed"; break; }
      d_secs=$(lower "$d_secs" "$SECS")
    done
    [ -z "$failure" ] || { notes+=("$circuit $level: $failure"); failed=1; continue; }
    drop_same=no
    [ "$(faults_of "$d.tst")" = "$(faults_of ana.tst)" ] && [ "$(grep '^Covered' drop.log)" = "$(grep '^Covered' ana.log)" ] && drop_same=yes
    variants=yes
    half=$(( $(awk '/^STAT#/ { print $6 - $12; exit }' "$d.agm") / 2 ))
    for opts in "-split 2 -split_range $half" "-split 2 -split_prev -split_range $half" "-split 4" "-split 4 -split_prev" \
      "-packet_size 2"; do
      cp patterns.tst "$d.tst"
      if ! "$bindir/megasim" $opts "$d" >variant.log 2>&1; then
        if grep -q "Illegal split range" variant.log && [[ "$opts" != *split_range* ]]; then
          notes+=("$circuit $level $opts: the estimate leaves a slice empty (refused)")
        else
          variants=no
        fi
        continue
      fi
      cmp -s "$d.tst" ana.tst || variants=no
    done
    [ $identical = yes ] && [ $drop_same = yes ] && [ $variants = yes ] ||
      { failed=1; notes+=("$circuit $level: results differ from analyze"); }
    printf "%-10s %-5s %7s %8s | %8s %8s | %8s %8s | %8s | %6s %6s | %9s %9s %8s\n" "$circuit" $level "$nodes" "$patterns" \
      "$a_secs" "$a_steps" "$m_secs" "$m_steps" "$d_secs" "$(ratio "$m_secs" "$a_secs")" "$(ratio "$m_steps" "$a_steps")" \
      $identical $drop_same $variants
    rm -f "$d.tst" ana.tst patterns.tst
  done
  rm -f "$stem"*
done
}

# --- 2. speed goals -------------------------------------------------------

# Compares a file of this build with the baseline's: adds "=" or, noting
# the difference, "DIFF" to BASE_SAME.
against_base() {  # label new baseline
  if cmp -s "$2" "$3"; then
    BASE_SAME+="="
  else
    BASE_SAME+="D"
    notes+=("$1: file differs from the baseline's")
    failed=1
  fi
}

# Whole-run seconds of analyze, megasim and megasim -drop_faults on the
# file p<n>.tst of design d (the best of goal_runs, taking turns), the
# ratios and goals, and with a baseline whether every file is the same.
goal_row() {  # label level nodes design n
  local label=$1 level=$2 nodes=$3 d=$4 n=$5 k a_secs="" m_secs="" d_secs="" ma da met
  for ((k = 0; k < goal_runs; k++)); do
    cp "p$n.tst" ana.tst
    timed 0 ana.log "$bindir/analyze" ana || { notes+=("$label $level $n: analyze failed"); failed=1; return; }
    a_secs=$(lower "$a_secs" "$SECS")
    cp "p$n.tst" "$d.tst"
    timed 1 mega.log "$bindir/megasim" "$d" || { notes+=("$label $level $n: megasim failed"); failed=1; return; }
    m_secs=$(lower "$m_secs" "$SECS")
    mv "$d.tst" mega.tst
    cp "p$n.tst" "$d.tst"
    timed 1 drop.log "$bindir/megasim" -drop_faults "$d" || { notes+=("$label $level $n: megasim -drop_faults failed"); failed=1; return; }
    d_secs=$(lower "$d_secs" "$SECS")
    mv "$d.tst" drop.tst
  done
  cmp -s mega.tst ana.tst || { notes+=("$label $level $n: megasim's file differs from analyze's"); failed=1; }
  ma=$(ratio "$m_secs" "$a_secs") da=$(ratio "$d_secs" "$a_secs")
  local limit=1.10
  [ "$n" -ge 10000 ] && limit=1.00
  met=$(awk -v m="$ma" -v d="$da" -v l="$limit" 'BEGIN { print (m <= l && d < 1 ? "met" : "NOT met") }')
  BASE_SAME=-
  if [ -n "$basedir" ]; then
    BASE_SAME=""
    mkdir -p base
    cp "$d.agm" base/ana.agm
    cp "$d.agm" "base/$d.agm"
    cp "p$n.tst" base/ana.tst
    (cd base && "$basedir/analyze" ana >/dev/null 2>&1)
    against_base "$label $level $n analyze" ana.tst base/ana.tst
    for opts in "" "-drop_faults" "-drop_faults -fault_table" "-fault_stats"; do
      local mine=mega.tst
      [ "$opts" = -drop_faults ] && mine=drop.tst
      if [ "$mine" = mega.tst ] && [ -n "$opts" ]; then
        cp "p$n.tst" "$d.tst"
        "$bindir/megasim" $opts "$d" >/dev/null 2>&1
        mine=opts.tst
        mv "$d.tst" opts.tst
      fi
      cp "p$n.tst" "base/$d.tst"
      (cd base && "$basedir/megasim" $opts "$d" >/dev/null 2>&1)
      against_base "$label $level $n megasim $opts" "$mine" "base/$d.tst"
    done
    rm -rf base opts.tst
  fi
  printf "%-10s %-5s %7s %6s | %8s %8s %8s | %6s %6s | %-7s | %s\n" "$label" "$level" "$nodes" "$n" \
    "$a_secs" "$m_secs" "$d_secs" "$ma" "$da" "$met" "$BASE_SAME"
  rm -f ana.tst mega.tst drop.tst
}

# Simulation step of megasim -random 10000 with and without dropping (the
# best of goal_runs), against the goal; with a baseline, the random runs'
# files compared with the baseline's.
drop_row() {  # label level design
  local label=$1 level=$2 d=$3 k plain="" drop="" step base=-
  for ((k = 0; k < goal_runs; k++)); do
    for opt in "" -drop_faults; do
      "$bindir/megasim" -random 10000 -random_seed "$seed" -no_output $opt "$d" >rnd.log 2>&1 ||
        { notes+=("$label $level: megasim -random 10000 $opt failed"); failed=1; return; }
      step=$(awk '/^Simulating faults/ { s = 1 } s && /^Time, used by process:/ { print $5; exit }' rnd.log)
      if [ -z "$opt" ]; then plain=$(lower "$plain" "$step"); else drop=$(lower "$drop" "$step"); fi
    done
  done
  if [ -n "$basedir" ]; then
    BASE_SAME=""
    mkdir -p base
    for opt in "" -drop_faults; do
      cp "$d.agm" "base/$d.agm"
      "$bindir/megasim" -random 10000 -random_seed "$seed" $opt "$d" >/dev/null 2>&1
      (cd base && "$basedir/megasim" -random 10000 -random_seed "$seed" $opt "$d" >/dev/null 2>&1)
      against_base "$label $level megasim -random 10000 $opt" "$d.tst" "base/$d.tst"
      rm -f "$d.tst" "base/$d.tst"
    done
    rm -rf base
    base=$BASE_SAME
  fi
  printf "%-10s %-5s | %9s %9s | %6s | %-7s | %s\n" "$label" "$level" "$plain" "$drop" "$(ratio "$drop" "$plain")" \
    "$(awk -v a="$drop" -v b="$plain" 'BEGIN { print (a <= b ? "met" : "NOT met") }')" "$base"
}

# The models of part 2 as "label level design nodes", made in the folder:
# `models` those of the file goals, `small` the other full-scan models.
goal_models() {
  models=()
  small=()
  local f level d nodes
  if [ $with_mult = yes ]; then
    if command -v python3 >/dev/null && python3 "$here/multiplier.py" 16 >mult16.bench; then
      for level in macro gate; do
        synth "$bindir" mult16 $level "mult16_$level" || { notes+=("mult16 $level: import failed"); failed=1; continue; }
        models+=("mult16 $level mult16_$level $(awk '/^STAT#/ { print $2; exit }' "mult16_$level.agm")")
      done
    else
      notes+=("16 x 16 multiplier: python3 not found, not measured")
    fi
  fi
  for f in ${files[@]+"${files[@]}"}; do
    fullscan_view "$f" || continue
    for level in macro gate; do
      d=${stem}_$level
      fullscan_model "$bindir" $level "$d" 10 || continue
      nodes=$(awk '/^STAT#/ { print $2; exit }' "$d.agm")
      if [ "$nodes" -gt 5000 ]; then models+=("$circuit $level $d $nodes"); else small+=("$circuit $level $d $nodes"); fi
    done
  done
}

part2() {
  goal_models
  echo "2. speed goals: whole-run seconds on one file of random patterns (best of $goal_runs); goals: megasim/analyze"
  echo "   at most 1.10 at 1000 patterns and 1.00 at 10000, drop/analyze below 1; base: files against the baseline"
  echo "   (= the same, D different; analyze, megasim, -drop_faults, -drop_faults -fault_table, -fault_stats)"
  printf "%-10s %-5s %7s %6s | %8s %8s %8s | %6s %6s | %-7s | %s\n" model level nodes pats analyze megasim drop \
    "m/a" "d/a" goals base
  local m label level d nodes n
  for m in ${models[@]+"${models[@]}"}; do
    read -r label level d nodes <<<"$m"
    for n in 1000 10000; do
      if ! "$bindir/megasim" -random $n -random_seed "$seed" "$d" >draw.log 2>&1; then
        notes+=("$label $level: drawing $n patterns failed")
        failed=1
        continue
      fi
      mv "$d.tst" "p$n.tst"
    done
    cp "$d.agm" ana.agm
    for n in 1000 10000; do [ -f "p$n.tst" ] && goal_row "$label" $level "$nodes" "$d" $n; done
    rm -f p1000.tst p10000.tst
  done
  echo
  echo "   simulation step of megasim -random 10000 -no_output, seconds (best of $goal_runs); goal: drop/plain at most 1"
  printf "%-10s %-5s | %9s %9s | %6s | %-7s | %s\n" model level plain drop ratio goal base
  for m in ${models[@]+"${models[@]}"} ${small[@]+"${small[@]}"}; do
    read -r label level d nodes <<<"$m"
    drop_row "$label" $level "$d"
    rm -f "$d".*
  done
}

for part in $parts; do
  case $part in
    1) part1 ;;
    2) part2 ;;
  esac
  echo
done
finish
