#!/usr/bin/env bash
# Builds and runs the enumeration benchmark under Wine, in the build tree's private
# prefix; arguments are the result counts to measure (default 100 1000 10000).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
"$root/scripts/build.sh" --target quorvane_enumeration_bench >/dev/null
"$root/scripts/wine-run.sh" "$build/bench/quorvane_enumeration_bench.exe" "$@"
