; The quorvane installer: the search folders (quorvane.dll), the bundled desktop
; search service (quorvane-search.dll), its index tool and the browse tool.
;
;   quorvane-setup.exe [/S] [/ALLUSERS | /CURRENTUSER] [/NODEFAULTFOLDERS] [/D=folder]
;   uninstall.exe [/S] [/REMOVEDATA]
;
; Each user's search folders live in %APPDATA%\quorvane\quorvane.xml (with the
; search service's cookie beside it); a quorvane.xml installed beside the DLL only
; seeds a user's first document. They are removed only with /REMOVEDATA (or when
; asked on the uninstall page).
;
; For all users it installs under Program Files and registers as regsvr32 does
; (administrator rights needed); for the current user it installs under the
; user's local application data and registers with "regsvr32 /n /i:user", which
; needs no administrator rights. Without either switch an administrator installs
; for all users and anyone else for themselves.
;
; Pages: welcome, "Only for me" or "For everyone on this computer", the folder,
; progress, and a finish page whose "Index my Documents and Desktop" indexes the
; installing user's folders and "Open the search folders" opens them. Unticked
; (or /NODEFAULTFOLDERS, which also unticks it), the choice is kept: the search
; service does not add those folders at the user's first search either. The
; installing user's index watcher starts at once.
;
; Each user's search folders and search index are theirs: a silent install for
; all users indexes nothing by itself, and an uninstall removes them only when asked
; (the check box on its page, or /REMOVEDATA) and only when no install of the
; other scope still uses them. It removes the files it installed and nothing
; else of the folder, waits for a running index pass first, and what is still in
; use goes at the next restart, with the uninstall entry kept until then.
;
; The index tool comes twice: quorvane-index.exe, the console program, and
; quorvane-indexw.exe, its windowless twin, which the Start menu's Indexing
; options and the watcher's logon entries run (no console appears).
;
; makensis defines: QV_VERSION, QV_OUTFILE, QV_DLL, QV_SEARCH_DLL, QV_INDEX_EXE,
; QV_INDEXW_EXE, QV_BROWSE_EXE, QV_HELP_PAGE, QV_ICON and, for the 32-bit copies, QV_X86_DLL and QV_X86_SEARCH_DLL (optional).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel highest

!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include MUI2.nsh

; The progress list holds lines in words: what each step does, and a failure.
; The commands' own lines (the programs they run, each file and shortcut) are
; left out.
!macro Say Text
  SetDetailsPrint listonly
  DetailPrint "${Text}"
  SetDetailsPrint none
!macroend

!define PRODUCT "quorvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quorvane"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define WATCHER_VALUE "quorvane search watcher"
!define PROFILES_KEY "SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList"
; Where each user's data lives, below the user's profile folders.
!define SEARCH_DATA "quorvane\Search"
!define FOLDER_DATA "quorvane"
; How long an uninstall waits for a running index pass, in half seconds.
!define INDEX_WAIT 240

Name "${PRODUCT}"
OutFile "${QV_OUTFILE}"
InstallDir ""
ShowInstDetails show
ShowUninstDetails show

Var AllUsers   ; 1 when installed for every user of the machine
Var Regsvr32   ; the 64-bit regsvr32
Var Regsvr32x86
Var RemoveData     ; 1 when the uninstall removes the user's folders and index
Var OtherScope     ; 1 when an install of the other scope is there as well
Var OtherDir       ; its folder
Var KeptCookie     ; 1 when the install folder held a file named cookie before
Var RemoveDataBox
Var DirectoryGiven ; 1 when /D= chose the folder
Var ForMeButton
Var NoDefaultFolders ; 1 when /NODEFAULTFOLDERS was given
Var ForEveryoneButton

