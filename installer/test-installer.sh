#!/usr/bin/env bash
# Installs quorvane-setup.exe silently for all users and then for the current
# user in a Wine prefix of its own, checks the files, Start menu entries and
# registry entries each install makes and that its search folders open,
# uninstalls silently and checks that all of it is gone. Then: the two scopes
# side by side, each uninstalled while the other stays; an uninstall while an
# index pass runs; a user's own file in a folder chosen with /D=; with a
# display, the pages clicked through, with screenshots.
#   test-installer.sh SETUP.EXE
set -uo pipefail
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=$(dirname "$setup")/wineprefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"

folder_class=$(sed -n 's|^// \({[0-9A-F-]*}\)$|\1|p' "$root/src/common/ClassIds.h" | head -1)
sheet_class=$(sed -n 's|^// \({[0-9A-F-]*}\)$|\1|p' "$root/src/common/ClassIds.h" | sed -n 2p)
namespace_key='Software\Microsoft\Windows\CurrentVersion\Explorer\Desktop\NameSpace'
approved_key='Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvane'
failures=0

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# reg_has KEY [VALUE]: the key (or its named value) exists.
reg_has() {
  if [ $# -eq 2 ]; then wine reg query "$1" /v "$2" >/dev/null 2>&1; else wine reg query "$1" >/dev/null 2>&1; fi
}
expect_reg() { reg_has "$@" || fail "missing registry entry: $*"; }
expect_no_reg() { ! reg_has "$@" || fail "registry entry left behind: $*"; }
expect_reg_data() {  # KEY VALUE-NAME-OR-/ve TEXT
  local output
  if [ "$2" = /ve ]; then output=$(wine reg query "$1" /ve 2>/dev/null); else output=$(wine reg query "$1" /v "$2" 2>/dev/null); fi
  grep -qiF -- "$3" <<<"$output" || fail "$1 $2 does not hold $3: $output"
}
unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
windows_env() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
wait_until_gone() {  # the uninstaller runs from a copy in the temporary folder
  for _ in $(seq 120); do [ -e "$1" ] || return 0; sleep 1; done
  return 1
}
# The uninstall is over when its copy in the temporary folder has exited.
wait_for_uninstall() {
  for _ in $(seq 240); do pgrep -f 'Un_?A?\.exe|Au_\.exe' >/dev/null || return 0; sleep 0.5; done
  return 1
}
data_dir=
user_data() { [ -n "$data_dir" ] || data_dir=$(unix_path "$(windows_env LOCALAPPDATA)\\quorvane\\Search"); echo "$data_dir"; }
# open_folders DIR: the search folders open in the browse tool of an install.
open_folders() { wine "$1/quorvane-browse.exe" --exit-after 2 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# What Windows needs to open the folders of a per-user install, value by value:
# the classes and shell keys under HKCU, naming the install's own DLLs.
check_user_registration() {  # DIR_WIN
  local classes='HKCU\Software\Classes' clsid="HKCU\Software\Classes\CLSID\\$folder_class"
  expect_reg_data "$clsid" /ve quorvane
  expect_reg_data "$clsid\InprocServer32" /ve "$1\quorvane.dll"
  expect_reg_data "$clsid\InprocServer32" ThreadingModel Apartment
  expect_reg "$clsid\InprocServer32" LoadWithoutCOM
  expect_reg_data "$clsid\DefaultIcon" /ve "$1\quorvane.dll,0"
  expect_reg_data "$clsid\ShellFolder" Attributes REG_BINARY
  expect_reg "$clsid\ShellFolder" WantsFORPARSING
  expect_reg_data "$clsid\ShellEx\PropertySheetHandlers\FolderProperties" /ve "$sheet_class"
  expect_reg_data "$classes\CLSID\\$sheet_class\InprocServer32" /ve "$1\quorvane.dll"
  expect_reg_data "$classes\CLSID\\$sheet_class\InprocServer32" ThreadingModel Apartment
  expect_reg_data "HKCU\\$namespace_key\\$folder_class" /ve quorvane
  expect_reg_data "HKCU\\$approved_key" "$folder_class" quorvane
  local progid service_class
  for progid in GoogleDesktop.QueryAPI GoogleDesktop.Registrar GoogleDesktop.QueryRegistration; do
    service_class=$(wine reg query "$classes\\$progid\CLSID" /ve 2>/dev/null | tr -d '\r' | grep -o '{[0-9A-Fa-f-]*}')
    [ -n "$service_class" ] || { fail "user: $progid has no class"; continue; }
    expect_reg_data "$classes\CLSID\\$service_class\InprocServer32" /ve "$1\quorvane-search.dll"
    expect_reg_data "$classes\CLSID\\$service_class\InprocServer32" ThreadingModel Both
    expect_reg_data "$classes\CLSID\\$service_class\ProgID" /ve "$progid"
  done
}

check_scope() {  # all|user
  local scope=$1 switch classes explorer dir_win dir start_menu
  if [ "$scope" = all ]; then
    switch=/ALLUSERS classes='HKLM\Software\Classes' explorer=HKLM
    dir_win="$(windows_env ProgramW6432)\\quorvane"
    start_menu=$(unix_path "$(windows_env ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs\\quorvane")
  else
    switch=/CURRENTUSER classes='HKCU\Software\Classes' explorer=HKCU
    dir_win="$(windows_env LOCALAPPDATA)\\Programs\\quorvane"
    start_menu=$(unix_path "$(windows_env APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\quorvane")
  fi
  dir=$(unix_path "$dir_win")
  echo "== install for $scope users into $dir_win"

  wine "$setup" /S $switch || fail "$scope: the installer reported $?"
  for file in quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-indexw.exe quorvane-browse.exe uninstall.exe; do
    [ -f "$dir/$file" ] || fail "$scope: $file not installed"
  done
  expect_reg_data "$classes\\CLSID\\$folder_class\\InprocServer32" /ve "$dir_win\\quorvane.dll"
  expect_reg "$classes\\CLSID\\$folder_class\\ShellFolder" Attributes
  expect_reg "$classes\\CLSID\\$folder_class\\ShellEx\\PropertySheetHandlers\\FolderProperties"
  expect_reg_data "$explorer\\$namespace_key\\$folder_class" /ve quorvane
  expect_reg_data "$explorer\\$approved_key" "$folder_class" quorvane
  expect_reg_data "$classes\\GoogleDesktop.QueryAPI\\CLSID" /ve "{"
  # The index watcher starts at logon, from the windowless tool (no console):
  # the machine's entry, or the user's.
  expect_reg_data "$explorer\\Software\\Microsoft\\Windows\\CurrentVersion\\Run" "quorvane search watcher" "$dir_win\\quorvane-indexw.exe\" watch"
  expect_reg_data "$explorer\\$uninstall_key" UninstallString "$dir_win\\uninstall.exe"
  # The installing user's watcher runs from the install on, not from the next logon.
  local watcher=""
  for _ in $(seq 40); do
    watcher=$(wine "$dir/quorvane-index.exe" status 2>&1 | tr -d '\r' | grep '^Watcher:')
    case $watcher in "Watcher: running"*) break ;; esac
    sleep 0.5
  done
  case $watcher in "Watcher: running"*) echo "$scope: $watcher" ;; *) fail "$scope: the watcher did not start: $watcher" ;; esac
  if [ "$scope" = user ]; then
    # A silent install is the finish page's "Index my Documents and Desktop" ticked.
    wine "$dir/quorvane-index.exe" list 2>/dev/null | tr -d '\r' | grep -qixF "$(windows_env USERPROFILE)\\Documents" ||
      fail "user: Documents is not indexed: $(wine "$dir/quorvane-index.exe" list 2>&1)"
    expect_no_reg "HKLM\\$namespace_key\\$folder_class"
    expect_no_reg "HKLM\\Software\\Classes\\CLSID\\$folder_class"
  fi
  local shortcuts
  shortcuts=$(ls "$start_menu" 2>/dev/null | grep -c '\.lnk$')
  [ "$shortcuts" -ge 3 ] || fail "$scope: $shortcuts Start menu entries in $start_menu"
  # The indexing options window replaces the console entries.
  [ -e "$start_menu/Indexing options.lnk" ] || fail "$scope: no Indexing options entry in $start_menu: $(ls "$start_menu")"
  tr -d '\0' <"$start_menu/Indexing options.lnk" 2>/dev/null | grep -q 'quorvane-indexw\.exe' ||
    fail "$scope: Indexing options does not run the windowless tool"
  ls "$start_menu" | grep -qi -e 'update the search index' -e 'search index status' &&
    fail "$scope: a console entry is left in $start_menu: $(ls "$start_menu")"
  local opened status
  opened=$(open_folders "$dir"); status=$?
  if [ "$scope" = all ]; then
    # Nothing is indexed for anyone until they choose their folders.
    [ -z "$(ls "$start_menu" | grep -i 'index my documents')" ] || fail "all: a shared entry indexes a folder"
    wine "$dir/quorvane-index.exe" list 2>/dev/null | grep -q 'No folders are indexed' ||
      fail "all: the install chose folders to index: $(wine "$dir/quorvane-index.exe" list 2>&1)"
    [ $status -eq 0 ] || fail "all: the search folders do not open: $opened"
  elif [ $status -eq 0 ]; then
    echo "user: the search folders open"
  else
    # Wine reads COM classes from the machine's registry only, so a per-user
    # install's folders cannot open here; on Windows they do.
    echo "user: Wine ignores per-user COM classes, so the folders cannot open here ($opened);"
    echo "user: checking the registration Windows needs instead, value by value"
    check_user_registration "$dir_win"
  fi

  echo "== uninstall for $scope users"
  wine "$dir/uninstall.exe" /S || fail "$scope: the uninstaller reported $?"
  wait_until_gone "$dir" || fail "$scope: $dir still there: $(ls "$dir")"
  [ ! -e "$start_menu" ] || fail "$scope: Start menu folder left behind"
  expect_no_reg "$classes\\CLSID\\$folder_class"
  expect_no_reg "$explorer\\$namespace_key\\$folder_class"
  expect_no_reg "$explorer\\$approved_key" "$folder_class"
  expect_no_reg "$classes\\GoogleDesktop.QueryAPI"
  expect_no_reg "$explorer\\$uninstall_key"
}

