#!/usr/bin/env bash
# End-to-end run of quorvane in quorvane-browse on an X display (the one CTest runs
# under): installs the DLLs and tools into a private Wine prefix, indexes a
# generated sample tree with the bundled search service, writes search folders,
# then opens them and drives the view with real keys (xdotool), checking
# quorvane.xml after each step. Screenshots of the main steps go to OUT/screenshots.
#
#   e2e.sh OUT quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-browse.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$1; shift
[ -n "${DISPLAY:-}" ] || { echo "e2e needs an X display" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is missing (scripts/install-deps.sh)" >&2; exit 1; }

export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine moves deleted files to the XDG trash: keep it inside the build tree.
export XDG_DATA_HOME=$out/data
shots=$out/screenshots
rm -rf "$shots" "$out/sample" "$XDG_DATA_HOME"
mkdir -p "$shots"
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

install_dir=$WINEPREFIX/drive_c/quorvane
mkdir -p "$install_dir"
cp "$@" "$install_dir/"
wine regsvr32 /s 'C:\quorvane\quorvane-search.dll'
wine regsvr32 /s 'C:\quorvane\quorvane.dll'

"$root/scripts/make-sample-tree.sh" "$out/sample" >/dev/null
index() { wine 'C:\quorvane\quorvane-index.exe' "$@" 2>&1 | tr -d '\r'; }
index add "$(winepath -w "$out/sample" | tr -d '\r')" >/dev/null
index index >/dev/null

xml=$install_dir/quorvane.xml
cat >"$xml" <<'XML'
<root name='root'>
  <folder name='Reports' query='report' category='file' ranking='recency' maxResults='50' style='32768'/>
  <folder name='Recipes' query='recipe' category='file' style='1'/>
</root>
XML

fail() { echo "FAIL: $*" >&2; exit 1; }

browse_pid=
# open [FOLDER]: starts quorvane-browse and waits for its window; sets $window.
open() {
  wine 'C:\quorvane\quorvane-browse.exe' --exit-after 60 ${1:+"$1"} >"$out/browse.log" 2>&1 &
  browse_pid=$!
  window=
  for _ in $(seq 60); do
    window=$(xdotool search --onlyvisible --name 'quorvane' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || fail "no quorvane-browse window for '${1:-}': $(tr -d '\r' <"$out/browse.log")"
  sleep 2  # the view fills its list after the window shows
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
}
# close: ends quorvane-browse through its window menu key and waits for it.
close() {
  xdotool key --window "$window" alt+F4 2>/dev/null || true
  for _ in $(seq 40); do kill -0 "$browse_pid" 2>/dev/null || break; sleep 0.5; done
  wait "$browse_pid" || fail "quorvane-browse ended with $?: $(tr -d '\r' <"$out/browse.log")"
}
# shoot NAME: saves the screen and checks that it shows more than a blank window.
shoot() {
  import -window root "$shots/$1.png"
  local colours
  colours=$(identify -format '%k' "$shots/$1.png")
  [ "$colours" -gt 8 ] || fail "screenshot $1 shows only $colours colours"
}

# click_first_row: selects the first row (below the header at the window's top
# left) and gives the list the keyboard.
click_first_row() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + 50)) $((Y + 28)); sleep 0.3
  xdotool mousedown 1; sleep 0.1; xdotool mouseup 1; sleep 1
}

# 1. A search folder lists the files the search service found in the sample tree;
# Delete on the first one (sorted by name) asks, and Enter confirms: the file
# goes to the trash.
open Reports
shoot reports
victim="$out/sample/Work/Reports/Operations annual report.md"
[ -f "$victim" ] || fail "sample tree lacks $victim"
click_first_row
xdotool key Delete; sleep 1.5
shoot delete-confirmation
[ -e "$victim" ] || fail "Delete removed $victim without asking"
xdotool key Return; sleep 2
shoot deleted
[ ! -e "$victim" ] || fail "Delete did not remove $victim"
[ -f "$XDG_DATA_HOME/Trash/files/Operations annual report.md" ] || fail "deleted file is not in the trash: $(find "$XDG_DATA_HOME" 2>/dev/null)"
close

# 2. The root lists the search folders (sorted by name); a click on the first row
# selects it and gives the list the keyboard, and Down moves to the next one.
open
shoot root
click_first_row
shoot selected
xdotool key Down; sleep 1
shoot moved
compare -metric AE "$shots/selected.png" "$shots/moved.png" null: 2>"$out/diff.txt" || true
[ "$(cut -d' ' -f1 <"$out/diff.txt")" -gt 100 ] || fail "Down did not move the selection"

# 3. F2 renames the selected folder in place and the new name is saved.
xdotool key Up; sleep 0.5
xdotool key F2; sleep 1
xdotool type --delay 50 'Quarterly'
xdotool key Return; sleep 1
shoot renamed
grep -q "name=.Quarterly. query=.recipe." "$xml" || fail "rename not saved: $(cat "$xml")"

# 4. "New Folder" from the background menu (its N key) creates a folder and starts
# editing its name; the typed name is saved.
xdotool mousemove $((X + 400)) $((Y + 400)); sleep 0.3
xdotool click 3; sleep 1
shoot background-menu
xdotool key n; sleep 1.5
xdotool type --delay 50 'Invoices'
xdotool key Return; sleep 1
shoot new-folder
grep -q "name=.Invoices." "$xml" || fail "new folder not saved as Invoices: $(cat "$xml")"
close

echo "e2e passed; screenshots in $shots"
