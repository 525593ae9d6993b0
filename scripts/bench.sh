#!/usr/bin/env bash
# Builds and runs a benchmark under Wine in the build tree's prefix:
#   bash scripts/bench.sh [NAME] [ARGS...]     (NAME: a folder of bench/, default enumeration)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
name=enumeration
if [ $# -gt 0 ] && [ -f "$root/bench/$1/CMakeLists.txt" ]; then name=$1; shift; fi
"$root/scripts/build.sh" --target "quorvane_${name}_bench" >/dev/null
exe=$(find "$build/bench/$name" -maxdepth 1 -name "quorvane_${name}_bench.exe" | head -1)
"$root/scripts/wine-run.sh" "$exe" "$@"
