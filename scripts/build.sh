#!/usr/bin/env bash
# Configures and builds quorvane for 64-bit Windows into ${QUORVANE_BUILD:-build}.
#   --arch i686   builds the 32-bit DLLs and tools instead, into ${QUORVANE_BUILD:-build-i686}
# Further arguments go to cmake --build (for example --target quorvane).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=x86_64
if [ "${1:-}" = "--arch" ]; then arch=${2:?--arch needs x86_64 or i686}; shift 2; fi
case $arch in
  x86_64) build=${QUORVANE_BUILD:-$root/build} ;;
  i686) build=${QUORVANE_BUILD:-$root/build-i686} ;;
  *) echo "unknown architecture $arch (x86_64 or i686)" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
if [ "$arch" = i686 ] && [ $# -eq 0 ]; then
  # What ships; the tests run in the 64-bit build.
  set -- --target quorvane quorvane_search quorvane_index quorvane_indexw quorvane_browse
fi
cmake --build "$build" -j"$(nproc)" "$@"
