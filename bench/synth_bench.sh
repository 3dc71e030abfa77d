#!/usr/bin/env bash
# EDIF synthesis on the ISCAS'89 circuits.  Every circuit (sequential and
# full-scan view) is written as a flat EDIF netlist of library cells
# (tests/tools/bench2edif.py), its cells are compiled by `cellcomp`, and
# `edifsyn` synthesises it at macro and gate level.  Per model it prints the
# variables, nodes and graphs of the STAT# line and the wall-clock seconds,
# whether the counts equal those of `import -read_iscas89` on the original
# netlist, and the benchcheck verdict of the full-scan models.  A netlist with
# a net of more than 256 pins, which edifsyn refuses, is synthesised by
# `import` instead (marked "i").
# Then the cost as the netlist grows: 1, 2, 4 and 8 copies of the largest
# circuit in one netlist, with the seconds per thousand cells.
# With --yosys the full-scan and sequential views are also written as Verilog,
# turned into EDIF by yosys (`write_edif`; installed with apt-get when
# missing), and synthesised with the library tests/data/synth/gates.lib.
# Usage: synth_bench.sh [--yosys] <bindir> [circuit ...]   (default: all)
# Environment: BENCH (benchmark folder), PATTERNS (benchcheck patterns, 320),
# SCALE (circuit of the growth table, default s38584; "none" skips it).
set -u
yosys=0
if [ "${1:-}" = --yosys ]; then yosys=1; shift; fi
[ $# -ge 1 ] || { echo "usage: $0 [--yosys] <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
for p in cellcomp edifsyn import benchcheck; do
  [ -x "$bindir/$p" ] || { echo "$p not found in $bindir" >&2; exit 2; }
done
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 2; }
benchmark_folder
patterns=${PATTERNS:-320}
conv="$here/../tests/tools/bench2edif.py"
gates_lib="$here/../tests/data/synth/gates.lib"
scale=${SCALE:-s38584}

if [ $yosys = 1 ] && ! command -v yosys >/dev/null; then
  echo "installing yosys..."
  { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y yosys; } >/dev/null 2>&1 ||
    { echo "yosys could not be installed" >&2; exit 2; }
fi

circuit_files "$src" "$@"
enter_work_folder

# Runs a synthesis program on <edif> <lib> and moves the model to <target>.agm.
# Sets RUN_STAT to "vars nodes graphs seconds" and RUN_PROG to the program
# used; the output is kept in <target>.log.
run_edif() {  # target edif lib [options...]
  local target=$1 edif=$2 lib=$3 t0 t1 status prog=edifsyn
  shift 3
  local model="${edif%%.*}.agm"
  for prog in edifsyn import; do
    rm -f "$model"
    t0=$(date +%s.%N)
    "$bindir/$prog" "$@" "$edif" "$lib" >"$target.log" 2>&1
    status=$?
    t1=$(date +%s.%N)
    # A net of more than 256 pins is refused by edifsyn alone.
    [ $status -ne 0 ] && [ $prog = edifsyn ] && grep -q "Too many pins connected" "$target.log" && continue
    break
  done
  RUN_PROG=$prog
  if [ $status -ne 0 ] || [ ! -f "$model" ]; then
    RUN_STAT="-"
    return 1
  fi
  [ "$model" = "$target.agm" ] || mv "$model" "$target.agm"
  RUN_STAT="$(awk '/^STAT#/ { print $4, $2, $6; exit }' "$target.agm") $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')"
}

stat_of() { awk '/^STAT#/ { print; exit }' "$1"; }

failed=0
notes=()

