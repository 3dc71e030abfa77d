#!/usr/bin/env bash
# The design-error exercise loop on the full-scan ISCAS'89 circuits: each
# circuit's full-scan view goes through bench2edif, cellcomp, edifsyn -paths,
# generate and edifsyn -spec; then verify and faultloc run on the exercise.
# Prints per circuit the model's nodes and outputs, the patterns, the size
# (MB) a plain per-output table of outputs x patterns x nodes would take,
# seconds and peak memory (MB) of verify and faultloc (which keep the table in
# compact form), and whether faultloc's gate list holds the gate that -spec
# changed (read back with verdict).
# A net read by more pins than edifsyn joins (256) is fed through a tree of
# buffers first (buffers are no gates of the exercise; the function stays).
# Usage: diagnosis_bench.sh <bindir> [circuit ...]   (e.g. s27 s298; default all)
# Environment: BENCH (benchmark folder), VECTOR_LIMIT (generate, default 3000),
# MEM_LIMIT_MB (address-space limit of verify and faultloc, default 4096).
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
require_programs "diagnosis benchmark" edifsyn cellcomp generate verify faultloc verdict
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found: diagnosis benchmark skipped"; exit 0; }
benchmark_folder
limit=${VECTOR_LIMIT:-3000}
mem_kb=$(( ${MEM_LIMIT_MB:-4096} * 1024 ))
export PATH="$bindir:$PATH"

circuit_files "$src" "$@"
enter_work_folder

printf "%-10s %7s %7s %8s %9s %9s %7s %10s %7s %9s\n" circuit nodes outputs patterns "plain MB" "verify s" MB "faultloc s" MB suspected
failed=0
notes=()
# Runs a program under the memory limit; sets SECS and MB from /usr/bin/time.
measure() {  # log program args...
  local log=$1
  shift
  (ulimit -v "$mem_kb"; /usr/bin/time -f "%e %M" -o time.out "$@" >"$log" 2>&1)
  local status=$?
  read -r SECS KB <time.out 2>/dev/null || { SECS=-; KB=0; }
  MB=$(( ${KB:-0} / 1024 ))
  return $status
}
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "$(basename "$f"): no such circuit" >&2; failed=1; continue; }
  circuit=$(basename "$f" .bench)
  rm -rf c && mkdir c && cd c || exit 2
  bash "$here/fullscan.sh" "$f" >scan.bench
  split=$(python3 - scan.bench full.bench <<'PY'
import re, sys
lines = open(sys.argv[1]).read().split("\n")
readers = {}
for i, l in enumerate(lines):
    m = re.match(r"\s*(\S+)\s*=\s*(\w+)\((.*)\)\s*$", l)
    if m:
        for a in m.group(3).split(","):
            readers.setdefault(a.strip(), []).append(i)
limit, split, extra = 200, 0, []
for sig, users in readers.items():
    if len(users) <= limit:
        continue
    split += 1
    for k in range(0, len(users), limit):
        buf = "%s_fo%d" % (sig, k // limit)
        extra.append("%s = BUFF(%s)" % (buf, sig))
        for i in users[k:k + limit]:
            name, rest = lines[i].split("=", 1)
            head, args = rest.split("(", 1)
            args = ", ".join(buf if a.strip() == sig else a.strip() for a in args.rstrip(") ").split(","))
            lines[i] = "%s=%s(%s)" % (name, head, args)
open(sys.argv[2], "w").write("\n".join(lines + extra) + "\n")
print(split)
PY
)
  [ "${split:-0}" -gt 0 ] && notes+=("$circuit: $split nets fed through buffer trees (edifsyn joins at most 256 pins)")
  if ! python3 "$here/../tests/tools/bench2edif.py" full.bench d 2>conv.log; then
    if accepted_refusal scan.bench conv.log; then
      printf "%-10s refused by the converter\n" "$circuit"
      notes+=("$circuit: $REFUSAL")
    else
      printf "%-10s conversion FAILED\n" "$circuit"
      notes+=("$circuit: $(tail -n 1 conv.log)")
      failed=1
    fi
    cd .. || exit 2
    continue
  fi
  if ! { cellcomp d.cells d.qz >/dev/null &&
    edifsyn -paths d.edf d.qz >paths.log 2>&1 && generate -vector_limit "$limit" d >gen.log 2>&1 &&
    edifsyn -spec d.edf d.qz >spec.log 2>&1; }; then
    printf "%-10s preparation FAILED\n" "$circuit"
    notes+=("$circuit: $(cat paths.log gen.log spec.log 2>/dev/null | grep -v '^$' | tail -n 1)")
    failed=1
    cd .. || exit 2
    continue
  fi
  nodes=$(awk '/^STAT#/ { print $2; exit }' d.agm)
  outs=$(sed -n 's/.* \([0-9]*\) Outs$/\1/p' d.agm)
  patterns=$(awk '/^\.VECTORS/ { print $2; exit }' d.tst)
  measure verify.log verify d && vs=$SECS vm=$MB || { vs=FAIL vm=$MB; failed=1; notes+=("$circuit verify: $(grep -v '^$' verify.log | tail -n 1)"); }
  measure faultloc.log faultloc d && fs=$SECS fm=$MB || { fs=FAIL fm=$MB; failed=1; notes+=("$circuit faultloc: $(grep -v '^$' faultloc.log | tail -n 1)"); }
  word=$(sed -n 's/^Encrypted name of the modified gate is //p' d.rep)
  record=$(verdict -m "$word" | sed -n 's/^Decrypted message: //p')
  gate=${record#*|}
  gate=${gate%_Orig:*}
  found=no
  sed -n '/^Suspected faulty gates:/,$p' d.rep | grep -qF "$gate [" && found=yes
  [ $found = yes ] || { failed=1; notes+=("$circuit: changed gate $gate not suspected"); }
  plain=$(awk -v a="$nodes" -v b="$outs" -v c="$patterns" 'BEGIN { printf "%.0f", a * b * c / 1048576 }')
  printf "%-10s %7s %7s %8s %9s %9s %7s %10s %7s %9s\n" "$circuit" "$nodes" "$outs" "$patterns" "$plain" "$vs" "$vm" "$fs" "$fm" "$found"
  cd .. || exit 2
done
finish