!define MUI_ICON "${QV_ICON}"
!define MUI_UNICON "${QV_ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TITLE "Welcome to quorvane"
!define MUI_WELCOMEPAGE_TEXT "quorvane adds search folders to Explorer: each one is a saved search that lists the files it finds, kept up to date while you work.$\r$\n$\r$\nThis installs the search folders, the search service that indexes your files, and its tools. Your files are only read, never changed.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
Page custom ScopePage ScopePageLeave
!insertmacro MUI_PAGE_DIRECTORY
; The progress list stays until the user goes on.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "quorvane is installed"
!define MUI_FINISHPAGE_TEXT "The search folders are under quorvane on the desktop, in Explorer and in file dialogs. The index fills in the background."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Index my Documents and Desktop"
!define MUI_FINISHPAGE_RUN_FUNCTION IndexMyFolders
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the search folders"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION OpenSearchFolders
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FinishPageLeave
!insertmacro MUI_PAGE_FINISH

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE un.CloseSearchFolderWindows
!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.DataPage un.DataPageLeave
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

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

!macro DefaultDirectory
  ${If} $AllUsers == 1
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
  ${Else}
    StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
  ${EndIf}
!macroend

; Registers or unregisters one DLL in the chosen scope; $0 is the exit code.
; The progress list says what happens, in words, and names a failure.
!macro RunRegsvr32 Program Switches Dll What
  !insertmacro Say "${What}"
  ${If} $AllUsers == 1
    ExecWait '"${Program}" /s ${Switches} "${Dll}"' $0
  ${Else}
    ExecWait '"${Program}" /s ${Switches} /n /i:user "${Dll}"' $0
  ${EndIf}
  ${If} $0 != 0
    !insertmacro Say "  That did not succeed (regsvr32 ended with $0)."
  ${EndIf}
!macroend

; The installing user's Documents and Desktop join the index; the watcher
; indexes them in the background.
Function IndexMyFolders
  SetShellVarContext current
  !insertmacro Say "Indexing your Documents and Desktop folders"
  nsExec::Exec '"$INSTDIR\quorvane-index.exe" add "$DOCUMENTS"'
  Pop $1
  nsExec::Exec '"$INSTDIR\quorvane-index.exe" add "$DESKTOP"'
  Pop $1
  !insertmacro UseScope
FunctionEnd

; "Index my Documents and Desktop" unticked: the installing user chose their
; folders, so the service does not add Documents and Desktop at the first
; search.
Function KeepMyFoldersUnchosen
  nsExec::Exec '"$INSTDIR\quorvane-index.exe" no-default-folders'
  Pop $1
FunctionEnd

Function FinishPageShow
  ${If} $NoDefaultFolders == 1
    ${NSD_Uncheck} $mui.FinishPage.Run
  ${EndIf}
FunctionEnd

; Runs before the page's own handling of its boxes.
Function FinishPageLeave
  ${NSD_GetState} $mui.FinishPage.Run $0
  ${If} $0 != ${BST_CHECKED}
    Call KeepMyFoldersUnchosen
  ${EndIf}
FunctionEnd

Function OpenSearchFolders
  Exec '"$INSTDIR\quorvane-browse.exe"'
FunctionEnd

; Only for me, or for everyone on this computer (administrators only). The
; folder follows the choice unless /D= named one.
Function ScopePage
  !insertmacro MUI_HEADER_TEXT "Choose who uses quorvane" "Install quorvane for yourself alone, or for everyone who uses this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 0 100% 12u "Only for me"
  Pop $ForMeButton
  ${NSD_CreateLabel} 12u 14u 95% 20u "Installs into your own application folder. No administrator rights are needed, and other users of this computer do not see quorvane."
  Pop $0
  ${NSD_CreateRadioButton} 0 42u 100% 12u "For everyone on this computer"
  Pop $ForEveryoneButton
  ${NSD_CreateLabel} 12u 56u 95% 28u "Installs into Program Files for every user. Needs administrator rights. Each user still has search folders and an index of their own."
  Pop $0
  UserInfo::GetAccountType
  Pop $1
  ${If} $1 != "Admin"
    EnableWindow $ForEveryoneButton 0
    ${NSD_CreateLabel} 12u 88u 95% 20u "Run the installer as an administrator to install for everyone."
    Pop $0
  ${EndIf}
  ${If} $AllUsers == 1
    ${NSD_Check} $ForEveryoneButton
  ${Else}
    ${NSD_Check} $ForMeButton
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ScopePageLeave
  ${NSD_GetState} $ForEveryoneButton $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  !insertmacro UseScope
  ${If} $DirectoryGiven != 1
    !insertmacro DefaultDirectory
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro ChooseScope
  StrCpy $NoDefaultFolders 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NODEFAULTFOLDERS" $R1
  ${IfNot} ${Errors}
    StrCpy $NoDefaultFolders 1
  ${EndIf}
  !insertmacro UseScope
  StrCpy $DirectoryGiven 1
  ${If} $INSTDIR == ""
    StrCpy $DirectoryGiven 0
    !insertmacro DefaultDirectory
  ${EndIf}
