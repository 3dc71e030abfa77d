#!/usr/bin/env bash
# generate's pattern store: on the full-scan view of every ISCAS'89 circuit,
# at macro and gate level, generate runs with the default limit, with
# -vector_limit 1000000 and with -test_per_fault.  Prints per model and run
# the wall-clock seconds and the peak memory (MB) and, when an earlier build
# is given, its figures too and whether the .tst, the .red and the terminal
# output are byte-identical (the processing-time line aside).
# A run stopped by the vector limit now prints its summary before the
# warning; where the earlier build's output lacks only that summary the row
# says "identical but the summary at the limit".
# The earlier build runs under a memory cap (OLD_MEM_KB, default 8000000):
# where it cannot run at the large limit, it runs again with a limit just
# above the number of patterns the new build found, which is the same run
# when that limit is not reached ("identical at limit N"; old figures "-").
# Usage: generate_store.sh <bindir> [<earlier bindir>] [circuit ...]
set -u
[ $# -ge 1 ] || { echo "usage: $0 <bindir> [<earlier bindir>] [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
shift
oldbin=
if [ $# -gt 0 ] && [ -d "$1" ]; then
  oldbin=$(cd "$1" && pwd) || exit 2
  shift
fi
need_gnu_time
benchmark_folder
old_mem=${OLD_MEM_KB:-8000000}

circuit_files "$src" "$@"
enter_work_folder

# Runs generate of <bindir> on <design> with the options given, in a folder
# of its own; sets RUN ("status seconds MB").
run_gen() {  # bindir folder design mem_kb [options...]
  local bin=$1 dir=$2 design=$3 mem=$4
  shift 4
  rm -rf "$dir" && mkdir "$dir" && cp "$design.agm" "$dir/"
  (cd "$dir" && ulimit -v "$mem" && /usr/bin/time -o time.txt -f "%e %M" "$bin/generate" "$@" "$design" >out 2>&1)
  local status=$?
  sed -i -E 's/(Time, used by process: )[0-9.]+ /\1T /' "$dir/out"
  RUN="$status $(tail -n 1 "$dir/time.txt" | awk '{ printf "%.2f %.0f", $1, $2 / 1024 }')"
}

same_files() {  # folder folder design
  cmp -s "$1/$3.tst" "$2/$3.tst" && cmp -s "$1/$3.red" "$2/$3.red"
}

same() {  # folder folder design
  same_files "$@" && cmp -s "$1/out" "$2/out"
}

# The output without the summary block (the blank line, "Tested" up to
# "Backtracks").
without_summary() {  # file
  awk '
    held { held = 0; if (/^Tested /) { skip = 1; next } print "" }
    skip { if (/ Backtracks$/) skip = 0; next }
    /^$/ { held = 1; next }
    { print }
    END { if (held) print "" }
  ' "$1"
}

row() {  # run status old_sec new_sec old_MB new_MB verdict
  printf "%-10s %-5s %7s %-9s %7s %8s %8s %8s %8s  %s\n" "$circuit" $level "$nodes" "$@"
}

printf "%-10s %-5s %7s %-9s %7s %8s %8s %8s %8s  %s\n" circuit level nodes run status old_sec new_sec old_MB new_MB files
failed=0
notes=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    design=${stem}_$level
    fullscan_model "$bindir" $level "$design" 10 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$design.agm")
    for run in default 1000000 per_fault; do
      opts=()
      case $run in
        1000000) opts=(-vector_limit $run) ;;
        per_fault) opts=(-test_per_fault) ;;
      esac
      run_gen "$bindir" new_$run "$design" unlimited "${opts[@]}"
      read -r new_status new_sec new_mb <<<"$RUN"
      if [ -z "$oldbin" ]; then
        row $run "$new_status" - "$new_sec" - "$new_mb" -
        continue
      fi
      run_gen "$oldbin" old_$run "$design" "$old_mem" "${opts[@]}"
      read -r old_status old_sec old_mb <<<"$RUN"
      if [ "$old_status" = "$new_status" ] && same old_$run new_$run "$design"; then
        verdict=identical
      elif [ "$old_status" = 14 ] && [ "$new_status" = 14 ] && same_files old_$run new_$run "$design" &&
           grep -q "Vector limit exceeded" new_$run/out && ! grep -q "^Tested " old_$run/out &&
           cmp -s old_$run/out <(without_summary new_$run/out); then
        verdict="identical but the summary at the limit"
      elif [ $run = 1000000 ] && [ "$old_status" != 0 ] && grep -q "Out of memory" old_$run/out &&
           found=$(awk '/ Vectors$/ { print $1 }' new_$run/out) && [ -n "$found" ] &&
           run_gen "$oldbin" old_fit "$design" "$old_mem" -vector_limit $((found + 1)) &&
           [ "${RUN%% *}" = "$new_status" ] && same old_fit new_$run "$design"; then
        verdict="identical at limit $((found + 1)) (earlier build out of memory at $run)"
        old_sec=-
        old_mb=-
      else
        verdict=DIFFERS
        failed=1
        notes+=("$circuit $level $run: old status $old_status, new status $new_status")
      fi
      row $run "$new_status" "$old_sec" "$new_sec" "$old_mb" "$new_mb" "$verdict"
    done
  done
  rm -f "$stem"*
done
finish
