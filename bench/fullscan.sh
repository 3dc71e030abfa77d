#!/usr/bin/env bash
# Turns an ISCAS'89 .bench netlist into its full-scan view: every flip-flop's
# output becomes a primary input and its data line a primary output; the
# header counts are recomputed from the lines written.
# Usage: fullscan.sh <in.bench> > <out.bench>
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <file.bench>" >&2; exit 2; }
awk '
  function trim(s) { gsub(/^[ \t\r]+|[ \t\r]+$/, "", s); return s }
  /^[ \t]*#/ || /^[ \t\r]*$/ { next }
  /^INPUT\(/  { s = $0; sub(/^INPUT\(/, "", s); sub(/\).*$/, "", s); inputs[++ni] = trim(s); isin[trim(s)] = 1; next }
  /^OUTPUT\(/ { s = $0; sub(/^OUTPUT\(/, "", s); sub(/\).*$/, "", s); outputs[++no] = trim(s); isout[trim(s)] = 1; next }
  /=/ {
    name = trim(substr($0, 1, index($0, "=") - 1))
    rest = trim(substr($0, index($0, "=") + 1))
    word = rest; sub(/\(.*$/, "", word); word = trim(word)
    if (word == "DFF") {
      arg = rest; sub(/^[^(]*\(/, "", arg); sub(/\).*$/, "", arg)
      ffout[++nf] = name; ffin[nf] = trim(arg)
      next
    }
    gates[++ng] = name " = " rest
    if (word == "NOT") ninv++; else nother++
  }
  END {
    for (i = 1; i <= nf; i++) { inputs[++ni] = ffout[i]; isin[ffout[i]] = 1 }
    for (i = 1; i <= nf; i++) if (!(ffin[i] in isout)) { outputs[++no] = ffin[i]; isout[ffin[i]] = 1 }
    printf "# %d inputs\n# %d outputs\n# 0 D-type flipflops\n# %d inverters\n# %d gates\n\n", ni, no, ninv, nother
    for (i = 1; i <= ni; i++) printf "INPUT(%s)\n", inputs[i]
    printf "\n"
    for (i = 1; i <= no; i++) printf "OUTPUT(%s)\n", outputs[i]
    printf "\n"
    for (i = 1; i <= ng; i++) printf "%s\n", gates[i]
  }
' "$1"