# One table row: both levels of one EDIF netlist, compared with import's
# models of the same .bench (when given) and checked against the full-scan
# netlist (when given).
row() {  # label edif lib cells ref_stem check_bench [options...]
  local label=$1 edif=$2 lib=$3 cells=$4 ref=$5 check=$6 line same="" verdict="" level opts t
  shift 6
  t=${edif%.edf}
  line=$(printf "%-16s %7s |" "$label" "$cells")
  for level in macro gate; do
    opts=("$@")
    [ $level = gate ] && opts+=(-gate_level)
    if run_edif "$t.$level" "$edif" "$lib" "${opts[@]}"; then
      read -r v n g s <<<"$RUN_STAT"
      line+=$(printf " %7s %7s %6s %6s%s |" "$v" "$n" "$g" "$s" "$([ "$RUN_PROG" = import ] && echo i || echo ' ')")
      if [ -n "$ref" ]; then
        if [ "$(stat_of "$t.$level.agm")" = "$(stat_of "$ref.$level.agm")" ]; then same+=" same"; else
          same+=" DIFF"; failed=1; notes+=("$label $level: $(stat_of "$t.$level.agm") vs import $(stat_of "$ref.$level.agm")")
        fi
      fi
      if [ -n "$check" ]; then
        if "$bindir/benchcheck" "$check" "$t.$level.agm" "$patterns" >"$t.$level.check" 2>&1; then verdict+=" ok"; else
          verdict+=" DIFF"; failed=1; notes+=("$label $level: $(grep -v '^$' "$t.$level.check" | tail -n 1)")
        fi
      fi
    else
      line+=$(printf " %-30s |" "FAILED")
      failed=1
      notes+=("$label $level ($RUN_PROG): $(grep -v '^$' "$t.$level.log" | tail -n 1)")
    fi
  done
  echo "$line${same:+ import:$same}${verdict:+ check:$verdict}"
}

printf "%-16s %7s | %-31s | %-31s |\n" "" "" "macro level" "gate level"
printf "%-16s %7s |" "circuit view" cells
for _ in 1 2; do printf " %7s %7s %6s %7s |" vars nodes graphs sec; done
echo
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$(basename "$f"): no such circuit" >&2; failed=1; continue; }
  circuit=$(basename "$f" .bench)
  stem=$(stem_of "$f")
  if [ -n "$(undeclared_nets "$f")" ]; then
    printf "%-16s refused: it reads the undeclared net(s) %s\n" "$circuit" "$(undeclared_nets "$f" | tr '\n' ' ')"
    continue
  fi
  cp "$f" "$stem.bench"
  bash "$here/fullscan.sh" "$stem.bench" >"${stem}_fs.bench"
  for view in seq fs; do
    ref=$stem
    [ $view = fs ] && ref=${stem}_fs
    for level in macro gate; do synth "$bindir" "$ref" $level "$ref.$level" || true; done
    e=e_${ref}
    python3 "$conv" "$ref.bench" "$e" $([ $yosys = 1 ] && echo --verilog) || { failed=1; continue; }
    "$bindir/cellcomp" "$e.cells" "$e.qz" >/dev/null 2>&1 || { failed=1; notes+=("$e: cellcomp failed"); continue; }
    cat "$e.ff" >>"$e.qz"
    cells=$(grep -c '(instance ' "$e.edf")
    check=""
    [ $view = fs ] && check=$e.bench
    row "$circuit $view" "$e.edf" "$e.qz" "$cells" "$ref" "$check"
    if [ $yosys = 1 ]; then
      y=y_${ref}
      if yosys -q -p "read_verilog $e.v; hierarchy -top top; proc; flatten; techmap; opt_clean; write_edif -top top $y.edf" \
        >"$y.yosys.log" 2>&1; then
        row "$circuit $view/y" "$y.edf" "$gates_lib" "$(grep -c '(instance ' "$y.edf")" "" "$check" -clock CK
      else
        failed=1
        notes+=("$circuit $view: yosys failed: $(tail -n 2 "$y.yosys.log" | tr '\n' ' ')")
      fi
    fi
  done
  rm -f ./*"$stem"*
done

if [ "$scale" != none ] && [ -f "$src/$scale.bench" ]; then
  echo
  echo "Growth: copies of the full-scan $scale in one netlist, macro level"
  printf "%6s %8s %8s %8s %12s\n" copies cells nodes seconds "s/1000 cells"
  bash "$here/fullscan.sh" "$src/$scale.bench" >grow.bench
  for k in 1 2 4 8; do
    python3 "$conv" grow.bench "g$k" --copies $k || { failed=1; break; }
    "$bindir/cellcomp" "g$k.cells" "g$k.qz" >/dev/null 2>&1
    cat "g$k.ff" >>"g$k.qz"
    cells=$(grep -c '(instance ' "g$k.edf")
    if run_edif "g$k" "g$k.edf" "g$k.qz"; then
      read -r v n g s <<<"$RUN_STAT"
      printf "%6s %8s %8s %8s %12s\n" "$k" "$cells" "$n" "$s" "$(awk -v s="$s" -v c="$cells" 'BEGIN { printf "%.4f", s * 1000 / c }')"
    else
      failed=1
      notes+=("growth $k: $(grep -v '^$' "g$k.log" | tail -n 1)")
    fi
    rm -f "g$k".*
  done
fi

finish
