#!/usr/bin/env bash
# Installs quorvane-setup.exe silently for all users and then for the current
# user in a Wine prefix of its own, checks the files, Start menu entries and
# registry entries each install makes, uninstalls silently and checks that all
# of it is gone.   test-installer.sh SETUP.EXE
set -uo pipefail
setup=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=$(dirname "$setup")/wineprefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"

folder_class=$(sed -n 's|^// \({[0-9A-F-]*}\)$|\1|p' "$root/src/module/ClassIds.h" | head -1)
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
  for file in quorvane.dll quorvane-search.dll quorvane-index.exe quorvane-browse.exe uninstall.exe; do
    [ -f "$dir/$file" ] || fail "$scope: $file not installed"
  done
  expect_reg_data "$classes\\CLSID\\$folder_class\\InprocServer32" /ve "$dir_win\\quorvane.dll"
  expect_reg "$classes\\CLSID\\$folder_class\\ShellFolder" Attributes
  expect_reg "$classes\\CLSID\\$folder_class\\ShellEx\\PropertySheetHandlers\\FolderProperties"
  expect_reg_data "$explorer\\$namespace_key\\$folder_class" /ve quorvane
  expect_reg_data "$explorer\\$approved_key" "$folder_class" quorvane
  expect_reg_data "$classes\\GoogleDesktop.QueryAPI\\CLSID" /ve "{"
  expect_reg_data "$explorer\\$uninstall_key" UninstallString "$dir_win\\uninstall.exe"
  if [ "$scope" = user ]; then
    expect_no_reg "HKLM\\$namespace_key\\$folder_class"
    expect_no_reg "HKLM\\Software\\Classes\\CLSID\\$folder_class"
  fi
  local shortcuts
  shortcuts=$(ls "$start_menu" 2>/dev/null | grep -c '\.lnk$')
  [ "$shortcuts" -ge 4 ] || fail "$scope: $shortcuts Start menu entries in $start_menu"

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

check_scope all
check_scope user
wineserver -k >/dev/null 2>&1
[ $failures -eq 0 ] && echo "installer: all checks passed"
exit $((failures > 0))
