#!/usr/bin/env bash
# patman on a real terminal (a tmux pane), for what a pipe cannot show: each
# prompt is on the screen before its answer is typed; after "f" and Enter the
# menu comes back with no further key; Ctrl-D at the menu ends the program
# with status 14 and writes nothing.
# Usage: patman_terminal.sh <bindir>   (exit 77: no tmux to be had)
set -u
[ $# -eq 1 ] || { echo "usage: $0 <bindir>" >&2; exit 2; }
bindir=$(cd "$1" && pwd) || exit 2
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v tmux >/dev/null 2>&1; then
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq tmux; } >/dev/null 2>&1
  command -v tmux >/dev/null 2>&1 || { echo "tmux not available: skipped"; exit 77; }
fi
work=$(mktemp -d)
sock="$work/tmux.sock"
trap 'tmux -S "$sock" kill-server >/dev/null 2>&1; rm -rf "$work"' EXIT
cp "$here/data/andor.agm" "$work/" || exit 2

T() { tmux -S "$sock" "$@"; }
screen() { T capture-pane -p -J -t pm -S -500; }
fail() {
  echo "FAIL: $1"
  echo "--- pane:"
  screen
  exit 1
}
# Waits until `text` has been shown `count` times (default once).
wait_for() {  # text [count]
  local want=${2:-1} i n
  for i in $(seq 1 150); do
    n=$(screen | grep -cF -- "$1")
    [ "$n" -ge "$want" ] && return 0
    sleep 0.1
  done
  fail "not shown (${want}x): $1"
}

T new-session -d -s pm -x 200 -y 60 \
  "cd '$work' && '$bindir/patman' andor; echo \$? > status; sleep 60" || { echo "tmux cannot start: skipped"; exit 77; }

wait_for "Please, give me the name of the file for test vectors [andor.tst]: "
T send-keys -t pm Enter
wait_for "Make your choice, please: "
T send-keys -t pm n Enter
wait_for "Finally, when you are done with vectors simply press"
T send-keys -t pm 011 Enter
T send-keys -t pm Enter
wait_for "X. Save patterns and eXit"
wait_for "Make your choice, please: " 2
T send-keys -t pm f Enter
wait_for "Fault simulation will be performed"
# The menu and its prompt again, with no further key sent.
wait_for "Make your choice, please: " 3
echo "prompts shown before their answers; the menu is back after f"
T send-keys -t pm C-d
for i in $(seq 1 100); do
  [ -s "$work/status" ] && break
  sleep 0.1
done
[ -s "$work/status" ] || fail "patman did not end after Ctrl-D"
status=$(cat "$work/status")
[ "$status" = 14 ] || fail "status $status after Ctrl-D, expected 14"
screen | grep -qF "End of input" || fail "no end-of-input message"
ls "$work" | grep -qv -e '^andor.agm$' -e '^status$' -e '^tmux.sock$' && fail "files written: $(ls "$work")"
echo "Ctrl-D at the menu: status 14, nothing written"
exit 0
