#!/usr/bin/env bash
# Fails when a built binary imports anything but Windows system DLLs (the runtime
# must be linked statically).
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|uxtheme|rpcrt4|ws2_32|bcrypt|crypt32|ntdll|urlmon|propsys)\.dll$'
status=0
for binary in "$@"; do
  while read -r name; do
    if ! [[ "${name,,}" =~ $allowed ]]; then
      echo "$binary imports $name, which is not a Windows system DLL"
      status=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done
[ $status -eq 0 ] && echo "imports: only Windows system DLLs in $*"
exit $status
