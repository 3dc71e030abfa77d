# Helpers shared by the ISCAS'89 scripts (sourced, not run).

# Folder of the ISCAS'89 circuits: $BENCH/iscas89 when BENCH is set (as the
# end-to-end harness sets it), else the repository's own benchmarks/ folder.
iscas89_dir() {
  local repo
  repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  echo "${BENCH:-$repo/benchmarks}/iscas89"
}

# Sets `files` to the .bench files of the circuits named (e.g. s27 s298), or
# of every circuit in the folder when none is named.
circuit_files() {  # folder [circuit ...]
  local src=$1 c
  shift
  files=()
  if [ $# -gt 0 ]; then
    for c in "$@"; do files+=("$src/$c.bench"); done
  else
    files=("$src"/*.bench)
  fi
}

# Moves into a fresh temporary folder (`work`), removed when the script ends.
enter_work_folder() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cd "$work" || exit 2
}

# Prints the notes gathered in `notes` after a blank line and ends the script
# with the status in `failed`.
finish() {
  if [ ${#notes[@]} -gt 0 ]; then
    echo
    printf "%s\n" "${notes[@]}"
  fi
  exit "$failed"
}

# File-name stem for a circuit: import names its model after the input file
# cut at the first '.', so s208.1 would collide with s208; dots become '_'.
stem_of() { local b; b=$(basename "$1" .bench); echo "${b//./_}"; }

# Runs `import [-gate_level] -read_iscas89 <stem>.bench` in the current folder
# and moves the model to <target>.agm.  Sets SYN_STAT to "vars nodes graphs
# seconds" or "-" on failure, and keeps the program's output in <target>.log.
synth() {  # bindir stem level(macro|gate) target
  local bindir=$1 stem=$2 level=$3 target=$4 t0 t1 status
  local opts=(-read_iscas89)
  [ "$level" = gate ] && opts=(-gate_level -read_iscas89)
  rm -f "$stem.agm" "$target.agm"
  t0=$(date +%s.%N)
  "$bindir/import" "${opts[@]}" "$stem.bench" >"$target.log" 2>&1
  status=$?
  t1=$(date +%s.%N)
  SYN_SECS=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  if [ $status -ne 0 ] || [ ! -f "$stem.agm" ]; then
    echo "import exit status $status" >>"$target.log"
    SYN_STAT="-"
    return 1
  fi
  mv "$stem.agm" "$target.agm"
  SYN_STAT="$(awk '/^STAT#/ { print $4, $2, $6; exit }' "$target.agm") $SYN_SECS"
  return 0
}

# Names a .bench file reads (gate arguments, OUTPUT lines) but never declares.
undeclared_nets() {
  awk '
    { sub(/#.*/, "") }
    /^[ \t]*INPUT[ \t]*\(/ { s = $0; sub(/^[^(]*\(/, "", s); sub(/\).*/, "", s); gsub(/[ \t\r]/, "", s); decl[s] = 1; next }
    /^[ \t]*OUTPUT[ \t]*\(/ { s = $0; sub(/^[^(]*\(/, "", s); sub(/\).*/, "", s); gsub(/[ \t\r]/, "", s); used[s] = 1; next }
    /=/ {
      s = substr($0, 1, index($0, "=") - 1); gsub(/[ \t\r]/, "", s); decl[s] = 1
      a = substr($0, index($0, "(") + 1); sub(/\).*/, "", a); gsub(/[ \t\r]/, "", a)
      n = split(a, args, ","); for (i = 1; i <= n; i++) used[args[i]] = 1
    }
    END { for (u in used) if (!(u in decl)) print u }
  ' "$1" | sort
}

# A failed import is an accepted refusal when the circuit reads a net it
# never declares and the program's message names that net; REFUSAL is then
# the line of the message that names it.
accepted_refusal() {  # bench log
  local net
  for net in $(undeclared_nets "$1"); do
    REFUSAL=$(grep -m 1 -- "$net" "$2") && return 0
  done
  return 1
}

# Ends the script with status 0 and a note when a program it needs is not
# built in `bindir`: a benchmark of a program not built yet is skipped.
require_programs() {  # what program ...
  local what=$1 p
  shift
  for p in "$@"; do
    [ -x "$bindir/$p" ] || { echo "$p not found in $bindir: $what skipped"; exit 0; }
  done
}

# The processor times and peak memory come from GNU time, which a fresh
# machine lacks: installs it (as root, or through sudo without a password),
# or ends the script.
need_gnu_time() {
  [ -x /usr/bin/time ] && return 0
  echo "installing the time package for /usr/bin/time" >&2
  local sudo=
  [ "$(id -u)" = 0 ] || sudo="sudo -n"
  { $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq time; } >/dev/null 2>&1
  [ -x /usr/bin/time ] || { echo "/usr/bin/time (GNU time) is needed (apt-get install time)" >&2; exit 2; }
}

# Sets `src` to the folder of the ISCAS'89 circuits, or ends the script.
benchmark_folder() {
  src=$(iscas89_dir)
  [ -d "$src" ] || { echo "no benchmark folder $src" >&2; exit 2; }
}

# Writes the full-scan view of the circuit file as <stem>.bench in the
# current folder and sets `circuit` (its name) and `stem`; false (with a
# message and `failed` set) when there is no such file.
fullscan_view() {  # file.bench
  [ -f "$1" ] || { echo "$(basename "$1"): no such circuit" >&2; failed=1; return 1; }
  circuit=$(basename "$1" .bench)
  stem=$(stem_of "$1")_fs
  bash "$(dirname "${BASH_SOURCE[0]}")/fullscan.sh" "$1" >"$stem.bench"
}

# Synthesises <stem>.bench at the level into <design>.agm.  When import
# fails, prints the circuit's row (a refusal the netlist explains, or a
# failure, which sets `failed`), keeps the message in `notes` and is false.
fullscan_model() {  # bindir level design [width of the circuit column]
  local bindir=$1 level=$2 design=$3 width=${4:-10}
  synth "$bindir" "$stem" "$level" "$design" && return 0
  if accepted_refusal "$stem.bench" "$design.log"; then
    printf "%-${width}s %-5s refused by import\n" "$circuit" "$level"
    notes+=("$circuit $level: $REFUSAL")
  else
    printf "%-${width}s %-5s import FAILED\n" "$circuit" "$level"
    notes+=("$circuit $level: $(tail -n 3 "$design.log" | tr '\n' ' ')")
    failed=1
  fi
  return 1
}
