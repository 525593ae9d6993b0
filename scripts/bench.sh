#!/usr/bin/env bash
# Builds and runs a benchmark under Wine in the build tree's prefix:
#   bash scripts/bench.sh [NAME] [ARGS...]     (NAME: a folder of bench/; without
#                                               one: enumeration, then document)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
run() {
  local name=$1
  shift
  "$root/scripts/build.sh" --target "quorvane_${name}_bench" >/dev/null
  local exe
  exe=$(find "$build/bench/$name" -maxdepth 1 -name "quorvane_${name}_bench.exe" | head -1)
  "$root/scripts/wine-run.sh" "$exe" "$@"
}
if [ $# -gt 0 ] && [ -f "$root/bench/$1/CMakeLists.txt" ]; then
  name=$1
  shift
  run "$name" "$@"
elif [ $# -gt 0 ]; then
  run enumeration "$@"
else
  run enumeration
  echo
  run document
fi
