#!/usr/bin/env bash
# Cross-checks of bistan and bistemu on the full-scan model of one ISCAS'89
# circuit, run in the current folder with the programs on PATH:
# - analyze re-simulating a BIST file (its fault row removed) writes the same
#   patterns, table, fault row and coverage;
# - a file fed back (-usetst in BILBO, its .ANALYZER strings in CSTP) with
#   -count equal to its .VECTORS is reproduced byte for byte;
# - the file's patterns and signature follow from its register strings
#   (sigref.py, an independent model of the registers);
# - -generate writes the input columns of the same run;
# - -aliasing leaves the file and the run list (but its aliasing line) as
#   they are, its marks are a subset of the fault row, and the serial
#   re-emulation (bistan_serial, bistemu_serial) prints and writes the same;
# - bistemu's file equals bistan's, also when shortened, and both print the
#   same aliasing coverage.
# Prints the failures and a count of the checks.
# Usage: crosscheck.sh <circuit> [count]
set -u
here=$(cd "$(dirname "$0")" && pwd)
c=$1
n=${2:-120}
bench=${BENCH:-$here/../../benchmarks}/iscas89/$c.bench
bash "$here/../../bench/fullscan.sh" "$bench" >"${c}fs.bench" || exit 2
import -read_iscas89 "${c}fs.bench" >/dev/null || exit 2
d=${c}fs
read -r ni no <<<"$(awk '/^STAT#/ { print $8, $12; exit }' "$d.agm")"

checks=0
failures=0
ok() {  # description, then the command whose success is checked
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    echo "FAIL $c: $what"
    failures=$((failures + 1))
  fi
}

# Register strings of a fixed pseudo-random sequence.
bits() {  # length seed
  local len=$1 s=$2 out="" i
  for ((i = 0; i < len; i++)); do
    s=$(((s * 1103515245 + 12345) & 0x7fffffff))
    out+=$(((s >> 16) & 1))
  done
  echo "$out"
}
glen=$((ni + 3))
[ $((no + 2)) -gt $glen ] && glen=$((no + 2))
alen=$((no + 2))
GP=$(bits $glen 1)
GI=$(bits $glen 2)
AP=$(bits $alen 3)
AI=$(bits $alen 4)

section() { sed -n "/^\\.$1/,\$p" "$2"; }
value() { awk -v k=".$2" '$1 == k { print $2; exit }' "$1"; }
rows() { awk '/^\.PATTERNS/ { p = 1; next } /^\./ { p = 0 } p && NF' "$1"; }
vectors() { awk '$1 == ".VECTORS" { print $2; exit }' "$1"; }

# analyze on the file without its fault row writes the same text from .PATTERNS on.
analyze_agrees() {  # file ext
  rm -rf ana && mkdir ana && cp "$d.agm" ana/ || return 1
  awk '/^\.FAULTS/ { skip = 1 } /^\.COVERAGE/ { skip = 0 } !skip' "$1" >"ana/$d.$2"
  (cd ana && analyze -extension "$2" "$d" >/dev/null 2>&1) || return 1
  cmp -s <(section PATTERNS "$1") <(section PATTERNS "ana/$d.tst")
}

same_output() {  # a b: stdout files, timing figure ignored
  cmp -s <(sed 's/process: [0-9.]*/process: T/' "$1") <(sed 's/process: [0-9.]*/process: T/' "$2")
}

# Aliasing marks are a subset of the fault row (node by node).
subset() {  # aliasing-marks fault-row
  awk -v a="$1" -v f="$2" 'BEGIN {
    for (i = 1; i <= length(a); i++) {
      x = substr(a, i, 1); y = substr(f, i, 1)
      if (x == "X") continue
      if (y == "&" || x == y) continue
      exit 1
    } }'
}

