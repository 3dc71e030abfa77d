# Helpers of the fuzz scripts (sourced, not run).

# Reads a file into the variable named, trailing line breaks included.
read_into() {  # variable file
  local t
  t=$(cat "$2"; echo .)
  printf -v "$1" '%s' "${t%.}"
}

# Prints the text with `count` seeded edits: a character replaced by, or a
# symbol of the caller's array `symbols` inserted, or a character deleted.
mutate() {  # text count
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
