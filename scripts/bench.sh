#!/usr/bin/env bash
# Builds and runs a benchmark under Wine in the build tree's prefix:
#   bash scripts/bench.sh service [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
name=${1:?usage: scripts/bench.sh NAME [ARGS...]}
shift
"$root/scripts/build.sh" --target "quorvane_${name}_bench"
exe=$(find "$build/bench/$name" -maxdepth 1 -name "quorvane_${name}_bench.exe" | head -1)
"$root/scripts/wine-run.sh" "$exe" "$@"