run_case() {  # arrangement(bilbo|cstp) options...
  local arr=$1 ext=bil regs
  shift
  [ "$arr" = cstp ] && ext=cst
  if [ "$arr" = bilbo ]; then
    regs=(-gpoly "$GP" -ginit "$GI" -apoly "$AP" -ainit "$AI")
  else
    regs=(-simul cstp -gpoly "$GP" -ginit "$GI")
  fi
  local tag="$arr $*"
  bistan "${regs[@]}" -count "$n" "$@" "$d" >plain.out 2>&1 || { ok "$tag runs" false; return; }
  cp "$d.$ext" plain.file && cp "$d.lst" plain.lst
  ok "$tag: analyze agrees" analyze_agrees plain.file "$ext"
  local modular=0 lsb=0 step=1 prev=""
  for o in "$@"; do
    case $o in -modular) modular=1 ;; -lsb) lsb=1 ;; esac
    [ "$prev" = -step ] && step=$o
    prev=$o
  done
  ok "$tag: registers agree with the reference" python3 "$here/sigref.py" plain.file "$ni" "$no" "$arr" $modular $lsb "$step"
  # Fed back: the same options but the optimiser, -count = its vectors.
  local fb=() skip=0 o
  for o in "$@"; do
    if [ $skip = 1 ]; then skip=0; continue; fi
    [ "$o" = -optimize ] && { skip=1; continue; }
    fb+=("$o")
  done
  local m
  m=$(vectors plain.file)
  if [ "$m" -gt 0 ]; then
    if [ "$arr" = bilbo ]; then
      bistan -usetst plain.file -count "$m" "${fb[@]}" "$d" >/dev/null 2>&1
    else
      bistan -simul cstp -gpoly "$(value plain.file POLYNOMIAL)" -ginit "$(value plain.file INITIAL_STATE)" \
        -count "$m" "${fb[@]}" "$d" >/dev/null 2>&1
    fi
    ok "$tag: fed back reproduces the file" cmp -s plain.file "$d.$ext"
  fi
  bistan "${regs[@]}" -count "$n" "$@" -aliasing "$d" >alias.out 2>&1
  ok "$tag: -aliasing keeps the file" cmp -s plain.file "$d.$ext"
  ok "$tag: -aliasing keeps the run list" cmp -s plain.lst <(grep -v '^aliasing coverage' "$d.lst")
  local marks
  marks=$(grep -a -A1 '^Aliasing results:' alias.out | tail -n 1 | cut -d' ' -f1)
  ok "$tag: aliasing marks within the fault row" subset "$marks" "$(section FAULTS plain.file | sed -n 3p)"
  cp "$d.$ext" alias.file && cp "$d.lst" alias.lst
  bistan_serial "${regs[@]}" -count "$n" "$@" -aliasing "$d" >serial.out 2>&1
  ok "$tag: serial aliasing prints the same" same_output alias.out serial.out
  ok "$tag: serial aliasing writes the same" cmp -s alias.file "$d.$ext"
  ok "$tag: serial aliasing lists the same" cmp -s alias.lst "$d.lst"
}

for opt in "" "-optimize 1" "-optimize 2"; do
  for cfg in "" "-modular" "-lsb" "-step 3"; do
    # shellcheck disable=SC2086
    run_case bilbo $cfg $opt
  done
  for cfg in "" "-modular" "-lsb"; do
    # shellcheck disable=SC2086
    run_case cstp $cfg $opt
  done
done

# -generate: the input columns of the same run.
bistan -gpoly "$GP" -ginit "$GI" -apoly "$AP" -ainit "$AI" -count "$n" "$d" >/dev/null 2>&1
rows "$d.bil" | cut -c1-"$ni" >inputs.sim
bistan -gpoly "$GP" -ginit "$GI" -apoly "$AP" -ainit "$AI" -count "$n" -generate "$d" >/dev/null 2>&1
ok "-generate writes the simulated run's inputs" cmp -s inputs.sim <(rows "$d.bil")

# bistemu against bistan.
for arr in bilbo cstp; do
  for cfg in "" "-lsb"; do
    if [ $arr = bilbo ]; then
      regs=(-gpoly "$GP" -ginit "$GI" -apoly "$AP" -ainit "$AI")
    else
      regs=(-simul cstp -gpoly "$GP" -ginit "$GI")
    fi
    # shellcheck disable=SC2086
    bistan "${regs[@]}" -count "$n" $cfg -oext tst -aliasing "$d" >an.out 2>&1 && mv "$d.tst" an.tst
    # shellcheck disable=SC2086
    bistemu "${regs[@]}" -count "$n" $cfg -aliasing "$d" >emu.out 2>&1
    ok "$arr $cfg: bistemu writes bistan's file" cmp -s an.tst "$d.tst"
    a=$(grep -a -A1 '^Aliasing results:' an.out | tail -n 1 | sed 's/.*(\(.*\)%)/\1/')
    e=$(sed -n 's/^Fault coverage (with aliasing): \(.*\)%$/\1/p' emu.out)
    ok "$arr $cfg: same aliasing coverage ($a, $e)" test "$a" = "$e"
    # shellcheck disable=SC2086
    bistemu_serial "${regs[@]}" -count "$n" $cfg -aliasing "$d" >emus.out 2>&1
    ok "$arr $cfg: bistemu serial aliasing prints the same" same_output emu.out emus.out
    # shellcheck disable=SC2086
    bistan "${regs[@]}" -count "$n" $cfg -oext tst -optimize 1 "$d" >/dev/null 2>&1 && mv "$d.tst" an.tst
    # shellcheck disable=SC2086
    bistemu "${regs[@]}" -count "$n" $cfg -optimize "$d" >/dev/null 2>&1
    ok "$arr $cfg: bistemu -optimize writes bistan -optimize 1's file" cmp -s an.tst "$d.tst"
  done
done

echo "$c: $failures of $checks checks failed"
[ $failures -eq 0 ]