FunctionEnd

Section "quorvane"
  SetDetailsPrint none
  ; A file of this name in a folder chosen with /D= is the user's own.
  ; Installed again over itself, the first install's answer holds.
  StrCpy $KeptCookie 0
  ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    ReadRegDWORD $R1 SHCTX "${UNINSTALL_KEY}" "KeptCookie"
    ${If} $R1 == 1
      StrCpy $KeptCookie 1
    ${EndIf}
  ${ElseIf} ${FileExists} "$INSTDIR\cookie"
    StrCpy $KeptCookie 1
  ${EndIf}
  ; The progress list says in words what is copied, not each file's path.
  !insertmacro Say "Copying quorvane into $INSTDIR"
  SetOutPath "$INSTDIR"
  File "/oname=quorvane.dll" "${QV_DLL}"
  File "/oname=quorvane-search.dll" "${QV_SEARCH_DLL}"
  File "/oname=quorvane-index.exe" "${QV_INDEX_EXE}"
  File "/oname=quorvane-indexw.exe" "${QV_INDEXW_EXE}"
  File "/oname=quorvane-browse.exe" "${QV_BROWSE_EXE}"
  File "/oname=quorvane-help.htm" "${QV_HELP_PAGE}"
  !ifdef QV_X86_DLL
    SetOutPath "$INSTDIR\x86"
    File "/oname=quorvane.dll" "${QV_X86_DLL}"
    File "/oname=quorvane-search.dll" "${QV_X86_SEARCH_DLL}"
    SetOutPath "$INSTDIR"
  !endif
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The search service first, so the folders find it when they register with it.
  !insertmacro RunRegsvr32 $Regsvr32 "" "$INSTDIR\quorvane-search.dll" "Setting up the search service"
  !insertmacro RunRegsvr32 $Regsvr32 "" "$INSTDIR\quorvane.dll" "Adding the search folders to Explorer"
  ${If} $0 != 0
    !insertmacro Say "The search folders could not be added to Explorer."
    SetErrorLevel 3
  ${EndIf}
  !ifdef QV_X86_DLL
    ${If} ${FileExists} "$Regsvr32x86"
      !insertmacro RunRegsvr32 $Regsvr32x86 "" "$INSTDIR\x86\quorvane-search.dll" "Setting up the search service for 32-bit programs"
      !insertmacro RunRegsvr32 $Regsvr32x86 "" "$INSTDIR\x86\quorvane.dll" "Adding the search folders to the file dialogs of 32-bit programs"
    ${EndIf}
  !endif
  ; Each user's index watcher starts at logon. A per-user registration writes
  ; its own entry (and starts the watcher); for all users the machine's entry
  ; starts one watcher in every user's session.
  ${If} $AllUsers == 1
    WriteRegStr HKLM "${RUN_KEY}" "${WATCHER_VALUE}" '"$INSTDIR\quorvane-indexw.exe" watch'
  ${EndIf}
  ; The installing user's watcher starts now, not at the next logon (a
  ; per-user registration has started it already; a second start ends at once).
  !insertmacro Say "Starting the index watcher"
  Exec '"$INSTDIR\quorvane-indexw.exe" watch'
  ; Which folders are indexed is the finish page's choice. A silent install
  ; for the current user indexes that user's Documents and Desktop, as the
  ; page would; one for all users chooses nothing for anyone (each user's
  ; first search adds theirs). /NODEFAULTFOLDERS is the box unticked.
  ${If} ${Silent}
    ${If} $NoDefaultFolders == 1
      Call KeepMyFoldersUnchosen
    ${ElseIf} $AllUsers != 1
      Call IndexMyFolders
    ${EndIf}
  ${EndIf}

  !insertmacro Say "Adding quorvane to the Start menu"
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\quorvane search folders.lnk" "$INSTDIR\quorvane-browse.exe"
  ; The console entries of earlier versions gave way to the options window.
  Delete "$SMPROGRAMS\${PRODUCT}\Update the search index.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Search index status.lnk"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Indexing options.lnk" "$INSTDIR\quorvane-indexw.exe" "options" \
    "$INSTDIR\quorvane-indexw.exe" 0
  ${If} $AllUsers != 1
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Index my documents.lnk" "$INSTDIR\quorvane-indexw.exe" \
      'add "$DOCUMENTS"'
  ${EndIf}
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
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "KeptCookie" $KeptCookie
  ; Left from an uninstall that waited for a restart.
  DeleteRegValue SHCTX "${RUNONCE_KEY}" "quorvane uninstall"
  SetDetailsPrint both
