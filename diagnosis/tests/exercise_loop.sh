#!/usr/bin/env bash
# The exercise loop on the full-scan view of one ISCAS'89 circuit, checked
# across programs.  Run from an empty work folder with the programs on PATH.
# Usage: exercise_loop.sh <root of the repository> <.bench file> <rounds>
# Prints only what does not depend on the clock, the login or the seed.
set -u
root=$1 bench=$2 rounds=$3
fail() { echo "FAIL: $*"; exit 1; }

bash "$root/bench/fullscan.sh" "$bench" >full.bench
python3 "$root/tests/tools/bench2edif.py" full.bench d || fail bench2edif
cellcomp d.cells d.qz >/dev/null || fail cellcomp
edifsyn -paths d.edf d.qz >/dev/null || fail "edifsyn -paths"
generate d >/dev/null || fail generate
mkdir -p gl && cp d.edf d.qz gl/ && (cd gl && edifsyn -gate_level d.edf d.qz >/dev/null) || fail "edifsyn -gate_level"
outs=$(sed -n 's/.* \([0-9]*\) Outs$/\1/p' d.agm)
login=$(id -un 2>/dev/null | cut -c1-128 | sed 's/[^!-~]/_/g')

for round in $(seq 1 "$rounds"); do
  # A new second for every round, so every record differs.
  start=$(date +%s)
  while [ "$(date +%s)" = "$start" ] && [ "$round" -gt 1 ]; do sleep 0.1; done
  before=$(date +%s)
  edifsyn -spec d.edf d.qz >spec.out || fail "edifsyn -spec"
  after=$(date +%s)
  word=$(sed -n 's/^Encrypted name of the modified gate is //p' d.rep)
  grep -qxF "The encrypted name of the modified gate is $word" spec.out || fail "word not shown"
  verify d >/dev/null || fail verify
  faultloc d >/dev/null || fail faultloc
  verdict -f d.rep >/dev/null || fail "verdict -f"
  record=$(verdict -m "$word" | sed -n 's/^Decrypted message: //p')

  # login _stamp_ | gate _Orig: old _Spec: new
  [[ "$record" =~ ^(.*)_([0-9]+)_\|(.*)_Orig:([A-Z]+)_Spec:([A-Z]+)$ ]] || fail "record $record"
  r_login=${BASH_REMATCH[1]} stamp=${BASH_REMATCH[2]} gate=${BASH_REMATCH[3]} old=${BASH_REMATCH[4]} new=${BASH_REMATCH[5]}
  [ "$r_login" = "$login" ] || fail "login $r_login, expected $login"
  [ "$stamp" -ge "$before" ] && [ "$stamp" -le "$after" ] || fail "stamp $stamp outside $before..$after"
  grep -qP "^gate [0-9]+\t:\t\Q$gate\E\t$old \$" d.gat || fail "gate $gate $old not in d.gat"
  case $old in
    INV) [ "$new" = BUF ] ;;
    AND | NAND | OR | NOR) [ "$new" != "$old" ] && [[ "$new" =~ ^(AND|NAND|OR|NOR)$ ]] ;;
    *) false ;;
  esac || fail "$old may not become $new"
  echo "round $round: the record names a gate of d.gat with its type and a new type it may take"

  # The gate is among the suspects of the diagnosis step just appended.
  awk '/AUTOMATIC DIAGNOSIS STEP/ { s = "" } { s = s $0 "\n" } END { printf "%s", s }' d.rep |
    sed -n '/^Suspected faulty gates:/,$p' | grep -qF "$gate [" || fail "$gate not suspected"
  echo "round $round: faultloc suspects the changed gate"

  # verify's table equals a comparison of analyze's output columns.
  rm -rf an && mkdir an && cp d.agm d.tst an/ && cp d.spec an/s.agm && cp d.tst an/s.tst
  (cd an && analyze d >/dev/null && analyze s >/dev/null) || fail analyze
  rows() { awk '/^\./ { on = ($0 ~ /^\.PATTERNS/); next } on && NF' "$1" | rev | cut -c1-"$outs" | rev; }
  paste <(rows an/d.tst) <(rows an/s.tst) | awk -v n="$outs" '{
      printf "%s", (NR < 10 ? "  0" NR : NR < 100 ? "  " NR : NR < 1000 ? " " NR : NR)
      for (i = 1; i <= n; i++) printf "%s", (substr($1, i, 1) == substr($2, i, 1) ? "\t OK" : "\tError")
      printf "\n" }' >expected.table
  awk '/VERIFICATION STEP/ { s = "" } /AUTOMATIC DIAGNOSIS STEP/ { exit } { s = s $0 "\n" } END { printf "%s", s }' d.rep |
    sed -n '/^Table for error detection/,$p' | grep -P '^ *[0-9]+\t' >verify.table
  cmp -s expected.table verify.table || fail "verify's table differs from analyze's outputs"
  echo "round $round: verify's table equals the comparison of analyze's outputs"

  # The specification is the gate-level model but for the changed gate's graph.
  diff <(sed 's/^/x/' gl/d.agm) <(sed 's/^/x/' d.spec) | grep -E '^[<>]' >spec.diff
  awk -v gate="$gate" 'NR == FNR { bad[$0] = 1; next }
      /^VAR#/ { name = $0; sub(/^[^"]*"/, "", name); sub(/".*$/, "", name) }
      ("x" $0) in bad && !/^   [0-9]+   [0-9]+:/ { print "not a node line: " $0; exit 1 }
      ("x" $0) in bad && name != gate { print "outside the gate: " $0; exit 1 }' \
    <(sed 's/^[<>] //' spec.diff) d.spec || fail "d.spec differs elsewhere"
  [ -s spec.diff ] || fail "d.spec equals the gate-level model"
  sig=${gate#g_}
  sig=${sig%>Y}
  if [ "$new" = BUF ]; then
    sed -E "s/^$sig = NOT\(/$sig = BUFF(/" d.bench >changed.bench
  else
    sed -E "s/^$sig = $old\(/$sig = $new(/" d.bench >changed.bench
  fi
  benchcheck changed.bench d.spec | tail -n 1 | grep -q "all equal" || fail "benchcheck of d.spec"
  echo "round $round: d.spec differs only in the gate's graph and computes the changed netlist"

  # decrypted keeps the report's length and white space.
  [ "$(wc -c <decrypted)" = "$(wc -c <d.rep)" ] || fail "decrypted length"
  cmp -s <(tr -c ' \t\n' x <decrypted) <(tr -c ' \t\n' x <d.rep) || fail "decrypted white space"
  echo "round $round: decrypted has the report's length and white space"
done
