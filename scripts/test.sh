#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine with CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
"$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
status=0
"$root/scripts/with-display.sh" ctest --test-dir "$build" --output-on-failure "$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