SectionEnd

Function un.onInit
  ; The scope it was installed in: the uninstall entry that names this folder.
  ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == $INSTDIR
    StrCpy $AllUsers 0
    ReadRegStr $R1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Else}
    StrCpy $AllUsers 1
    StrCpy $R1 $R0
  ${EndIf}
  ; The other scope's install shares this user's data.
  StrCpy $OtherScope 0
  ${If} $R1 != ""
  ${AndIf} $R1 != $INSTDIR
  ${AndIf} ${FileExists} "$R1\quorvane.dll"
    StrCpy $OtherScope 1
    StrCpy $OtherDir $R1
  ${EndIf}
  StrCpy $RemoveData 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEDATA" $R2
  ${IfNot} ${Errors}
    StrCpy $RemoveData 1
  ${EndIf}
  !insertmacro UseScope
FunctionEnd

; Before anything is removed: windows that show search folders hold
; quorvane.dll (Explorer windows on quorvane, the search folders window, file
; dialogs of other programs). The user is asked to close them; what stays open
; is removed at the next restart.
Function un.CloseSearchFolderWindows
  ${Do}
    StrCpy $1 0
    FindWindow $0 "quorvaneBrowseWindow"
    ${If} $0 != 0
      StrCpy $1 1
    ${EndIf}
    ; A DLL a program has loaded cannot be opened for writing.
    ${If} ${FileExists} "$INSTDIR\quorvane.dll"
      ClearErrors
      FileOpen $2 "$INSTDIR\quorvane.dll" a
      ${If} ${Errors}
        StrCpy $1 1
      ${Else}
        FileClose $2
      ${EndIf}
    ${EndIf}
    ${If} $1 == 0
      ${Break}
    ${EndIf}
    MessageBox MB_ABORTRETRYIGNORE|MB_ICONEXCLAMATION "Search folders are open in a window.$\r$\n$\r$\nClose every window that shows them (Explorer windows on quorvane, the quorvane search folders window, and file dialogs that show them), then click Retry.$\r$\n$\r$\nIgnore goes on: what those windows hold is removed at the next restart." /SD IDIGNORE IDRETRY retry IDIGNORE ignore
    Quit
    retry:
  ${Loop}
  ignore:
FunctionEnd

Function un.DataPage
  nsDialogs::Create 1018
  Pop $0
  ${If} $AllUsers == 1
    ${NSD_CreateLabel} 0 0 100% 36u "Search folders and search indexes belong to each user and stay unless you remove them here. They hold the names and text of the indexed documents."
    Pop $0
    ${NSD_CreateCheckbox} 0 44u 100% 12u "Also remove every user's search folders and search index"
  ${Else}
    ${NSD_CreateLabel} 0 0 100% 36u "Your search folders and your search index stay unless you remove them here. The index holds the names and text of your indexed documents."
    Pop $0
    ${NSD_CreateCheckbox} 0 44u 100% 12u "Also remove my search folders and my search index"
  ${EndIf}
  Pop $RemoveDataBox
  ${If} $RemoveData == 1
    ${NSD_Check} $RemoveDataBox
  ${EndIf}
  ${If} $OtherScope == 1
    ${NSD_CreateLabel} 0 64u 100% 24u "quorvane is also installed in the other scope (for all users, or for you alone), which uses them: they stay while it is installed."
    Pop $0
    EnableWindow $RemoveDataBox 0
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.DataPageLeave
  ${NSD_GetState} $RemoveDataBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemoveData 1
  ${Else}
    StrCpy $RemoveData 0
  ${EndIf}
