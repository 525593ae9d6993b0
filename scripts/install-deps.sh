#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when any is missing.
set -euo pipefail
packages=(cmake make mingw-w64 libz-mingw-w64-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 xvfb xauth xdotool googletest imagemagick nsis)
# npm fetches SQLite for the search service at configure time; a machine that has
# Node.js from elsewhere already has it.
command -v npm >/dev/null 2>&1 || packages+=(npm)
# 32-bit Wine runs the i686 test programs (QUORVANE_32BIT=1): the
# 32-bit DLL is what 32-bit programs' file dialogs load. It needs Debian's i386
# multiarch. Wine prefixes booted before it was installed are booted again by
# wine-prefix.sh.
sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
if [ "${QUORVANE_32BIT:-0}" = 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
    $sudo_cmd apt-get update -qq
  fi
  packages+=(wine32:i386)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