# A run cut short leaves the user's data behind in the prefix; start without.
rm -rf "$(user_data)"
check_scope all
check_scope user

install() {  # SCOPE-SWITCH [ARGS...]
  wine "$setup" /S "$@" || fail "install $*: the installer reported $?"
}
uninstall() {  # DIR [ARGS...]
  local dir=$1; shift
  wine "$dir/uninstall.exe" /S "$@" || fail "uninstall $dir: the uninstaller reported $?"
  wait_until_gone "$dir/uninstall.exe" || fail "uninstall $dir: its uninstaller is still there"
  wait_for_uninstall
}
# index_only INDEX-EXE FOLDER: the install's default folder (under Wine the
# whole home folder) makes way for a small tree.
index_only() {
  local root
  # The passes here are the test's own: the watcher a per-user install started
  # ends first.
  wine "$1" stop >/dev/null 2>&1 || true
  wine "$1" list 2>/dev/null | tr -d '\r' | while IFS= read -r root; do
    case $root in "" | "No folders"*) ;; *) wine "$1" remove "$root" >/dev/null 2>&1 ;; esac
  done
  wine "$1" add "$2" >/dev/null 2>&1
}
all_dir=$(unix_path "$(windows_env ProgramW6432)\\quorvane")
user_dir_win="$(windows_env LOCALAPPDATA)\\Programs\\quorvane"
user_dir=$(unix_path "$user_dir_win")
docs_win='C:\qv-docs'
docs=$(unix_path "$docs_win")
mkdir -p "$docs" && printf 'marmalade on toast' >"$docs/breakfast.txt"

