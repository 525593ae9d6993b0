#!/usr/bin/env bash
# Runs a command with one Xvfb display for all of it (none is started when
# DISPLAY is already set).
set -uo pipefail
if [ -n "${DISPLAY:-}" ]; then exec "$@"; fi
for n in $(seq 90 140); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
  Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  if kill -0 $xvfb 2>/dev/null; then
    export DISPLAY=:$n
    "$@"; status=$?
    kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null
    exit $status
  fi
done
echo "no free X display" >&2
exit 1
