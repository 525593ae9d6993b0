#!/usr/bin/env bash
# End-to-end run of quorvane in real shell hosts on an X display (the one CTest
# runs under): installs the DLLs and tools into a private Wine prefix, indexes a
# generated sample tree with the bundled search service, writes search folders,
# then drives quorvane-browse, a file open dialog and Wine's own file manager
# (explorer.exe) with real mouse clicks and keys (xdotool). After each step it
# checks quorvane.xml, the file tree and what the hosts show (the view's rows,
# the folder tree, read by e2e-probe). Screenshots of the main steps go to
# OUT/screenshots.
#
#   e2e.sh OUT quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-indexw.exe quorvane-browse.exe e2e-probe.exe
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

sample=$out/sample
"$root/scripts/make-sample-tree.sh" "$sample" >/dev/null
# A path past MAX_PATH whose first 259 characters are the path of another file:
# LONG\x memo.txt is exactly 259 characters long.
winsample=$(winepath -w "$sample" | tr -d '\r')
long_dir_name=$(printf 'D%.0s' $(seq $((259 - ${#winsample} - 6 - 11))))
long_dir="$sample/Home/$long_dir_name"
mkdir -p "$long_dir"
long_namesake="$long_dir/x memo.txt"
long_file="$long_dir/x memo.txt$(printf 'Z%.0s' $(seq 30)).txt"
printf 'Memo: the namesake.\n' >"$long_namesake"
printf 'Memo: the long one.\n' >"$long_file"
[ $(( ${#winsample} + 6 + ${#long_dir_name} + 11 )) -eq 259 ] || { echo "FAIL: the namesake is not 259 characters" >&2; exit 1; }
index() { wine 'C:\quorvane\quorvane-index.exe' "$@" 2>&1 | tr -d '\r'; }
index add "$(winepath -w "$sample" | tr -d '\r')" >/dev/null
index index >/dev/null
# From here on the watcher keeps the index current, as it does after logon.
wine 'C:\quorvane\quorvane-index.exe' watch >/dev/null 2>&1 &

# The installed folders seed the user's own document on the first start; every
# change is saved there (%APPDATA%\quorvane\quorvane.xml), never beside the DLL.
appdata=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')" | tr -d '\r')
[ -n "$appdata" ] || { echo "FAIL: no %APPDATA% in the prefix" >&2; exit 1; }
rm -f "$appdata/quorvane/quorvane.xml"
xml=$appdata/quorvane/quorvane.xml
seed=$install_dir/quorvane.xml
cat >"$seed" <<'XML'
<root name='root'>
  <folder name='Reports' query='report' category='file' ranking='recency' maxResults='50' style='32768'/>
  <folder name='Recipes' query='recipe' category='file' style='1'/>
  <folder name='Memos' query='memo' category='file' maxResults='50'/>
</root>
XML

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }

# --- what the hosts show ------------------------------------------------------

probe() { wine 'C:\quorvane\e2e-probe.exe' "$@" 2>/dev/null | tr -d '\r'; }
# rows [TITLE]: the names the quorvane view's list shows, one a line.
rows() { probe view "${1:-}" | awk -F'\t' '$1 == "row" { print $6 }'; }
# list_mode [TITLE]: the list control's type (0 icons, 1 report, 2 small icons, 3 list).
list_mode() { probe view "${1:-}" | awk -F'\t' '$1 == "mode" { print $2 }'; }
# row_point NAME [TITLE]: "x y" of the row's name on the screen.
row_point() {
  local point
  point=$(probe view "${2:-}" | awk -F'\t' -v name="$1" '$1 == "row" && $6 == name { print $4, $5; exit }')
  [ -n "$point" ] || fail "no row '$1' in the list: $(rows "${2:-}" | tr '\n' '|')"
  echo "$point"
}
# control_point TITLE ID: "x y" of a dialog control.
control_point() {
  local point
  point=$(probe controls "$1" | awk -F'\t' -v id="$2" '$1 == "control" && $2 == id { print $4, $5; exit }')
  [ -n "$point" ] || fail "no control $2 in '$1'"
  echo "$point"
}
expect_rows() {  # expect_rows WHAT NAME...: the list shows exactly these rows, in order
  local what=$1; shift
  local shown wanted
  shown=$(rows | tr '\n' '|')
  wanted=$(printf '%s|' "$@")
  [ "$shown" = "$wanted" ] || fail "$what: the list shows '$shown', expected '$wanted'"
}
wait_rows() {  # wait_rows WHAT NAME...: as expect_rows, giving the view a few seconds to refresh
  local what=$1; shift
  local wanted
  wanted=$(printf '%s|' "$@")
  for _ in $(seq 10); do [ "$(rows | tr '\n' '|')" = "$wanted" ] && return; sleep 0.5; done
  expect_rows "$what" "$@"
}
# shoot NAME: saves the screen and checks that it shows more than a blank window.
shoot() {
  import -window root "$shots/$1.png"
  local colours
  colours=$(identify -format '%k' "$shots/$1.png")
  [ "$colours" -gt 8 ] || fail "screenshot $1 shows only $colours colours"
}
wait_window() {  # wait_window TITLE: the id of the visible X window with that title
  local found=
  for _ in $(seq 40); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$found" ] && break
    sleep 0.5
  done
  [ -n "$found" ] || fail "no window '$1'"
  echo "$found"
}

# --- input --------------------------------------------------------------------

click_at() {  # click_at X Y [BUTTON]
  xdotool mousemove "$1" "$2"; sleep 0.3
  xdotool click "${3:-1}"; sleep 0.8
}
click_row() { click_at $(row_point "$1") "${2:-1}"; }
# drag_row NAME TARGET: drags a row with the left button onto another row.
drag_row() {
  local from to
  read -r -a from <<<"$(row_point "$1")"
  read -r -a to <<<"$(row_point "$2")"
  xdotool mousemove "${from[0]}" "${from[1]}"; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((from[0] + (to[0] - from[0]) * i / 8)) $((from[1] + (to[1] - from[1]) * i / 8 + 1))
    sleep 0.2
  done
  xdotool mousemove "${to[0]}" "${to[1]}"; sleep 0.5
  xdotool mouseup 1; sleep 1.5
}

browse_pid=
# open [FOLDER]: starts quorvane-browse and waits for its window; sets $window.
open() {
  wine 'C:\quorvane\quorvane-browse.exe' --exit-after 120 ${1:+"$1"} >"$out/browse.log" 2>&1 &
  browse_pid=$!
  window=
  for _ in $(seq 60); do
    window=$(xdotool search --onlyvisible --name 'quorvane' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || fail "no quorvane-browse window for '${1:-}': $(tr -d '\r' <"$out/browse.log")"
  for _ in $(seq 20); do [ -n "$(list_mode)" ] && break; sleep 0.5; done
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
}
# close: closes quorvane-browse from its File menu and waits for it.
close() {
  xdotool key --window "$window" alt+F4 2>/dev/null || true
  for _ in $(seq 40); do kill -0 "$browse_pid" 2>/dev/null || break; sleep 0.5; done
  wait "$browse_pid" || fail "quorvane-browse ended with $?: $(tr -d '\r' <"$out/browse.log")"
}
attribute() {  # attribute FOLDER NAME: an attribute of a top-level folder in quorvane.xml
  sed -n "s/.*<folder name=.$1. [^>]*$2=.\\([^'\"]*\\)..*/\\1/p" "$xml" | head -1
}

# --- 1. a search folder over the bundled service --------------------------------

step "Reports lists the files the search service found, in report mode"
open Reports
shoot reports
expect_rows "Reports" \
  "Operations annual report.md" "Quarterly report Q1.txt" "Quarterly report Q2.txt" "Quarterly report Q3.txt" \
  "Quarterly report Q4.txt" "Research annual report.md" "Sales annual report.md" "Support annual report.md"
[ "$(list_mode)" = 1 ] || fail "Reports is not in report mode: $(list_mode)"

step "Delete on a result asks, and Enter sends the file to the trash"
victim="$sample/Work/Reports/Operations annual report.md"
click_row "Operations annual report.md"
xdotool key Delete; sleep 1.5
shoot delete-confirmation
[ -e "$victim" ] || fail "Delete removed $victim without asking"
xdotool key Return; sleep 2
shoot deleted
[ ! -e "$victim" ] || fail "Delete did not remove $victim"
[ -f "$XDG_DATA_HOME/Trash/files/Operations annual report.md" ] || fail "deleted file is not in the trash: $(find "$XDG_DATA_HOME" 2>/dev/null)"
wait_rows "after the delete" \
  "Quarterly report Q1.txt" "Quarterly report Q2.txt" "Quarterly report Q3.txt" "Quarterly report Q4.txt" \
  "Research annual report.md" "Sales annual report.md" "Support annual report.md"

step "\"Hide all 'md' files\" from a result's menu narrows the folder"
click_row "Sales annual report.md" 3
shoot result-menu
# Open, Move all .md files..., Hide all 'md' files, ...
xdotool key Down Down Down Return; sleep 2
shoot hidden
query=$(attribute Reports query)
[ "$query" = "report -filetype:md" ] || fail "the hide was not saved: query '$query': $(cat "$xml")"
wait_rows "after hiding md files" \
  "Quarterly report Q1.txt" "Quarterly report Q2.txt" "Quarterly report Q3.txt" "Quarterly report Q4.txt"

step "A report saved while the folder is open shows after a refresh, with no index command"
printf 'The fifth quarterly report.\r\n' >"$sample/Work/Reports/Quarterly report Q5.txt"
wanted="Quarterly report Q1.txt|Quarterly report Q2.txt|Quarterly report Q3.txt|Quarterly report Q4.txt|Quarterly report Q5.txt|"
for _ in $(seq 15); do
  sleep 1
  xdotool key F5
  sleep 0.5
  [ "$(rows | tr '\n' '|')" = "$wanted" ] && break
done
shoot saved-report
expect_rows "after saving a report" \
  "Quarterly report Q1.txt" "Quarterly report Q2.txt" "Quarterly report Q3.txt" "Quarterly report Q4.txt" \
  "Quarterly report Q5.txt"

step "The View menu and its keys change the view mode, which the folder keeps"
xdotool key ctrl+shift+3; sleep 1
[ "$(list_mode)" = 3 ] || fail "Ctrl+Shift+3 did not show a list: mode $(list_mode)"
[ "$(attribute Reports style)" = 3 ] || fail "list mode not saved: $(cat "$xml")"
shoot list-mode
xdotool key alt+v; sleep 0.8
shoot view-menu
xdotool key m; sleep 1
[ "$(list_mode)" = 2 ] || fail "View > Small Icons did not change the mode: $(list_mode)"
[ "$(attribute Reports style)" = 2 ] || fail "small icons not saved: $(cat "$xml")"
close

step "Deleting a result named in another script removes exactly that file"
open Memos
shoot memos
has_row() { rows | grep -qxF "$1"; }
for name in "日本語 memo.txt" "abc memo.txt" "Отчёт memo.txt" "emoji 😀 memo.txt" "x memo.txt"; do
  has_row "$name" || fail "Memos does not show '$name': $(rows | tr '\n' '|')"
done
click_row "日本語 memo.txt"
xdotool key Delete; sleep 1.5
xdotool key Return; sleep 2
shoot memos-deleted
[ ! -e "$sample/Home/Memos/日本語 memo.txt" ] || fail "the Japanese-named file was not deleted"
[ -f "$XDG_DATA_HOME/Trash/files/日本語 memo.txt" ] || fail "the deleted file is not in the trash: $(ls "$XDG_DATA_HOME/Trash/files")"
for other in "abc memo.txt" "Отчёт memo.txt" "zzzzz memo.txt"; do
  [ -f "$sample/Home/Memos/$other" ] || fail "deleting another file removed '$other'"
done

step "Deleting a result whose path is longer than MAX_PATH removes that file, not its 259-character namesake"
long_title=$(rows | grep '^x memo\.txtZ' | head -1) || true
[ -n "$long_title" ] || fail "Memos does not show the long-path file: $(rows | tr '\n' '|')"
click_row "$long_title"
xdotool key Delete; sleep 1.5
shoot long-path-question
xdotool key Return
for _ in $(seq 20); do [ -e "$long_file" ] || break; sleep 0.5; done
shoot long-path-deleted
[ ! -e "$long_file" ] || fail "the long-path file was not deleted"
[ -f "$long_namesake" ] || fail "deleting the long-path file removed its 259-character namesake"
close

# --- 2. the namespace root ------------------------------------------------------

step "The root lists the search folders; F2 renames one in place"
open
expect_rows "the root" "Memos" "Recipes" "Reports"
shoot root
click_row Recipes
xdotool key F2; sleep 1
xdotool type --delay 50 'Quarterly'
xdotool key Return; sleep 1
shoot renamed
grep -q "name=.Quarterly. query=.recipe." "$xml" || fail "rename not saved: $(cat "$xml")"
wait_rows "after the rename" "Memos" "Quarterly" "Reports"

step "New Folder from the background menu, named in place"
eval "$(xdotool getwindowgeometry --shell "$window")"
click_at $((X + 600)) $((Y + 500)) 3
shoot background-menu
xdotool key n; sleep 1.5
xdotool type --delay 50 'Invoices'
xdotool key Return; sleep 1
shoot new-folder
grep -q "name=.Invoices." "$xml" || fail "new folder not saved as Invoices: $(cat "$xml")"
wait_rows "after New Folder" "Invoices" "Memos" "Quarterly" "Reports"

step "Dragging a folder onto a sibling moves it there"
drag_row Invoices Reports
shoot dragged
grep -q "<folder name=.Reports.[^/]*>.*<folder name=.Invoices." <(tr -d '\n' <"$xml") ||
  fail "Invoices was not moved into Reports: $(cat "$xml")"
wait_rows "after the drag" "Memos" "Quarterly" "Reports"

step "The properties dialog applies a new search string"
click_row Quarterly 3
xdotool key p; sleep 1.5
dialog='Quarterly Properties'
wait_window "$dialog" >/dev/null
shoot properties
click_at $(control_point "$dialog" 106)
xdotool key ctrl+a; sleep 0.2
xdotool type --delay 30 'soup'
shoot properties-edited
click_at $(control_point "$dialog" 1)
sleep 1
[ "$(attribute Quarterly query)" = soup ] || fail "the new search string was not saved: $(cat "$xml")"
close
open Quarterly
shoot opened-quarterly
expect_rows "Quarterly with its new search string" "Lentil soup recipe.txt"
close

# --- 3. a file open dialog ----------------------------------------------------

step "A file open dialog shows a search folder; a result clicked there fills in its name"
wine 'C:\quorvane\e2e-probe.exe' open-dialog Reports >"$out/dialog.log" 2>&1 &
dialog_pid=$!
title='Open from quorvane'
wait_window "$title" >/dev/null
for _ in $(seq 20); do [ -n "$(rows "$title")" ] && break; sleep 0.5; done
shown=$(rows "$title" | tr '\n' '|')
[ "$shown" = "Invoices|Quarterly report Q1.txt|Quarterly report Q2.txt|Quarterly report Q3.txt|Quarterly report Q4.txt|Quarterly report Q5.txt|" ] ||
  fail "the dialog's view shows '$shown'"
click_at $(row_point "Quarterly report Q2.txt" "$title")
shoot open-dialog
probe controls "$title" | awk -F'\t' '$1 == "control" && $3 == "Edit" { print $6 }' | grep -qx "Quarterly report Q2.txt" ||
  fail "the dialog's file name does not follow the selection: $(probe controls "$title")"
# Wine's dialog opens only file system paths, so it cannot return the item picked
# in a virtual folder (Windows returns it); the dialog is cancelled here.
xdotool key Escape; sleep 1
for _ in $(seq 20); do kill -0 "$dialog_pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$dialog_pid" 2>/dev/null && { shoot open-dialog-stuck; fail "the dialog did not close"; }
wait "$dialog_pid" || fail "the dialog host ended with $?: $(tr -d '\r' <"$out/dialog.log")"
grep -q cancelled "$out/dialog.log" || fail "the dialog said '$(tr -d '\r' <"$out/dialog.log")'"

# --- 4. Wine's own file manager ------------------------------------------------

step "Wine's file manager shows the search folders by name in its tree and opens them from the tree and by double-click"
wine explorer.exe /n >"$out/explorer.log" 2>&1 &
explorer_pid=$!
# tree_nodes DEPTH: the names of the file manager's tree nodes at that depth, sorted, one a line.
tree_nodes() { probe tree | awk -F'\t' -v depth="$1" '$1 == "node" && $2 == depth { print $7 }' | sort; }
# tree_point NAME: "x y" of a node of the tree.
tree_point() {
  local point=
  for _ in $(seq 20); do
    point=$(probe tree | awk -F'\t' -v name="$1" '$1 == "node" && $7 == name { print $5, $6; exit }')
    [ -n "$point" ] && break
    sleep 0.5
  done
  [ -n "$point" ] || fail "no node '$1' in the file manager's tree: $(probe tree | cut -f2,7 | tr '\t\n' ' |')"
  echo "$point"
}
# location: the text of the file manager's address line.
location() { probe controls "$1" | awk -F'\t' '$1 == "control" && $3 == "Edit" { print $6; exit }'; }
click_at $(tree_point quorvane)
wait_window '^quorvane$' >/dev/null
wait_rows "the root in the file manager" "Memos" "Quarterly" "Reports"
xdotool key Right; sleep 1.5
shoot explorer-tree
shown=$(tree_nodes 2 | tr '\n' '|')
[ "$shown" = "Memos|Quarterly|Reports|" ] || fail "the file manager's tree shows '$shown' below quorvane"
click_at $(tree_point Reports)
wait_window '^Reports$' >/dev/null
wait_rows "Reports opened from the tree" "Invoices" "Quarterly report Q1.txt" "Quarterly report Q2.txt" \
  "Quarterly report Q3.txt" "Quarterly report Q4.txt" "Quarterly report Q5.txt"
[ "$(location Reports)" = Reports ] || fail "the address line shows '$(location Reports)' for Reports"
shoot explorer-reports
click_at $(tree_point quorvane)
wait_rows "the root again" "Memos" "Quarterly" "Reports"
read -r -a point <<<"$(row_point Quarterly)"
xdotool mousemove "${point[0]}" "${point[1]}"; sleep 0.3
xdotool click --repeat 2 --delay 80 1; sleep 1.5
wait_window '^Quarterly$' >/dev/null
wait_rows "Quarterly opened by a double-click in the same window" "Lentil soup recipe.txt"
[ "$(location Quarterly)" = Quarterly ] || fail "the address line shows '$(location Quarterly)' for Quarterly"
shoot explorer-double-click
explorer_window=$(wait_window '^Quarterly$')
xdotool key --window "$explorer_window" alt+F4 2>/dev/null || true
for _ in $(seq 20); do kill -0 "$explorer_pid" 2>/dev/null || break; sleep 0.5; done

echo "e2e passed; screenshots in $shots"
