#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix.
# CTest uses this as the cross-compiling emulator; QUORVANE_WINEPREFIX overrides the prefix.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1; shift
build=${QUORVANE_BUILD_DIR:-$(cd "$(dirname "$exe")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)}
export WINEPREFIX=${QUORVANE_WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Mono or Gecko downloads: the prefix must come up with no network.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$here/wine-prefix.sh" "$WINEPREFIX"

# Wine's own background processes (services, the desktop window) outlive the
# program and would hold CTest's output pipe open, so the output goes through a file.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x1024x24" wine "$exe" "$@" >"$out" 2>&1 </dev/null
else
  wine "$exe" "$@" >"$out" 2>&1 </dev/null
fi
status=$?
cat "$out"
exit $status
