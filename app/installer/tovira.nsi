; Tovira's installer, one per target mode. Built by scripts/release:
;   makensis -DVERSION=<a.b.c.d> -DMODE=2 -DTARGET=Quorandel -DLABEL=クオランデル -DPROGRAM=<Tovira.exe>
;            -DHELP_PAGE=<ToviraHelp.html> -DPUBLISHER=<maker> -DHELP_LINK=<address> -DOUTFILE=<setup.exe> tovira.nsi
; Installs Tovira.exe and its help page under Program Files (or the folder of
; /D=, remembered for the next install), a Start-menu entry and a start at logon
; for every user (a choice on the components page, checked unless
; /NOSTARTATLOGON), then starts Tovira for the logged-on user (never for the
; system's account or outside a user's session: it then starts at the next logon).
; /S installs silently. Over another target's install it asks first; silent, it
; replaces that one only with /REPLACETARGET, else leaves it and exits with code 3.
; An install over an earlier one replaces the program and keeps every user's
; settings; a program file that cannot be replaced fails the install (exit code 2).
; The uninstaller ends a running
; Tovira in order (its window closed: settings saved, block released), then
; removes what was installed; the current user's settings go only when asked
; (a question, or /REMOVESETTINGS when silent).

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file times in the installer: the same commit gives the same bytes.
SetDateSave off

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "Sections.nsh"

; VERSION comes from the command line: scripts/release passes CMake's project version.
!ifndef VERSION
  !error "VERSION is not defined: build the installers with scripts/release"
!endif
!ifndef HELP_PAGE
  !error "HELP_PAGE is not defined: build the installers with scripts/release"
!endif
!ifndef PUBLISHER
  !define PUBLISHER "brelkin"
!endif
!ifndef HELP_LINK
  !define HELP_LINK "$INSTDIR\ToviraHelp.html"
!endif
!define PRODUCT "トヴィラ"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tovira"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define WINDOW_CLASS "ToviraMainWindow"
; Closing the window may wait for a device search (30 s) and the link (3 s).
!define CLOSE_WAIT_MS 40000
; A Tovira just started shows its window within a few seconds (20 tries, 500 ms apart).
!define START_RETRIES 20

; A test build may pretend to run in another session or as the system's account
; (see ReadSessionFacts); a published installer never does.
!ifdef TEST_SESSION | TEST_LOCAL_SYSTEM
  !warning "a test build: the installer's session and account are forced"
!endif

Var StartToviraNow  ; 1 when the install may start Tovira at its end

Name "${PRODUCT}（${LABEL}用）"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tovira"
; An upgrade goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "Tovira"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT}（${LABEL}用）セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" ""

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; Ends a Tovira running on this desktop the way its own exit does: the window is
; closed, which saves the settings and releases the block; then waits for the
; process, so that its file can be replaced or removed.
!macro EndRunningTovira un
Function ${un}EndRunningTovira
  FindWindow $0 "${WINDOW_CLASS}" ""
  ${If} $0 = 0
    Return
  ${EndIf}
  DetailPrint "${PRODUCT} を終了しています..."
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r1)'
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${CLOSE_WAIT_MS}
  ${If} $2 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS})'
    System::Call 'kernel32::CloseHandle(p r2)'
  ${EndIf}
FunctionEnd
!macroend
!insertmacro EndRunningTovira ""
!insertmacro EndRunningTovira "un."

; A folder of the user's choice gets the rights of Program Files: only the system
; and administrators may change what starts at every user's logon.
Function ProtectCustomFolder
  ${If} "$INSTDIR" == "$PROGRAMFILES64\Tovira"
    Return
  ${EndIf}
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX *S-1-15-2-1:(OI)(CI)RX'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR のアクセス権を設定できません。インストールを中止します。" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
FunctionEnd

; The installer's session ($1) and whether it runs as the system's account
; ($2 = 1). What cannot be asked counts as the case that starts nothing: session
; 0, the system's account.
Function ReadSessionFacts
  StrCpy $1 0
  StrCpy $2 1
  System::Call 'kernel32::GetCurrentProcessId() i .r3'
  System::Call 'kernel32::ProcessIdToSessionId(i r3, *i 0 r1) i .r4'
  ${If} $4 = 0
    StrCpy $1 0
  ${EndIf}
  ; The token's user: TOKEN_QUERY (8) on this process, TokenUser (1), whose SID
  ; comes first; WinLocalSystemSid (22) is S-1-5-18.
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p 0 r3) i .r4'
  ${If} $4 <> 0
    System::Alloc 256
    Pop $5
    System::Call 'advapi32::GetTokenInformation(p r3, i 1, p r5, i 256, *i 0) i .r4'
    ${If} $4 <> 0
      System::Call '*$5(p .r6)'
      System::Call 'advapi32::IsWellKnownSid(p r6, i 22) i .r4'
      ${If} $4 = 0
        StrCpy $2 0
      ${EndIf}
    ${EndIf}
    System::Free $5
    System::Call 'kernel32::CloseHandle(p r3)'
  ${EndIf}
  !ifdef TEST_SESSION
    StrCpy $1 ${TEST_SESSION}
  !endif
  !ifdef TEST_LOCAL_SYSTEM
    StrCpy $2 ${TEST_LOCAL_SYSTEM}
  !endif
