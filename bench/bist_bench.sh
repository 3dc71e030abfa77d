#!/usr/bin/env bash
# BIST emulation on the full-scan ISCAS'89 models (import -read_iscas89 of
# the full-scan view): per circuit bistan in BILBO and in CSTP with register
# strings built here (generator one stage longer than the inputs or outputs,
# analyser two stages longer than the outputs), analyze on the patterns of
# each run, and both runs again with -aliasing.  Prints nodes, patterns,
# coverage and wall-clock seconds of each bistan run, analyze's seconds,
# whether analyze's coverage agrees with bistan's on both files, and the
# seconds with -aliasing.  Then, for the circuits of SERIAL (default s5378),
# times the aliasing analysis that re-emulates every fault (bistan_serial)
# against the default one and checks that both print the same.
# Usage: bist_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder), COUNT (test length, default 1000),
# ALIAS_NODES (CSTP aliasing only up to this many nodes, default 50000),
# SERIAL (circuits of the serial comparison; empty: none).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "BIST benchmark" bistan analyze import
benchmark_folder
count=${COUNT:-1000}
alias_nodes=${ALIAS_NODES:-50000}
serial=${SERIAL-s5378}

circuit_files "$src" "$@"
enter_work_folder

# Register strings of a fixed pseudo-random sequence.
bits() {  # length seed
  local len=$1 s=$2 out="" i
  for ((i = 0; i < len; i++)); do
    s=$(((s * 1103515245 + 12345) & 0x7fffffff))
    out+=$(((s >> 16) & 1))
  done
  echo "$out"
}
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
now() { date +%s.%N; }
detected() { awk '$1 == ".COVERAGE" { getline; getline; print $1; exit }' "$1"; }

# Runs bistan; sets RUN_SECS, RUN_PATTERNS, RUN_COVERAGE (per cent) or
# returns 1.
run_bistan() {  # program design file args...
  local prog=$1 d=$2 file=$3 t0 t1
  shift 3
  t0=$(now)
  "$bindir/$prog" "$@" "$d" >"$d.run" 2>&1 || return 1
  t1=$(now)
  RUN_SECS=$(secs "$t0" "$t1")
  RUN_PATTERNS=$(awk '$1 == ".VECTORS" { print $2; exit }' "$file")
  RUN_COVERAGE=$(awk '$1 == ".COVERAGE" { getline; getline; printf "%.2f", $5; exit }' "$file")
}

# analyze on a BIST file without its fault row; sets ANA_SECS and ANA_AGREE.
run_analyze() {  # design file ext
  local d=$1 file=$2 ext=$3 t0 t1 covered
  rm -rf ana && mkdir ana && cp "$d.agm" ana/
  awk '/^\.FAULTS/ { skip = 1 } /^\.COVERAGE/ { skip = 0 } !skip' "$file" >"ana/$d.$ext"
  t0=$(now)
  (cd ana && "$bindir/analyze" -extension "$ext" "$d" >ana.out 2>&1)
  t1=$(now)
  ANA_SECS=$(secs "$t0" "$t1")
  covered=$(awk '/^Covered / { print $2; exit }' ana/ana.out)
  ANA_AGREE=no
  [ -n "$covered" ] && [ "$covered" = "$(detected "$file")" ] && ANA_AGREE=yes
}

