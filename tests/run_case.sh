#!/usr/bin/env bash
# Runs one end-to-end case: a folder with
#   cmd           the command line, run by bash in a fresh work folder
#                 (PATH starts with the programs' folder; $DATA is tests/data,
#                 $BENCH the repository's benchmarks/ folder)
#   in/           files copied into the work folder first (optional)
#   stdin         standard input (optional; otherwise empty)
#   expect/status, expect/stdout, expect/stderr
#   expect/files/ files that must be in the work folder afterwards, byte for byte
# The figure of the timing line is replaced by T before comparing.
# With --update the expectations are rewritten from the run (check them by hand).
set -u
bindir=$1
case_dir=$(cd "$2" && pwd)
update=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -d "$case_dir/in" ] && cp -r "$case_dir/in/." "$work/"
stdin_file=/dev/null
[ -f "$case_dir/stdin" ] && stdin_file="$case_dir/stdin"

normalise() { sed -E 's/(Time, used by process: )[0-9.]+ /\1T /; s/(\*\*\* TOTAL TIME: )[0-9.]+ /\1T /'; }

(
  cd "$work" || exit 99
  export PATH="$bindir:$PATH" DATA="$here/data" BENCH="$here/../benchmarks"
  bash "$case_dir/cmd" <"$stdin_file" >"$work/.stdout" 2>"$work/.stderr"
  echo $? >"$work/.status"
)
normalise <"$work/.stdout" >"$work/.stdout.n"
normalise <"$work/.stderr" >"$work/.stderr.n"

if [ "$update" = "--update" ]; then
  mkdir -p "$case_dir/expect"
  cp "$work/.status" "$case_dir/expect/status"
  cp "$work/.stdout.n" "$case_dir/expect/stdout"
  cp "$work/.stderr.n" "$case_dir/expect/stderr"
  if [ -d "$case_dir/expect/files" ]; then
    for f in "$case_dir/expect/files"/*; do
      name=$(basename "$f")
      if [ -f "$work/$name" ]; then cp "$work/$name" "$f"; else rm -f "$f"; fi
    done
  fi
  echo "updated $case_dir"
  exit 0
fi

fail=0
check() {  # name expected actual
  if ! diff -u "$2" "$3" >"$work/.diff" 2>&1; then
    echo "--- $1 differs:"
    head -n 60 "$work/.diff"
    fail=1
  fi
}
check status "$case_dir/expect/status" "$work/.status"
check stdout "$case_dir/expect/stdout" "$work/.stdout.n"
check stderr "$case_dir/expect/stderr" "$work/.stderr.n"
if [ -d "$case_dir/expect/files" ]; then
  for f in "$case_dir/expect/files"/*; do
    [ -e "$f" ] || continue
    name=$(basename "$f")
    if [ ! -f "$work/$name" ]; then
      echo "--- missing result file $name"
      fail=1
    else
      check "$name" "$f" "$work/$name"
    fi
  done
fi
# No temporary result file may be left behind.
if ls "$work" | grep -q '\.tmp'; then
  echo "--- temporary file left: $(ls "$work" | grep '\.tmp')"
  fail=1
fi
exit $fail
