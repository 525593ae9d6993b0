#!/usr/bin/env bash
# Builds everything and runs the whole test suite under Wine with CTest.
# With QUORVANE_32BIT=1 it also builds the i686 item-layout,
# folder-store and shell-folder test programs and runs them under 32-bit Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
"$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
status=0
"$root/scripts/with-display.sh" ctest --test-dir "$build" --output-on-failure "$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
if [ "${QUORVANE_32BIT:-0}" = 1 ]; then
  build32=${QUORVANE_BUILD_I686:-$root/build-i686}
  QUORVANE_BUILD=$build32 "$root/scripts/build.sh" --arch i686 \
    --target quorvane_pidl_tests quorvane_folders_tests quorvane_shellfolder_tests
  export WINEPREFIX=$build32/wineprefix
  "$root/scripts/wine-prefix.sh" "$WINEPREFIX"
  "$root/scripts/with-display.sh" ctest --test-dir "$build32" --output-on-failure -R '^(pidl|folders|shellfolder)$' \
    || status=$?
  wineserver -k >/dev/null 2>&1 || true
fi
exit $status
