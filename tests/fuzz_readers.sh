#!/usr/bin/env bash
# Feeds analyze damaged copies of a model and a test file: every run must end
# with status 0 or 14 and an orderly message, never a crash or a sanitizer
# report.  The damage is seeded, so a failure repeats.
set -u
bindir=$1
runs=${2:-300}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/fuzz_lib.sh"
read_into model "$here/data/c17.agm"
read_into tests "$here/data/c17.tst"
tests+=$'\n.TABLE\n\nXX1XXX00X1\nXX1XXX00X1\n\n.FAULTS\n\n&&&&&0&&&&\n'
symbols=('0' '1' '9' ':' '(' ')' '"' '=' ',' $'\n' 'x' 'X' '.' '/' ' ' '-' ';' '&' 'VAR#' 'GRP#' '4000000000' '.VECTORS 99')

RANDOM=4242
fail=0
for ((r = 0; r < runs; r++)); do
  if ((r % 2)); then
    printf '%s' "$model" >"$work/d.agm"
    mutate "$tests" $((1 + RANDOM % 4)) >"$work/d.tst"
  else
    mutate "$model" $((1 + RANDOM % 4)) >"$work/d.agm"
    printf '%s' "$tests" >"$work/d.tst"
  fi
  cp "$work/d.agm" "$work/in.agm"
  cp "$work/d.tst" "$work/in.tst"
  # Under a file-size limit, small on every fourth run so that the result
  # write fails: that too must end in an orderly error, no temporary file left.
  limit=$((r % 4 == 3 ? 1 : 4096))
  (cd "$work" && ulimit -f $limit && "$bindir/analyze" d >/dev/null 2>"$work/err")
  status=$?
  if { [ $status -ne 0 ] && [ $status -ne 14 ]; } || grep -q -E 'Sanitizer|runtime error' "$work/err" ||
     { [ $status -eq 14 ] && ! grep -q '^Error' "$work/err"; } || ls "$work" | grep -q '\.tmp'; then
    echo "run $r: status $status"
    cat "$work/err" | head -20
    cp "$work/in.agm" "/tmp/fuzz_fail_$r.agm"
    cp "$work/in.tst" "/tmp/fuzz_fail_$r.tst"
    fail=1
  fi
done
exit $fail