echo "== \"Index my Documents and Desktop\" unticked (/NODEFAULTFOLDERS): a search adds no folder"
rm -rf "$(user_data)"
install /ALLUSERS /NODEFAULTFOLDERS
folders_dir=$(unix_path "$(windows_env APPDATA)\\quorvane")
mkdir -p "$folders_dir"
printf "<root name='root'><folder name='Marmalade' query='marmalade' category='file' style='32768'/></root>" \
  >"$folders_dir/quorvane.xml"
searched=$(wine "$all_dir/quorvane-browse.exe" --exit-after 2 Marmalade 2>&1 | tr -d '\r')
grep -q "^shown" <<<"$searched" || fail "unticked: the search folder did not open: $searched"
status_text=$(wine "$all_dir/quorvane-index.exe" status 2>&1 | tr -d '\r')
grep -q 'Registered clients: [1-9]' <<<"$status_text" || fail "unticked: the search did not reach the service: $status_text"
grep -q 'Indexed folders: 0' <<<"$status_text" || fail "unticked: the search added folders: $status_text"
uninstall "$all_dir" /REMOVEDATA

echo "== both scopes side by side: uninstalling all-users keeps the per-user install and its data"
install /ALLUSERS
install /CURRENTUSER
index_only "$user_dir/quorvane-index.exe" "$docs_win"
wine "$user_dir/quorvane-index.exe" index >/dev/null 2>&1 || fail "isolation: the index pass failed"
[ -f "$(user_data)/index.db" ] || fail "isolation: no index was made"
uninstall "$all_dir" /REMOVEDATA
[ ! -e "$all_dir" ] || fail "isolation: the all-users folder is still there"
for file in quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-indexw.exe uninstall.exe; do
  [ -f "$user_dir/$file" ] || fail "isolation: the per-user $file went with the all-users install"