FunctionEnd

; Waits while a lock file in the data folder ($0) is held: an index pass, or the
; watcher, runs. A lock file nobody holds is removed on the way.
Function un.WaitForIndexing
  StrCpy $1 0
  ${Do}
    ClearErrors
    FindFirst $2 $3 "$0\*.lock"
    ${If} ${Errors}
      ${Break}
    ${EndIf}
    StrCpy $4 0
    ${Do}
      ${If} $3 == ""
        ${Break}
      ${EndIf}
      ClearErrors
      Delete "$0\$3"
      ${If} ${FileExists} "$0\$3"
        StrCpy $4 1
      ${EndIf}
      FindNext $2 $3
    ${Loop}
    FindClose $2
    ${If} $4 == 0
      ${Break}
    ${EndIf}
    ${If} $1 == 0
      !insertmacro Say "Waiting for the running index pass to finish..."
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 >= ${INDEX_WAIT}
      !insertmacro Say "The index pass is still running; what it holds is removed at the next restart."
      ${Break}
    ${EndIf}
    Sleep 500
  ${Loop}
FunctionEnd

; Removes one user's search folders and search index: $0 the local, $1 the
; roaming application data folder of that user.
Function un.RemoveUserData
  RMDir /r /REBOOTOK "$0\${SEARCH_DATA}"
  RMDir "$0\${FOLDER_DATA}"
  Delete /REBOOTOK "$1\${FOLDER_DATA}\quorvane.xml"
  Delete /REBOOTOK "$1\${FOLDER_DATA}\cookie"
  RMDir "$1\${FOLDER_DATA}"
FunctionEnd

; For all users: every profile's data, except where that user has an install of
; their own (its uninstall entry, when their settings are loaded, or the default
; per-user folder) that still uses it.
Function un.RemoveEveryUsersData
  StrCpy $5 0
  ${Do}
    EnumRegKey $6 HKLM "${PROFILES_KEY}" $5
    ${If} $6 == ""
      ${Break}
    ${EndIf}
    IntOp $5 $5 + 1
    ReadRegStr $7 HKLM "${PROFILES_KEY}\$6" "ProfileImagePath"
    ExpandEnvStrings $7 $7
    ${If} $7 == ""
      ${Continue}
    ${EndIf}
    ReadRegStr $8 HKU "$6\${UNINSTALL_KEY}" "InstallLocation"
    ${If} $8 != ""
    ${OrIf} ${FileExists} "$7\AppData\Local\Programs\${PRODUCT}\uninstall.exe"
      ${Continue}
    ${EndIf}
    StrCpy $0 "$7\AppData\Local"
    StrCpy $1 "$7\AppData\Roaming"
    Call un.RemoveUserData
  ${Loop}
FunctionEnd

