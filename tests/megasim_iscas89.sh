#!/usr/bin/env bash
# megasim against analyze on the small ISCAS'89 circuits in their full-scan
# view, at macro and gate level: one file of random patterns per model,
# simulated by analyze and by megasim whole, in slices (given bounds, the
# estimate, kept previous results), with another packet size, with dropping
# and with fault statistics.  Exit 0 when all agree, 1 on any difference,
# 77 (skipped) when import or megasim is not built.
# Usage: megasim_iscas89.sh <bindir>   (BENCH as in the end-to-end cases)
set -u
[ $# -eq 1 ] || { echo "usage: $0 <bindir>" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../bench/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
for p in import megasim analyze; do
  [ -x "$bindir/$p" ] || { echo "$p not found in $bindir: skipped"; exit 77; }
done
src=$(iscas89_dir)
[ -d "$src" ] || { echo "no benchmark folder $src" >&2; exit 1; }
enter_work_folder

fail=0
failed() { echo "$1"; fail=1; }
section() { sed -n "/^\\.$2/,\$p" "$1"; }  # file keyword: from that section on

for c in s27 s298 s344 s382 s510; do
  cp "$src/$c.bench" "$c.bench" || { fail=1; continue; }
  bash "$here/../bench/fullscan.sh" "$c.bench" >"${c}_fs.bench"
  for level in macro gate; do
    d=${c}_$level
    synth "$bindir" "${c}_fs" $level "$d" || { failed "$d: import failed"; continue; }
    # 200 patterns: more than six words, the last one partial.
    "$bindir/megasim" -random 200 -random_seed 7 "$d" >draw.out || { failed "$d: megasim -random failed"; continue; }
    # The same draws in packets of 32: statistics and dropping sum the
    # detections of every packet, so the coverage is the same.
    for opts in "-fault_stats" "-drop_faults"; do
      "$bindir/megasim" -random 200 -random_seed 7 -packet_size 1 -no_output $opts "$d" >run.out 2>run.err ||
        { failed "$d -random $opts: $(cat run.err)"; continue; }
      [ "$(grep '^Covered' run.out)" = "$(grep '^Covered' draw.out)" ] || failed "$d -random $opts -packet_size 1: coverage differs"
    done
    cp "$d.tst" patterns.tst
    cp "$d.agm" ref.agm && cp patterns.tst ref.tst
    "$bindir/analyze" ref >ref.out || { failed "$d: analyze failed"; continue; }
    covered=$(grep '^Covered' ref.out)
    cmp -s ref.tst patterns.tst || failed "$d: analyze changed megasim's random file"
    half=$(( ($(awk '/^STAT#/ { print $6 - $12; exit }' "$d.agm")) / 2 ))
    results="$d:"
    for opts in "" "-split 2 -split_range $half" "-split 3" "-split 2 -split_prev -split_range $half" \
      "-split 4 -split_prev" "-packet_size 2"; do
      cp patterns.tst "$d.tst"
      if ! "$bindir/megasim" $opts "$d" >run.out 2>run.err; then
        if grep -q "Illegal split range" run.err && [[ "$opts" != *split_range* ]]; then
          results+=" [$opts: estimate refused]"
          continue
        fi
        failed "$d $opts: $(cat run.err)"
        continue
      fi
      cmp -s "$d.tst" ref.tst || failed "$d $opts: file differs from analyze's"
      [ "$(grep '^Covered' run.out)" = "$covered" ] || failed "$d $opts: coverage differs"
      results+=" [$opts: same]"
    done
    for opts in "-drop_faults" "-drop_faults -split 2 -split_prev -split_range $half" "-drop_faults -fault_table"; do
      cp patterns.tst "$d.tst"
      "$bindir/megasim" $opts "$d" >run.out 2>run.err || { failed "$d $opts: $(cat run.err)"; continue; }
      [ "$(section "$d.tst" FAULTS)" = "$(section ref.tst FAULTS)" ] || failed "$d $opts: faults differ"
      [ "$(grep '^Covered' run.out)" = "$covered" ] || failed "$d $opts: coverage differs"
    done
    # Statistics: each node's counts are the 0s and 1s of its table column.
    cp patterns.tst "$d.tst"
    "$bindir/megasim" -fault_stats "$d" >/dev/null || failed "$d -fault_stats failed"
    expect=$(sed -n '/^\.TABLE/,/^\.FAULTS/p' ref.tst | grep -E '^[X01]+$' | awk '
      { for (i = 1; i <= length($0); i++) { c = substr($0, i, 1); z[i] += c == "0"; o[i] += c == "1" } n = length($0) }
      END { for (i = 1; i <= n; i++) printf "%d %d %d\n", i - 1, z[i], o[i] }')
    got=$(sed -n '/^\.FAULT_STATS/,$p' "$d.tst" | awk 'NF == 3 { print $1, $2, $3 }')
    [ "$got" = "$expect" ] || failed "$d -fault_stats: counts differ from analyze's table"
    echo "$results"
  done
done
exit $fail