done
expect_reg_data "HKCU\Software\Classes\CLSID\\$folder_class\InprocServer32" /ve "$user_dir_win\quorvane.dll"
expect_reg_data "HKCU\Software\Classes\GoogleDesktop.QueryAPI\CLSID" /ve "{"
expect_reg "HKCU\\$uninstall_key" UninstallString
[ -f "$(user_data)/index.db" ] || fail "isolation: the per-user index went with the all-users install"
status_text=$(wine "$user_dir/quorvane-index.exe" status 2>&1 | tr -d '\r')
grep -qF "$docs_win" <<<"$status_text" || fail "isolation: the per-user indexed folders went: $status_text"
grep -q 'Files in the index: 1' <<<"$status_text" || fail "isolation: the per-user index lost its files: $status_text"
grep -q 'Registered clients: [1-9]' <<<"$status_text" || fail "isolation: the per-user client registration went: $status_text"

echo "== both scopes side by side: uninstalling per-user keeps the all-users install and the data it uses"
install /ALLUSERS
uninstall "$user_dir" /REMOVEDATA
[ ! -e "$user_dir" ] || fail "isolation: the per-user folder is still there"
for file in quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-indexw.exe uninstall.exe; do
  [ -f "$all_dir/$file" ] || fail "isolation: the all-users $file went with the per-user install"
done
expect_reg_data "HKLM\Software\Classes\CLSID\\$folder_class\InprocServer32" /ve "\quorvane.dll"
expect_reg_data "HKLM\Software\Classes\GoogleDesktop.QueryAPI\CLSID" /ve "{"
expect_reg "HKLM\\$uninstall_key" UninstallString
[ -f "$(user_data)/index.db" ] || fail "isolation: the index the all-users install uses went with the per-user one"
status_text=$(wine "$all_dir/quorvane-index.exe" status 2>&1 | tr -d '\r')
grep -qF "$docs_win" <<<"$status_text" || fail "isolation: the indexed folders went: $status_text"
# Alone now, asked to: the user's folders and index go with it.
uninstall "$all_dir" /REMOVEDATA
expect_no_reg "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run" "quorvane search watcher"
[ ! -e "$(user_data)" ] || fail "the data was not removed when asked: $(ls "$(user_data)")"

echo "== uninstall while an index pass runs"
install /CURRENTUSER
for n in $(seq 3000); do printf 'pass file %s with some words to index\n' "$n" >"$docs/pass-$n.txt"; done
index_only "$user_dir/quorvane-index.exe" "$docs_win"
wine "$user_dir/quorvane-index.exe" index >/dev/null 2>&1 &
pass=$!
for _ in $(seq 300); do [ -e "$(user_data)/index.lock" ] && break; sleep 0.1; done
[ -e "$(user_data)/index.lock" ] || echo "(the pass ended before the uninstall began)"
uninstall "$user_dir" /REMOVEDATA
wait $pass
if wine reg query "HKCU\\$uninstall_key" >/dev/null 2>&1; then
  # Kept for the restart that removes the rest.
  expect_reg "HKCU\Software\Microsoft\Windows\CurrentVersion\RunOnce" "quorvane uninstall"
