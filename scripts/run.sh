#!/usr/bin/env bash
# Builds quorvane.dll and tells where it is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
"$root/scripts/build.sh" --target quorvane
echo "quorvane.dll: $build/src/quorvane.dll"
