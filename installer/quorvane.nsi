; The quorvane installer: the search folders (quorvane.dll), the bundled desktop
; search service (quorvane-search.dll), its index tool and the browse tool.
;
;   quorvane-setup.exe [/S] [/ALLUSERS | /CURRENTUSER] [/D=folder]
;   uninstall.exe [/S] [/REMOVEMYFOLDERS]
;
; Each user's search folders live in %APPDATA%\quorvane\quorvane.xml (with the
; search service's cookie beside it); a quorvane.xml installed beside the DLL only
; seeds a user's first document. The uninstaller leaves users' folders alone
; unless /REMOVEMYFOLDERS asks it to remove the current user's.
;
; For all users it installs under Program Files and registers as regsvr32 does
; (administrator rights needed); for the current user it installs under the
; user's local application data and registers with "regsvr32 /n /i:user", which
; needs no administrator rights. Without either switch an administrator installs
; for all users and anyone else for themselves.
;
; makensis defines: QV_VERSION, QV_OUTFILE, QV_DLL, QV_SEARCH_DLL, QV_INDEX_EXE,
; QV_BROWSE_EXE, QV_ICON and, for the 32-bit copies, QV_X86_DLL and QV_X86_SEARCH_DLL (optional).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest

!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "quorvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvane"

Name "${PRODUCT}"
OutFile "${QV_OUTFILE}"
Icon "${QV_ICON}"
UninstallIcon "${QV_ICON}"
InstallDir ""
ShowInstDetails show
ShowUninstDetails show

Var AllUsers   ; 1 when installed for every user of the machine
Var Regsvr32   ; the 64-bit regsvr32
Var Regsvr32x86

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!macro ChooseScope
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${Else}
    ClearErrors
    ${GetOptions} $R0 "/CURRENTUSER" $R1
    ${IfNot} ${Errors}
      StrCpy $AllUsers 0
    ${Else}
      UserInfo::GetAccountType
      Pop $R1
      ${If} $R1 == "Admin"
        StrCpy $AllUsers 1
      ${Else}
        StrCpy $AllUsers 0
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

!macro UseScope
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  StrCpy $Regsvr32 "$WINDIR\System32\regsvr32.exe"
  StrCpy $Regsvr32x86 "$WINDIR\SysWOW64\regsvr32.exe"
!macroend

; Registers or unregisters one DLL in the chosen scope; $0 is the exit code.
!macro RunRegsvr32 Program Switches Dll
  ${If} $AllUsers == 1
    ExecWait '"${Program}" /s ${Switches} "${Dll}"' $0
  ${Else}
    ExecWait '"${Program}" /s ${Switches} /n /i:user "${Dll}"' $0
  ${EndIf}
  DetailPrint "regsvr32 ${Switches} ${Dll}: $0"
!macroend

Function .onInit
  !insertmacro ChooseScope
  !insertmacro UseScope
  ${If} $INSTDIR == ""
    ${If} $AllUsers == 1
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "quorvane"
  SetOutPath "$INSTDIR"
  File "/oname=quorvane.dll" "${QV_DLL}"
  File "/oname=quorvane-search.dll" "${QV_SEARCH_DLL}"
  File "/oname=quorvane-index.exe" "${QV_INDEX_EXE}"
  File "/oname=quorvane-browse.exe" "${QV_BROWSE_EXE}"
  !ifdef QV_X86_DLL
    SetOutPath "$INSTDIR\x86"
    File "/oname=quorvane.dll" "${QV_X86_DLL}"
    File "/oname=quorvane-search.dll" "${QV_X86_SEARCH_DLL}"
    SetOutPath "$INSTDIR"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The search service first, so the folders find it when they register with it.
  !insertmacro RunRegsvr32 $Regsvr32 "" "$INSTDIR\quorvane-search.dll"
  !insertmacro RunRegsvr32 $Regsvr32 "" "$INSTDIR\quorvane.dll"
  ${If} $0 != 0
    DetailPrint "quorvane.dll could not be registered"
    SetErrorLevel 3
  ${EndIf}
  !ifdef QV_X86_DLL
    ${If} ${FileExists} "$Regsvr32x86"
      !insertmacro RunRegsvr32 $Regsvr32x86 "" "$INSTDIR\x86\quorvane-search.dll"
      !insertmacro RunRegsvr32 $Regsvr32x86 "" "$INSTDIR\x86\quorvane.dll"
    ${EndIf}
  !endif
  DetailPrint "Each user's search folders are saved in %APPDATA%\${PRODUCT}\quorvane.xml"
  ; The user's documents are indexed until they choose other folders.
  nsExec::Exec '"$INSTDIR\quorvane-index.exe" add "$DOCUMENTS"'
  Pop $1

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\quorvane search folders.lnk" "$INSTDIR\quorvane-browse.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Update the search index.lnk" "$INSTDIR\quorvane-index.exe" "index"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Search index status.lnk" "$SYSDIR\cmd.exe" \
    '/k ""$INSTDIR\quorvane-index.exe" status"'
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Index my documents.lnk" "$INSTDIR\quorvane-index.exe" \
    'add "$DOCUMENTS"'
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall quorvane.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "quorvane search folders"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${QV_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "quorvane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvane.dll,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "AllUsers" $AllUsers
SectionEnd

Function un.onInit
  ; The scope it was installed in: the uninstall entry that names this folder.
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    StrCpy $AllUsers 0
  ${Else}
    StrCpy $AllUsers 1
  ${EndIf}
  !insertmacro UseScope
FunctionEnd

Section "Uninstall"
  !insertmacro RunRegsvr32 $Regsvr32 "/u" "$INSTDIR\quorvane.dll"
  !insertmacro RunRegsvr32 $Regsvr32 "/u" "$INSTDIR\quorvane-search.dll"
  ${If} ${FileExists} "$INSTDIR\x86\quorvane.dll"
  ${AndIf} ${FileExists} "$Regsvr32x86"
    !insertmacro RunRegsvr32 $Regsvr32x86 "/u" "$INSTDIR\x86\quorvane.dll"
    !insertmacro RunRegsvr32 $Regsvr32x86 "/u" "$INSTDIR\x86\quorvane-search.dll"
  ${EndIf}

  Delete "$SMPROGRAMS\${PRODUCT}\*.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; A DLL that Explorer still has loaded goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\quorvane.dll"
  Delete /REBOOTOK "$INSTDIR\quorvane-search.dll"
  Delete /REBOOTOK "$INSTDIR\x86\quorvane.dll"
  Delete /REBOOTOK "$INSTDIR\x86\quorvane-search.dll"
  Delete "$INSTDIR\quorvane-index.exe"
  Delete "$INSTDIR\quorvane-browse.exe"
  ; Example folders installed beside the DLL, and files older versions kept there.
  Delete "$INSTDIR\quorvane.xml"
  Delete "$INSTDIR\cookie"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x86"
  RMDir /REBOOTOK "$INSTDIR"

  ; The current user's search index and service data.
  SetShellVarContext current
  ; The user's own search folders stay unless asked for.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEMYFOLDERS" $R1
  ${IfNot} ${Errors}
    Delete "$APPDATA\${PRODUCT}\quorvane.xml"
    Delete "$APPDATA\${PRODUCT}\cookie"
    RMDir "$APPDATA\${PRODUCT}"
  ${Else}
    DetailPrint "Your search folders are kept in $APPDATA\${PRODUCT}\quorvane.xml"
  ${EndIf}
  RMDir /r "$LOCALAPPDATA\quorvane\Search"
  RMDir "$LOCALAPPDATA\quorvane"
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${EndIf}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