FunctionEnd

; Tovira is started only for a user at their own desktop. A deployment tool runs
; installers as the system's account or in session 0, where only services run and
; no user ever logs on: Tovira started from there would run as that account, out
; of sight, and could hold the switch's port away from the user's own Tovira. The
; logon start brings it up for the user instead. The exit code stays 0: the
; install is complete, and any other code is a failure (or a restart) to the
; tools that run installers this way.
Function DecideStartOfTovira
  Call ReadSessionFacts
  ${If} $1 = 0
  ${OrIf} $2 = 1
    StrCpy $StartToviraNow 0
    DetailPrint "ユーザーのデスクトップではないため、${PRODUCT} は次のログオン時に起動します。"
  ${Else}
    StrCpy $StartToviraNow 1
  ${EndIf}
FunctionEnd

; A file that cannot be replaced (Tovira running in another user's session, say)
; fails the install, with the installer's exit code 2, also when silent.
!macro InstallFile source name
  ClearErrors
  File "/oname=${name}" "${source}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\${name} を置き換えられません。ほかのユーザーがトヴィラを使っていないか確かめてから、もう一度インストールしてください。" /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
!macroend

; Hidden: the components page shows only the choices.
Section "-Tovira"
  SetShellVarContext all
  SetRegView 64
  Call EndRunningTovira
  CreateDirectory "$INSTDIR"
  Call ProtectCustomFolder
  SetOutPath "$INSTDIR"
  SetOverwrite try
  !insertmacro InstallFile "${PROGRAM}" "Tovira.exe"
  !insertmacro InstallFile "${HELP_PAGE}" "ToviraHelp.html"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Tovira.exe"
  ; An earlier install's logon start goes unless this one is asked for again.
  DeleteRegValue HKLM "${RUN_KEY}" "Tovira"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}（${LABEL}用）"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Tovira.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "TargetMode" "${MODE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "${HELP_LINK}"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  Call DecideStartOfTovira
SectionEnd

Section "ログオン時にトヴィラを起動する" SecStartAtLogon
  SetRegView 64
  WriteRegStr HKLM "${RUN_KEY}" "Tovira" '"$INSTDIR\Tovira.exe"'
SectionEnd

; Another target's Tovira installed: replacing it changes which program the
; switch drives, so it is never done unasked. Exit code 3 when it is left alone.
Function AskBeforeReplacingTarget
  SetRegView 64
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "TargetMode"
  ${If} $0 == ""
  ${OrIf} $0 == "${MODE}"
    Return
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/REPLACETARGET" $2
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ${IfNot} ${Silent}
    ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "DisplayName"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$3 がインストールされています。${PRODUCT}（${LABEL}用）に置き換えますか？" IDNO keep
    Return
    keep:
  ${EndIf}
  SetErrorLevel 3
  Quit
FunctionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOSTARTATLOGON" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecStartAtLogon}
  ${EndIf}
  Call AskBeforeReplacingTarget
FunctionEnd

; Tovira starts again for the user at the desktop, not elevated: the shell (the
; user's own Explorer) starts it, as a double-click would. Started by this elevated
; installer, it would run as administrator and its block would be closed to the
; target applications.
Function .onInstSuccess
  ${If} $StartToviraNow = 1
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tovira.exe"'
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Call un.EndRunningTovira
  ; A Tovira still starting has no window to close yet and holds its file: it is
  ; closed like any other once its window is there.
  StrCpy $3 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\Tovira.exe"
    ${IfNot} ${Errors}
    ${OrIf} $3 >= ${START_RETRIES}
      ${Break}
    ${EndIf}
    IntOp $3 $3 + 1
    Sleep 500
    Call un.EndRunningTovira
  ${Loop}
  Delete "$INSTDIR\ToviraHelp.html"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "Tovira"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The settings are the user's: removed only when asked.
  SetShellVarContext current
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${If} ${Errors}
    ${IfNot} ${Silent}
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "設定ファイルも削除しますか？" IDNO keep
      RMDir /r "$APPDATA\brelkin\Tovira"
      RMDir "$APPDATA\brelkin"
      keep:
    ${EndIf}
  ${Else}
    RMDir /r "$APPDATA\brelkin\Tovira"
    RMDir "$APPDATA\brelkin"
  ${EndIf}
SectionEnd
