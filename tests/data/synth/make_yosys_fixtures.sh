#!/usr/bin/env bash
# Regenerates the EDIF fixtures written by yosys from ISCAS'89 circuits:
#   s27_yosys.edf      s27, sequential (flip-flops $_DFF_P_ clocked by CK)
#   s298fs_yosys.edf   the full-scan view of s298
# yosys is installed with apt-get when missing.  Run from anywhere.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$here/../../..
bench=${BENCH:-$repo/benchmarks}/iscas89
command -v yosys >/dev/null || { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y yosys; } >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$repo/tests/tools/bench2edif.py" "$bench/s27.bench" s27 --verilog
bash "$repo/bench/fullscan.sh" "$bench/s298.bench" >s298fs.bench
python3 "$repo/tests/tools/bench2edif.py" s298fs.bench s298fs --verilog
for d in s27 s298fs; do
  yosys -q -p "read_verilog $d.v; hierarchy -top top; proc; flatten; techmap; opt_clean; write_edif -top top $d.edf"
  cp "$d.edf" "$here/${d}_yosys.edf"
done
