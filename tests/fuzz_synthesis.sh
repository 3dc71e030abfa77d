#!/usr/bin/env bash
# Feeds edifsyn and import damaged copies of an EDIF netlist and of a cell
# library: every run must end with status 0 (a model and "Success!") or 14 (an
# orderly error and no model), never a crash, a sanitizer report or a
# temporary file left behind.  The damage is seeded, so a failure repeats.
set -u
bindir=$(cd "$1" && pwd)
runs=${2:-300}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/fuzz_lib.sh"
read_into mix "$here/data/synth/mix.edf"
read_into tiny "$here/data/synth/tiny.edf"
edifs=("$mix" "$tiny")
read_into lib "$here/data/synth/gates.lib"
symbols=('(' ')' '"' ' ' $'\n' '0' '1' '-3' '%' '&' '_' '999999999999' '(array q 3)' '(member a 7)'
  '(rename x "y")' 'instance' 'net' 'joined' 'portRef' 'cellRef' 'INPUT' 'OUTPUT' 'GENERIC' '(portRef A)'
  'from' 'flipflop' 'inpt' '"FLIPFLOP"' '127' '2147483648' $'\t')
# Option sets tried in turn: both programs, both levels and the netlist writer.
optsets=("edifsyn -tool orcad -vdd VCC" "edifsyn -gate_level -tool orcad -vdd VCC"
  "import -tool orcad -tool cadence -gnd VCC" "edifsyn -tool orcad -iscas85" "import -tool orcad -general"
  "edifsyn -gate_level")

RANDOM=2718
fail=0
for ((r = 0; r < runs; r++)); do
  rm -rf "$work/run" && mkdir "$work/run"
  edif=${edifs[$((r % ${#edifs[@]}))]}
  if ((r % 3 == 2)); then
    printf '%s' "$edif" >"$work/run/d.edf"
    mutate "$lib" $((1 + RANDOM % 4)) >"$work/run/d.lib"
  else
    mutate "$edif" $((1 + RANDOM % 4)) >"$work/run/d.edf"
    printf '%s' "$lib" >"$work/run/d.lib"
  fi
  read -r -a opts <<<"${optsets[$((r / ${#edifs[@]} % ${#optsets[@]}))]}"
  # Under a file-size limit, small on every fourth run so that the result
  # write fails: that too must end in an orderly error, no temporary file left.
  limit=$((r % 4 == 3 ? 1 : 4096))
  (cd "$work/run" && ulimit -f $limit && timeout 20 "$bindir/${opts[0]}" "${opts[@]:1}" d.edf d.lib >out 2>err </dev/null)
  status=$?
  result=$(cd "$work/run" && ls d.agm d.cir 2>/dev/null)
  bad=""
  if [ $status -ne 0 ] && [ $status -ne 14 ]; then bad="status $status"
  elif grep -q -E 'Sanitizer|runtime error' "$work/run/err"; then bad="sanitizer report"
  elif [ $status -eq 14 ] && ! grep -q '^Error' "$work/run/err"; then bad="status 14 without an error"
  elif [ $status -eq 14 ] && [ -n "$result" ]; then bad="result file after an error"
  elif [ $status -eq 0 ] && { [ -z "$result" ] || ! grep -q 'Success!' "$work/run/out"; }; then bad="success without a result"
  elif ls "$work/run" | grep -q '\.tmp'; then bad="temporary file left"
  fi
  if [ -n "$bad" ]; then
    echo "run $r (${opts[*]}): $bad"
    head -n 20 "$work/run/err"
    cp "$work/run/d.edf" "/tmp/fuzz_synth_$r.edf"
    cp "$work/run/d.lib" "/tmp/fuzz_synth_$r.lib"
    fail=1
  fi
done
exit $fail
