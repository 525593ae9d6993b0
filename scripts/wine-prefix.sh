#!/usr/bin/env bash
# Creates the Wine prefix named by $1 on first use and keeps a persistent wineserver
# for it, so each test program does not pay for a server start.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
lock=$prefix.lock
mkdir -p "$(dirname "$prefix")"
# What the prefix was booted with: a prefix booted before 32-bit Wine was
# installed (or by another Wine version) cannot start programs afterwards, so
# the prefix is booted again whenever this changes.
wine_state() {
  wine --version 2>/dev/null
  dpkg-query -W -f='${Package}:${Architecture} ${Version} ${Status}\n' 'wine*' 'libwine*' 2>/dev/null | sort
}
state=$(wine_state)
(
  flock 9
  if [ -f "$prefix/system.reg" ] && [ "$(cat "$prefix/.quorvane-wine-state" 2>/dev/null)" != "$state" ]; then
    wineserver -k >/dev/null 2>&1 9>&- || true
    rm -rf "$prefix"
  fi
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 9>&- || true
    wineserver -w 9>&-
    # A crash ends the process instead of waiting on a debugger dialog.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d "" /f >/dev/null 2>&1 9>&- || true
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 0 /f >/dev/null 2>&1 9>&- || true
    printf '%s' "$state" >"$prefix/.quorvane-wine-state"
  fi
  # The prefix's Documents, Desktop and the like are folders of its own, not
  # links into the Unix home: nothing run here may index or change the user's
  # own files.
  for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm -f "$link" && mkdir -p "$link"
    fi
  done
  wineserver -p30 >/dev/null 2>&1 9>&- || true
) 9>"$lock"