else
  [ ! -e "$user_dir" ] || fail "pass: the install folder is still there: $(ls "$user_dir")"
  [ ! -e "$(user_data)/index.db" ] || fail "pass: the index with the documents' text is still there"
fi
rm -rf "$docs"

echo "== a user's own file in a folder chosen with /D="
custom_win='C:\qvcustom'
custom=$(unix_path "$custom_win")
mkdir -p "$custom" && printf 'my own notes' >"$custom/cookie"
install /CURRENTUSER "/D=$custom_win"
[ -f "$custom/quorvane.dll" ] || fail "/D=: not installed into $custom_win"
uninstall "$custom"
[ "$(cat "$custom/cookie" 2>/dev/null)" = 'my own notes' ] || fail "/D=: the user's file named cookie was removed or changed"
for file in quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-indexw.exe quorvane-browse.exe uninstall.exe; do
  [ ! -e "$custom/$file" ] || fail "/D=: $file left behind"
done
rm -rf "$custom"

# The pages, clicked through as a user would, when there is a display (the
# test command runs on its own): screenshots in build/installer/screenshots.
shots=$(dirname "$setup")/screenshots
setup_window() {  # the id of the visible installer or uninstaller window
  local id
  for _ in $(seq 60); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}
shoot() { import -window root "$shots/$1.png" 2>/dev/null || fail "screenshot $1 could not be saved"; }
page() {  # page NAME KEYS...: a screenshot, then the keys
  local name=$1; shift
  sleep 1.5; shoot "$name"
  [ $# -gt 0 ] && xdotool key "$@"
}
if [ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null && command -v import >/dev/null; then
  echo "== the installer's pages, clicked through (screenshots in $shots)"
  rm -rf "$shots"; mkdir -p "$shots"
  # For everyone: Wine opens the search folders from the machine's classes only.
  wine "$setup" /ALLUSERS &
  shown=$!
  if window=$(setup_window "quorvane Setup"); then
    xdotool windowactivate "$window" 2>/dev/null || true
    page 1-welcome Return
    page 2-scope Return
    page 3-folder Return
    for _ in $(seq 120); do [ -f "$all_dir/uninstall.exe" ] && break; sleep 0.5; done
    sleep 3
    page 4-progress Return
    # Both options checked; "Open the search folders" is left out here, so
    # nothing stays open after the test.
    page 5-finish Tab space
    page 6-finish-chosen Return
    wait $shown || fail "pages: the installer reported $?"
    watcher=$(wine "$all_dir/quorvane-index.exe" status 2>&1 | tr -d '\r' | grep '^Watcher:')
    case $watcher in "Watcher: running"*) ;; *) fail "pages: the watcher did not start: $watcher" ;; esac
    folders=$(wine "$all_dir/quorvane-index.exe" list 2>&1 | tr -d '\r')
    grep -q 'No folders' <<<"$folders" && fail "pages: \"Index my Documents and Desktop\" indexed nothing"
    # With the search folders open, the uninstaller asks to close them first.
    wine "$all_dir/quorvane-browse.exe" >/dev/null 2>&1 &
    browse=$!
    sleep 3
    wine "$all_dir/uninstall.exe" &
    if window=$(setup_window "quorvane Uninstall"); then
      page 7-uninstall Return
      page 8-close-windows
      # The question is a second window of the uninstaller's; Abort (its
      # default) removes nothing while the search folders are open.
      asked=$(xdotool search --onlyvisible --name "quorvane Uninstall" 2>/dev/null | wc -l)
      [ "$asked" -ge 2 ] || fail "pages: the uninstaller did not ask to close the search folders"
      xdotool key Return
      sleep 2
      [ -f "$all_dir/quorvane.dll" ] || fail "pages: the uninstall went on with the search folders open"
    else
      fail "pages: the uninstaller's window did not show"
    fi
    kill "$browse" 2>/dev/null; wait "$browse" 2>/dev/null
  else
    fail "pages: the installer's window did not show"
    kill "$shown" 2>/dev/null
  fi
  wine "$all_dir/quorvane-index.exe" stop >/dev/null 2>&1
  [ -f "$all_dir/uninstall.exe" ] && uninstall "$all_dir" /REMOVEDATA
fi
wineserver -k >/dev/null 2>&1
[ $failures -eq 0 ] && echo "installer: all checks passed"
exit $((failures > 0))
