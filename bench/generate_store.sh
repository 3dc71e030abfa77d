#!/usr/bin/env bash
# generate's pattern store against an earlier build: on the full-scan view of
# every ISCAS'89 circuit, at macro and gate level, both builds run generate
# with the default limit and with -vector_limit 1000000.  Prints per model
# and limit the wall-clock seconds and the peak memory (MB) of each build and
# whether the .tst, the .red and the terminal output are byte-identical.
# The earlier build runs under a memory cap (OLD_MEM_KB, default 8000000):
# where it cannot run at the large limit, it runs again with a limit just
# above the number of patterns the new build found, which is the same run
# when that limit is not reached ("identical at limit N"; old figures "-").
# Usage: generate_store.sh <bindir> <earlier bindir> [circuit ...]
set -u
[ $# -ge 2 ] || { echo "usage: $0 <bindir> <earlier bindir> [circuit ...]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/iscas89_lib.sh"
bindir=$(cd "$1" && pwd) || exit 2
oldbin=$(cd "$2" && pwd) || exit 2
shift 2
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed" >&2; exit 2; }
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

same() {  # folder folder design
  cmp -s "$1/$3.tst" "$2/$3.tst" && cmp -s "$1/$3.red" "$2/$3.red" && cmp -s "$1/out" "$2/out"
}

printf "%-10s %-5s %7s %-7s %7s %8s %8s %8s %8s  %s\n" circuit level nodes limit status old_sec new_sec old_MB new_MB files
failed=0
notes=()
for f in "${files[@]}"; do
  fullscan_view "$f" || continue
  for level in macro gate; do
    design=${stem}_$level
    fullscan_model "$bindir" $level "$design" 10 || continue
    nodes=$(awk '/^STAT#/ { print $2; exit }' "$design.agm")
    for limit in default 1000000; do
      opts=()
      [ $limit = default ] || opts=(-vector_limit $limit)
      run_gen "$oldbin" old_$limit "$design" "$old_mem" "${opts[@]}"
      read -r old_status old_sec old_mb <<<"$RUN"
      run_gen "$bindir" new_$limit "$design" unlimited "${opts[@]}"
      read -r new_status new_sec new_mb <<<"$RUN"
      if [ "$old_status" = "$new_status" ] && same old_$limit new_$limit "$design"; then
        verdict=identical
      elif [ $limit != default ] && [ "$old_status" != 0 ] && grep -q "Out of memory" old_$limit/out &&
           found=$(awk '/ Vectors$/ { print $1 }' new_$limit/out) && [ -n "$found" ] &&
           run_gen "$oldbin" old_fit "$design" "$old_mem" -vector_limit $((found + 1)) &&
           [ "${RUN%% *}" = "$new_status" ] && same old_fit new_$limit "$design"; then
        verdict="identical at limit $((found + 1)) (earlier build out of memory at $limit)"
        old_sec=-
        old_mb=-
      else
        verdict=DIFFERS
        failed=1
        notes+=("$circuit $level $limit: old status $old_status, new status $new_status")
      fi
      printf "%-10s %-5s %7s %-7s %7s %8s %8s %8s %8s  %s\n" "$circuit" $level "$nodes" $limit "$new_status" \
        "$old_sec" "$new_sec" "$old_mb" "$new_mb" "$verdict"
    done
  done
  rm -f "$stem"*
done
finish
