#!/usr/bin/env bash
# Builds the suite and runs the main job on the bundled example design c17:
# fault simulation of its test patterns, printing the coverage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset default >/dev/null
cmake --build --preset default
work=$(mktemp -d)
cp "$root/examples/c17.agm" "$root/examples/c17.tst" "$work/"
cd "$work"
"$root/build/bin/analyze" c17
echo "Result file: $work/c17.tst"
