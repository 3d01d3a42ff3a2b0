; Tovira's installer, one per target mode. Built by scripts/release:
;   makensis -DVERSION=<a.b.c.d> -DMODE=2 -DTARGET=Quorandel -DLABEL=クオランデル -DPROGRAM=<Tovira.exe>
;            -DHELP_PAGE=<ToviraHelp.html> -DPUBLISHER=<maker> -DHELP_LINK=<address> -DOUTFILE=<setup.exe> tovira.nsi
; Installs Tovira.exe and its help page under Program Files (or the folder of
; /D=, remembered for the next install), a Start-menu entry and a start at logon
; for every user, then starts Tovira for the logged-on user. /S installs silently.
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

Section "Tovira"
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
  WriteRegStr HKLM "${RUN_KEY}" "Tovira" '"$INSTDIR\Tovira.exe"'
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
SectionEnd

; Tovira starts again for the user at the desktop, not elevated: the shell (the
; user's own Explorer) starts it, as a double-click would. Started by this elevated
; installer, it would run as administrator and its block would be closed to the
; target applications.
Function .onInstSuccess
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tovira.exe"'
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Call un.EndRunningTovira
  Delete "$INSTDIR\Tovira.exe"
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
