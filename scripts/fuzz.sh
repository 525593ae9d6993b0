#!/usr/bin/env bash
# Fuzzes the document readers and the query language natively with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer.
#   bash scripts/fuzz.sh [TARGET] [SECONDS]
# TARGET is a name of fuzz/<name>.cpp (all of them, one after another, when
# omitted or "all"); SECONDS per target (default 600). Installs Debian's clang,
# zlib1g-dev and libssl-dev (the PDF reader's ciphers) when missing; SQLite
# comes from the source the product builds
# with (cmake/BundledSqlite.cmake). The corpus grows in build-fuzz/corpus/<name>
# from fuzz/seeds/<name>; a fault's input is written to build-fuzz/faults/<name>/.
# Copy it into fuzz/regressions/<name>/ with the fix: the test suite replays
# those inputs on Windows.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:-all}"
seconds="${2:-600}"
build="${QUORVANE_FUZZ_BUILD:-$root/build-fuzz}"

packages=(clang zlib1g-dev libssl-dev cmake make)
command -v npm >/dev/null 2>&1 || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=()
if [ "$target" = all ]; then
  for source in "$root"/fuzz/*.cpp; do
    name="$(basename "$source" .cpp)"
    [ "$name" = ReplayMain ] || targets+=("$name")
  done
else
  targets=("$target")
fi
for name in "${targets[@]}"; do
  cmake --build "$build" --target "fuzz-$name" -j"$(nproc)" >/dev/null
done

for name in "${targets[@]}"; do
  corpus="$build/corpus/$name"
  faults="$build/faults/$name"
  mkdir -p "$corpus" "$faults"
  inputs=("$corpus")
  for dir in "$root/fuzz/seeds/$name" "$root/fuzz/regressions/$name"; do
    [ -d "$dir" ] && inputs+=("$dir")
  done
  # Search strings of a few KB reach every shape; longer ones only slow the run
  # (the regression inputs and tests cover any length).
  max_len=65536
  [ "$name" = query ] && max_len=4096
  echo "== $name: $seconds s"
  # -jobs=1: the machine is shared; one target at a time, at the lowest priority.
  set +e
  nice -n 19 "$build/fuzz-$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=$max_len \
    -artifact_prefix="$faults/" -print_final_stats=1 "${inputs[@]}" 2>&1 | tee "$build/$name.log" |
    grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)" 
  status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    echo "$name: fault found (exit $status); input in $faults/, log in $build/$name.log"
    exit "$status"
  fi
done
