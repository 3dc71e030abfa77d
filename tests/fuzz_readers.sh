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
model=$(cat "$here/data/c17.agm"; echo .)
model=${model%.}
tests=$(cat "$here/data/c17.tst"; printf '\n.TABLE\n\nXX1XXX00X1\nXX1XXX00X1\n\n.FAULTS\n\n&&&&&0&&&&\n'; echo .)
tests=${tests%.}
symbols=('0' '1' '9' ':' '(' ')' '"' '=' ',' $'\n' 'x' 'X' '.' '/' ' ' '-' ';' '&' 'VAR#' 'GRP#' '4000000000' '.VECTORS 99')

mutate() {  # text count -> damaged text
  local s=$1 n=$2 i pos sym
  for ((i = 0; i < n; i++)); do
    pos=$((RANDOM * 32768 + RANDOM))
    pos=$((pos % (${#s} + 1)))
    sym=${symbols[$((RANDOM % ${#symbols[@]}))]}
    case $((RANDOM % 3)) in
      0) s="${s:0:pos}${sym}${s:pos+1}" ;;  # replace
      1) s="${s:0:pos}${sym}${s:pos}" ;;    # insert
      2) s="${s:0:pos}${s:pos+1}" ;;        # delete
    esac
  done
  printf '%s' "$s"
}

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
  (cd "$work" && "$bindir/analyze" d >/dev/null 2>"$work/err")
  status=$?
  if { [ $status -ne 0 ] && [ $status -ne 14 ]; } || grep -q -E 'Sanitizer|runtime error' "$work/err" ||
     { [ $status -eq 14 ] && ! grep -q '^Error' "$work/err"; }; then
    echo "run $r: status $status"
    cat "$work/err" | head -20
    cp "$work/in.agm" "/tmp/fuzz_fail_$r.agm"
    cp "$work/in.tst" "/tmp/fuzz_fail_$r.tst"
    fail=1
  fi
done
exit $fail