fmt="%-8s %6s %8s %7s %7s %7s %7s %7s %7s %5s %8s %8s\n"
printf "$fmt" circuit nodes patterns "bilbo%" secs analyze "cstp%" secs analyze agree alias_b alias_c
failed=0
notes=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  d=${stem}_m
  if ! synth "$bindir" "$stem" macro "$d"; then
    if accepted_refusal "$stem.bench" "$d.log"; then
      printf "%-8s refused by import\n" "$circuit"
      notes+=("$circuit: $REFUSAL")
    else
      printf "%-8s import FAILED\n" "$circuit"
      failed=1
    fi
    continue
  fi
  read -r nodes ni no <<<"$(awk '/^STAT#/ { print $2, $8, $12; exit }' "$d.agm")"
  glen=$((ni + 1))
  [ $((no + 1)) -gt $glen ] && glen=$((no + 1))
  alen=$((no + 2))
  GP=$(bits $glen 1); GI=$(bits $glen 2); AP=$(bits $alen 3); AI=$(bits $alen 4)
  bilbo=(-gpoly "$GP" -ginit "$GI" -apoly "$AP" -ainit "$AI" -count "$count")
  cstp=(-simul cstp -gpoly "$GP" -ginit "$GI" -count "$count")
  if ! run_bistan bistan "$d" "$d.bil" "${bilbo[@]}"; then
    printf "%-8s bistan BILBO FAILED\n" "$circuit"
    notes+=("$circuit: $(grep -v '^$' "$d.run" | tail -n 1)")
    failed=1
    continue
  fi
  pat=$RUN_PATTERNS bcov=$RUN_COVERAGE bsecs=$RUN_SECS
  run_analyze "$d" "$d.bil" bil
  bana=$ANA_SECS bagree=$ANA_AGREE
  if ! run_bistan bistan "$d" "$d.cst" "${cstp[@]}"; then
    printf "%-8s bistan CSTP FAILED\n" "$circuit"
    failed=1
    continue
  fi
  ccov=$RUN_COVERAGE csecs=$RUN_SECS
  run_analyze "$d" "$d.cst" cst
  cana=$ANA_SECS
  agree=no
  [ "$bagree" = yes ] && [ "$ANA_AGREE" = yes ] && agree=yes
  [ $agree = yes ] || { failed=1; notes+=("$circuit: analyze disagrees (BILBO $bagree, CSTP $ANA_AGREE)"); }
  run_bistan bistan "$d" "$d.bil" "${bilbo[@]}" -aliasing && asb=$RUN_SECS || asb=FAIL
  if [ "$nodes" -le "$alias_nodes" ]; then
    run_bistan bistan "$d" "$d.cst" "${cstp[@]}" -aliasing && asc=$RUN_SECS || asc=FAIL
  else
    asc=-
  fi
  printf "$fmt" "$circuit" "$nodes" "$pat" "$bcov" "$bsecs" "$bana" "$ccov" "$csecs" "$cana" "$agree" "$asb" "$asc"
done

# The aliasing analysis against the serial re-emulation of every fault.
if [ -n "$serial" ] && [ -x "$bindir/bistan_serial" ]; then
  echo
  printf "%-8s %-5s %10s %10s %8s %5s\n" circuit arr serial default speedup same
  for circuit in $serial; do
    stem=$(stem_of "$src/$circuit.bench")_fs
    d=${stem}_m
    if [ ! -f "$d.agm" ]; then
      bash "$here/fullscan.sh" "$src/$circuit.bench" >"$stem.bench"
      synth "$bindir" "$stem" macro "$d" || continue
    fi
    read -r nodes ni no <<<"$(awk '/^STAT#/ { print $2, $8, $12; exit }' "$d.agm")"
    glen=$((ni + 1))
    [ $((no + 1)) -gt $glen ] && glen=$((no + 1))
    alen=$((no + 2))
    GP=$(bits $glen 1); GI=$(bits $glen 2); AP=$(bits $alen 3); AI=$(bits $alen 4)
    for arr in bilbo cstp; do
      if [ $arr = bilbo ]; then
        a=(-gpoly "$GP" -ginit "$GI" -apoly "$AP" -ainit "$AI" -count "$count" -aliasing)
      else
        a=(-simul cstp -gpoly "$GP" -ginit "$GI" -count "$count" -aliasing)
      fi
      t0=$(now); "$bindir/bistan_serial" "${a[@]}" "$d" >serial.out 2>&1; t1=$(now)
      ss=$(secs "$t0" "$t1")
      t0=$(now); "$bindir/bistan" "${a[@]}" "$d" >fast.out 2>&1; t1=$(now)
      fs=$(secs "$t0" "$t1")
      same=no
      cmp -s <(sed 's/process: [0-9.]*/process: T/' serial.out) <(sed 's/process: [0-9.]*/process: T/' fast.out) &&
        same=yes
      [ $same = yes ] || failed=1
      printf "%-8s %-5s %10s %10s %8s %5s\n" "$circuit" $arr "$ss" "$fs" \
        "$(awk -v s="$ss" -v f="$fs" 'BEGIN { if (f > 0) printf "%.1fx", s / f; else print "-" }')" $same
    done
  done
fi
finish
