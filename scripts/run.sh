#!/usr/bin/env bash
# Runs quorvane: installs what is missing, builds, installs the search folders and
# the bundled search service into a private Wine prefix, indexes a folder and
# opens the search folders in quorvane-browse.
#
#   bash scripts/run.sh [FOLDER]
#
# FOLDER (a folder of this machine) is indexed; without it a generated sample tree
# is. Example search folders are written when the prefix has no quorvane.xml yet.
# With a display the window opens there and the command ends when it is closed;
# without one it runs on its own Xvfb display and writes screenshots instead.
# QUORVANE_RUN=dir keeps the prefix, sample tree and screenshots elsewhere.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUORVANE_BUILD:-$root/build}
run=${QUORVANE_RUN:-$build/run}
folder=${1:-}
if [ -n "$folder" ]; then
  [ -d "$folder" ] || { echo "no such folder: $folder" >&2; exit 2; }
  folder=$(cd "$folder" && pwd)
fi

if [ -z "${QUORVANE_RUN_HEADLESS:-}" ]; then
  "$root/scripts/build.sh" --target quorvane quorvane_search quorvane_index quorvane_browse
fi
# Without a display everything runs on one Xvfb display: Wine keeps the display
# its first program in a prefix found for every later one.
if [ -z "${DISPLAY:-}" ]; then
  export QUORVANE_RUN_HEADLESS=1
  exec "$root/scripts/with-display.sh" bash "$0" "$@"
fi

export WINEPREFIX=$run/wineprefix WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A server left from an earlier run may hold another display.
wineserver -k >/dev/null 2>&1 || true
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
install_dir=$WINEPREFIX/drive_c/quorvane
mkdir -p "$install_dir"

# The DLLs are replaced only when they changed: a running host may hold them.
for file in src/quorvane.dll service/quorvane-search.dll service/quorvane-index.exe service/quorvane-indexw.exe \
  tools/browse/quorvane-browse.exe; do
  cmp -s "$build/$file" "$install_dir/$(basename "$file")" || cp "$build/$file" "$install_dir/"
done
# For all users: Wine's COM does not read per-user class registrations.
wine regsvr32 /s 'C:\quorvane\quorvane-search.dll'
wine regsvr32 /s 'C:\quorvane\quorvane.dll'
echo "registered C:\\quorvane\\quorvane.dll and quorvane-search.dll in $WINEPREFIX"

if [ -z "$folder" ]; then
  folder=$run/sample
  "$root/scripts/make-sample-tree.sh" "$folder"
fi
index() { wine 'C:\quorvane\quorvane-index.exe' "$@" 2>&1 | tr -d '\r'; }
index add "$(winepath -w "$folder" | tr -d '\r')"
index index
# The watcher keeps the index current while the prefix runs, as the logon entry
# does on Windows (one per user: a second start just says so).
wine 'C:\quorvane\quorvane-index.exe' watch >/dev/null 2>&1 &

if [ ! -f "$install_dir/quorvane.xml" ]; then
  cat >"$install_dir/quorvane.xml" <<'XML'
<root name='root'>
  <folder name='Reports' query='report' category='file' ranking='recency' maxResults='50' style='32768'>
    <folder name='Budget reports' query='budget report' category='file' style='32768'/>
  </folder>
  <folder name='Recipes' query='recipe' category='file' style='1'/>
  <folder name='Notes' query='filetype:txt' category='file' style='32768'/>
  <folder name='Spreadsheets' query='filetype:csv' category='file' ranking='recency' style='3'/>
</root>
XML
  echo "wrote example search folders to C:\\quorvane\\quorvane.xml (a user's first start copies them to %APPDATA%\\quorvane\\quorvane.xml, where that user's changes are saved)"
fi

if [ -z "${QUORVANE_RUN_HEADLESS:-}" ]; then
  echo "opening the search folders on $DISPLAY; close the window to end"
  exec wine 'C:\quorvane\quorvane-browse.exe'
fi

shots=$run/screenshots
mkdir -p "$shots"
shoot() {  # FILE [FOLDER]: opens the folder, waits until the tool says it is shown, saves the screen
  local log=$shots/browse.log
  # The tool closes its window 3 s after the folder is shown and painted.
  wine 'C:\quorvane\quorvane-browse.exe' --exit-after 3 ${2:+"$2"} >"$log" 2>&1 &
  local pid=$! status=0 shown=
  for _ in $(seq 600); do
    if tr -d '\r' <"$log" | grep -q '^shown'; then shown=1; break; fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$shown" ] && import -window root "$shots/$1"
  if [ -z "$shown" ] && kill -0 $pid 2>/dev/null; then kill $pid 2>/dev/null || true; fi
  wait $pid || status=$?
  if [ -z "$shown" ] || [ $status -ne 0 ]; then
    echo "quorvane-browse ${2:-} failed ($status): $(tr -d '\r' <"$log")" >&2
    rm -f "$shots/$1"
    return 1
  fi
  echo "screenshot: $shots/$1"
}
status=0
shoot quorvane.png && shoot reports.png Reports || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