Section "Uninstall"
  SetDetailsPrint none
  ; An index pass writes the index and runs the index tool from this folder:
  ; both are removed once it has finished.
  SetShellVarContext current
  ; This user's watcher ends cleanly first; it would hold the index open.
  !insertmacro Say "Stopping the index watcher"
  nsExec::Exec '"$INSTDIR\quorvane-index.exe" stop'
  Pop $1
  ${If} $AllUsers == 1
    DeleteRegValue HKLM "${RUN_KEY}" "${WATCHER_VALUE}"
  ${EndIf}
  StrCpy $0 "$LOCALAPPDATA\${SEARCH_DATA}"
  Call un.WaitForIndexing
  !insertmacro UseScope

  !insertmacro RunRegsvr32 $Regsvr32 "/u" "$INSTDIR\quorvane.dll" "Removing the search folders from Explorer"
  ; Unregistering took the folders' registration with this user's search
  ; service, which the other install shares: it registers again, in its scope,
  ; while this install's service can still take the registration.
  ${If} $OtherScope == 1
    ${If} $AllUsers == 1
      ExecWait '"$Regsvr32" /s /n /i:user "$OtherDir\quorvane.dll"' $0
    ${Else}
      ExecWait '"$Regsvr32" /s "$OtherDir\quorvane.dll"' $0
    ${EndIf}
    ${If} $0 != 0
      !insertmacro Say "  The other install's search folders could not register again (regsvr32 ended with $0)."
    ${EndIf}
  ${EndIf}
  !insertmacro RunRegsvr32 $Regsvr32 "/u" "$INSTDIR\quorvane-search.dll" "Removing the search service"
  ${If} ${FileExists} "$INSTDIR\x86\quorvane.dll"
  ${AndIf} ${FileExists} "$Regsvr32x86"
    !insertmacro RunRegsvr32 $Regsvr32x86 "/u" "$INSTDIR\x86\quorvane.dll" "Removing the search folders from 32-bit programs"
    !insertmacro RunRegsvr32 $Regsvr32x86 "/u" "$INSTDIR\x86\quorvane-search.dll" "Removing the search service for 32-bit programs"
  ${EndIf}

  !insertmacro Say "Removing quorvane from the Start menu"
  Delete "$SMPROGRAMS\${PRODUCT}\quorvane search folders.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Indexing options.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Index my documents.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall quorvane.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  ; Only the files the install put here: a folder chosen with /D= may hold the
  ; user's own. What is in use (a DLL Explorer has loaded, the index tool of a
  ; pass that did not finish) goes at the next restart.
  !insertmacro Say "Removing the files from $INSTDIR"
  Delete /REBOOTOK "$INSTDIR\quorvane.dll"
  Delete /REBOOTOK "$INSTDIR\quorvane-search.dll"
  Delete /REBOOTOK "$INSTDIR\x86\quorvane.dll"
  Delete /REBOOTOK "$INSTDIR\x86\quorvane-search.dll"
  Delete /REBOOTOK "$INSTDIR\quorvane-index.exe"
  Delete /REBOOTOK "$INSTDIR\quorvane-indexw.exe"
  Delete /REBOOTOK "$INSTDIR\quorvane-browse.exe"
  Delete /REBOOTOK "$INSTDIR\quorvane-help.htm"
  ; The registration cookie the folders kept beside the DLL, unless the folder
  ; held a file of that name before the install.
  ReadRegDWORD $R0 SHCTX "${UNINSTALL_KEY}" "KeptCookie"
  ${If} $R0 != 1
    Delete /REBOOTOK "$INSTDIR\cookie"
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x86"
  RMDir /REBOOTOK "$INSTDIR"

  ${If} $RemoveData == 1
    ${If} $OtherScope == 1
      !insertmacro Say "The search folders and index stay: quorvane is also installed in the other scope."
    ${Else}
      ${If} $AllUsers == 1
        Call un.RemoveEveryUsersData
      ${EndIf}
      SetShellVarContext current
      StrCpy $0 "$LOCALAPPDATA"
      StrCpy $1 "$APPDATA"
      Call un.RemoveUserData
      ; Folder definitions kept beside the DLL by earlier versions.
      Delete /REBOOTOK "$INSTDIR\quorvane.xml"
      RMDir /REBOOTOK "$INSTDIR"
      !insertmacro UseScope
    ${EndIf}
  ${EndIf}

  ${If} ${RebootFlag}
    ; The entry stays until the restart has removed the rest.
    ${If} $AllUsers == 1
      WriteRegStr SHCTX "${RUNONCE_KEY}" "quorvane uninstall" '"$SYSDIR\reg.exe" delete "HKLM\${UNINSTALL_KEY}" /f'
    ${Else}
      WriteRegStr SHCTX "${RUNONCE_KEY}" "quorvane uninstall" '"$SYSDIR\reg.exe" delete "HKCU\${UNINSTALL_KEY}" /f'
    ${EndIf}
    !insertmacro Say "Some files are in use; they are removed at the next restart."
  ${Else}
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${EndIf}
  SetDetailsPrint both
SectionEnd
