; Tolvarin's installer, per machine. tools/release.sh builds it with makensis and these defines:
;   VERSION        the product's version, x.y.z (CMakeLists.txt's project())
;   OUTFILE        the installer to write
;   EXE            Varnolet.exe
;   HELPER         TolvarinHelper.exe, which makes the security decisions and runs the uninstaller
;                  for Add/Remove Programs (installer/commands/helper_command.h)
;   SERVER_FILES   the server's trees as macros (installer/nsis/package.py files)
;   SUPPORT_DIR    the folder holding the three serial-port support files
;   ICON           the application's icon
;   NOTICES        THIRD-PARTY-NOTICES.txt, the notices of the code of others in the programs
;   SIGN           (optional) a command that signs the file named after it in place
; Exit statuses, for deployment tools (installer/README.txt lists them, and the helper's, for
; administrators):
;   Setup              0 installed, 1 cancelled in the wizard, 2 stopped before changing anything,
;                      3 stopped part-way, 5 /LOG= names a file not safe to write (nothing
;                      changed), 32 files to replace in use (nothing changed), 740 not elevated
;   the uninstaller    0 removed, 1 cancelled, 3 not all removed, 6 a folder it deletes from is
;                      not safe (nothing removed), 740 not elevated, 3010 finished at restart
; /LOG=FILE (before /D=) appends what the helper found and why Setup stopped to FILE (UTF-16LE),
; through the helper alone, which refuses a FILE behind a link or of another account.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; The installed files keep the times they were given at build time.
SetDateSave on
; A file that cannot be written stops Setup: by default a silent Setup answers its own error with
; Ignore, skips the file and reports success.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show

!include FileFunc.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include MUI2.nsh
!include "${SERVER_FILES}"

!define PRODUCT "Tolvarin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The launcher reads the support files from this fixed folder.
!define QUARVEL "C:\quarvel"
!define SUPPORT "${QUARVEL}\GsmModemJar"
!define DEFAULT_DIR "$PROGRAMFILES\Quarvel\${PRODUCT}"
!define STOPPED_UNCHANGED 2
!define STOPPED_PART_WAY 3
!define LOG_REFUSED 5
!define IN_USE 32  ; ERROR_SHARING_VIOLATION
!define FOLDER_REFUSED 6  ; the uninstall: a folder it deletes from is not safe
!define RESTART_TO_FINISH 3010  ; ERROR_SUCCESS_REBOOT_REQUIRED
; What Setup did to the Java runtime that Varnolet.exe will use, and what the user must do.
!define RUNTIME_LOG "$INSTDIR\Setup.log"
!define PREPARE_SHORTCUT "$SMPROGRAMS\Prepare Java for ${PRODUCT}.lnk"

Var RuntimeReport
Var LogFile     ; /LOG=
Var HelperLog   ; the helper's --log option for it, or nothing
Var RemoveQuarvel  ; the uninstall: 1 when C:\quarvel was there and judged, so it is deleted from
Var RemoveSupport  ; the same for its GsmModemJar

Name "${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${DEFAULT_DIR}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

VIProductVersion ${VERSION}.0
VIFileVersion ${VERSION}.0
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 CompanyName "quarvel "
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 LegalCopyright "quarvel "

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. The notices of the code of others in it are in $INSTDIR\THIRD-PARTY-NOTICES.txt.$\r$\n$\r$\n$RuntimeReport"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP "${PRODUCT} is installed for all users: run this as an administrator." /SD IDOK
    SetErrorLevel 740  ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  SetShellVarContext all
!macroend

; Appends a line to /LOG= through the helper, which judged the file before anything changed:
; Setup, running as an administrator, never opens it itself. Quotes escaped for its command line.
!macro LOG_LINE text
  ${If} $LogFile != ""
    ${WordReplace} "${text}" '"' '\"' "+" $9
    nsExec::Exec `"$PLUGINSDIR\TolvarinHelper.exe" $HelperLog note "$9"`
    Pop $9
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REQUIRE_ADMIN
  InitPluginsDir
  File "/oname=$PLUGINSDIR\TolvarinHelper.exe" "${HELPER}"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/LOG=" $LogFile
  StrCpy $HelperLog ""
  ${If} $LogFile != ""
    StrCpy $HelperLog `--log "$LogFile" `
    ; A log behind a link, or a file someone else made, is refused before anything changes.
    nsExec::ExecToStack `"$PLUGINSDIR\TolvarinHelper.exe" $HelperLog note "${PRODUCT} ${VERSION} Setup"`
    Pop $0
    Pop $1
    ${If} $0 != 0
      MessageBox MB_ICONSTOP "$1" /SD IDOK
      SetErrorLevel ${LOG_REFUSED}
      Quit
    ${EndIf}
  ${EndIf}
  ; NSIS drops a /D= it cannot use and installs into the default folder instead, reporting
  ; success: the folder given must be the one Setup uses. (NSIS cuts /D= off $CMDLINE, so the
  ; process's own command line is read.)
  System::Call 'kernel32::GetCommandLineW() w .r0'
  ClearErrors
  ${WordFind} "$0" " /D=" "E+1}" $1
  ${IfNot} ${Errors}
    ${Do}
      StrCpy $2 $1 1 -1
      ${IfThen} $2 != "\" ${|} ${ExitDo} ${|}
      StrCpy $1 $1 -1
    ${Loop}
    ${If} $1 != $INSTDIR
      StrCpy $1 "$1 is not a folder Setup can install into: give an absolute path on a local drive, such as C:\Apps\${PRODUCT}. Nothing was changed."
      !insertmacro LOG_LINE $1
      MessageBox MB_ICONSTOP $1 /SD IDOK
      SetErrorLevel ${STOPPED_UNCHANGED}
      Quit
    ${EndIf}
  ${EndIf}
  ; The Windows Installer package's install (installer/msi/tolvarin.wxs writes this value): the
  ; two never manage one machine at once.
  ReadRegStr $0 HKLM "Software\Quarvel\Tolvarin" "InstallFolder"
  ${If} $0 != ""
    StrCpy $1 "Tolvarin is installed from its Windows Installer package in $0. Nothing was changed: remove that install first (Add/Remove Programs, or msiexec /x), then run this setup program."
    !insertmacro LOG_LINE $1
    MessageBox MB_ICONSTOP $1 /SD IDOK
    SetErrorLevel ${STOPPED_UNCHANGED}
    Quit
  ${EndIf}
FunctionEnd

; The uninstall deletes by path, as an administrator, and hands paths to the next restart: only
; in the install folder, C:\quarvel and C:\quarvel\GsmModemJar, and only once the helper has
; judged each as Setup judges a folder it keeps (no link, an administrator's, nobody else able to
; change it or what it holds). Whether each exists is read first: one that appears after that is
; never touched, one that appears before the judgment is judged. Nothing is removed otherwise.
Function un.onInit
  !insertmacro REQUIRE_ADMIN
  InitPluginsDir
  File "/oname=$PLUGINSDIR\TolvarinHelper.exe" "${HELPER}"
  StrCpy $0 `"$INSTDIR"`
  StrCpy $RemoveQuarvel ""
  StrCpy $RemoveSupport ""
  ${If} ${FileExists} "${QUARVEL}\*.*"
    StrCpy $RemoveQuarvel 1
    StrCpy $0 `$0 "${QUARVEL}"`
  ${EndIf}
  ${If} ${FileExists} "${SUPPORT}\*.*"
    StrCpy $RemoveSupport 1
    StrCpy $0 `$0 "${SUPPORT}"`
  ${EndIf}
  nsExec::ExecToStack `"$PLUGINSDIR\TolvarinHelper.exe" check-folder $0`
  Pop $0
  Pop $1
  ${If} $0 != 0
    MessageBox MB_ICONSTOP "$1$\r$\nNothing was removed." /SD IDOK
    SetErrorLevel ${FOLDER_REFUSED}
    Quit
  ${EndIf}
FunctionEnd

; Says why Setup stops (in a box only when it is not silent) and stops with exit status `status`.
!macro STOP status text
  DetailPrint "${text}"
  !insertmacro LOG_LINE "${text}"
  MessageBox MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel ${status}
  Abort
!macroend

; Runs a TolvarinHelper command; what it finds goes into the details (and /LOG=).
!macro RUN_HELPER arguments
  nsExec::ExecToLog `"$PLUGINSDIR\TolvarinHelper.exe" $HelperLog${arguments}`
  Pop $0
!macroend

; A check before anything changes. `status`: Setup's exit status should the command refuse.
!macro HELPER status arguments
  !insertmacro RUN_HELPER `${arguments}`
  ${If} $0 == ${IN_USE}
    !insertmacro STOP ${IN_USE} "Files that Setup must replace are in use (listed above). Nothing was changed."
  ${ElseIf} $0 != 0
    !insertmacro STOP ${status} "Setup stopped: the lines above say why (status $0)."
  ${EndIf}
!macroend

; A step that changes things: any failure stops Setup part-way.
!macro HELPER_CHANGING arguments
  !insertmacro RUN_HELPER `${arguments}`
  ${If} $0 != 0
    !insertmacro STOP ${STOPPED_PART_WAY} "Setup stopped part-way: the lines above say why (status $0)."
  ${EndIf}
!macroend

; Whether the files `arguments` names (a folder, then names in it) can be replaced.
!macro CHECK_REPLACEABLE arguments
  !insertmacro HELPER ${STOPPED_UNCHANGED} `check-replaceable ${arguments}`
!macroend

; Written under a new name, then put in place by PLACE (installer/commands/place_file.h):
; whatever handle anyone kept to the folder, and whatever the name held, the file that ends up
; there is one Setup wrote, and nobody else can change it.
!macro FRESH_FILE name source
  File "/oname=${name}.tolvarin-new" "${source}"
!macroend

; Puts the files FRESH_FILE wrote in place: a folder, then names in it.
!macro PLACE arguments
  !insertmacro HELPER_CHANGING `place ${arguments}`
!macroend

; The Java runtime that Varnolet.exe will choose gets the support files it lacks now, while Setup
; runs elevated: a runtime lives where only administrators may write, so a user's first launch
; could not copy them. TolvarinHelper does it by the launcher's own rule and code. Its failure
; does not stop Setup (a runtime may be installed later): what the user must do goes into the
; details, the last page and Setup.log, never into a box. Statuses 0 and 10 to 13 come with a
; new Setup.log; any other means there is none, and the old one is gone already.
!macro PREPARE_RUNTIME
  ClearErrors
  Delete "${RUNTIME_LOG}"
  ${If} ${Errors}
    !insertmacro STOP ${STOPPED_PART_WAY} "Cannot replace ${RUNTIME_LOG}."
  ${EndIf}
  !insertmacro RUN_HELPER `prepare-runtime "${RUNTIME_LOG}"`
  StrCpy $RuntimeReport ""
  ClearErrors
  ${If} $0 = 0
  ${OrIf} $0 = 10
  ${OrIf} $0 = 11
  ${OrIf} $0 = 12
  ${OrIf} $0 = 13
    FileOpen $1 "${RUNTIME_LOG}" r
  ${Else}
    SetErrors
  ${EndIf}
  ${IfNot} ${Errors}
    FileSeek $1 2  ; past the byte-order mark
    ${Do}
      FileReadUTF16LE $1 $2
      ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
      StrCpy $RuntimeReport "$RuntimeReport$2"
    ${Loop}
    FileClose $1
  ${EndIf}
  ${If} $RuntimeReport == ""
    StrCpy $RuntimeReport "Setup could not record what it did to the Java runtime (status $0): the details say what it found. Run $\"Prepare Java for Tolvarin$\" from the Start menu, or run Setup again."
    DetailPrint $RuntimeReport
    !insertmacro LOG_LINE $RuntimeReport
  ${EndIf}
  ClearErrors
!macroend

; Only administrators may put files into C:\quarvel (whatever lies in GsmModemJar is copied into
; a Java runtime and loaded by it) and into the install folder (run by whoever starts it), so
; TolvarinHelper makes each with that list in the call that creates it, or keeps an existing one
; only when it and everything in it are real and an administrator's. Everything is checked
; before anything changes.
Section "${PRODUCT}"
  SectionIn RO
  !insertmacro HELPER ${STOPPED_UNCHANGED} `check-folder "${QUARVEL}" "${SUPPORT}" "$INSTDIR"`
  ; An existing folder holding anything but the install the machine records belongs to
  ; something else: its access list is not Setup's to change. (A file's name proves nothing.)
  ${DirState} "$INSTDIR" $0
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 = 1
  ${AndIf} $1 != $INSTDIR
    !insertmacro STOP ${STOPPED_UNCHANGED} "$INSTDIR already holds other files: choose a new or empty folder."
  ${EndIf}
  !insertmacro CHECK_REPLACEABLE `"${SUPPORT}" Comm.jar javax.comm.properties Win32com.dll`
  !insertmacro CHECK_REPLACEABLE `"$INSTDIR" Varnolet.exe TolvarinHelper.exe Uninstall.exe`
  !insertmacro CHECK_REPLACEABLE `"$INSTDIR" THIRD-PARTY-NOTICES.txt`
  !insertmacro CHECK_SERVER_FILES

  SetErrorLevel ${STOPPED_PART_WAY}
  !insertmacro HELPER_CHANGING `protect-folder "${QUARVEL}" "${SUPPORT}" "$INSTDIR"`
  SetOutPath "${SUPPORT}"
  !insertmacro FRESH_FILE Comm.jar "${SUPPORT_DIR}/Comm.jar"
  !insertmacro FRESH_FILE javax.comm.properties "${SUPPORT_DIR}/javax.comm.properties"
  !insertmacro FRESH_FILE Win32com.dll "${SUPPORT_DIR}/Win32com.dll"
  !insertmacro PLACE `"${SUPPORT}" Comm.jar javax.comm.properties Win32com.dll`
  !insertmacro INSTALL_SERVER_FILES
  SetOutPath "$INSTDIR"
  !insertmacro FRESH_FILE Varnolet.exe "${EXE}"
  !insertmacro FRESH_FILE TolvarinHelper.exe "${HELPER}"
  ClearErrors
  WriteUninstaller "$INSTDIR\Uninstall.exe.tolvarin-new"
  ${If} ${Errors}
    !insertmacro STOP ${STOPPED_PART_WAY} "Cannot write $INSTDIR\Uninstall.exe."
  ${EndIf}
  !insertmacro PLACE `"$INSTDIR" Varnolet.exe TolvarinHelper.exe Uninstall.exe`
  !insertmacro FRESH_FILE THIRD-PARTY-NOTICES.txt "${NOTICES}"
  !insertmacro PLACE `"$INSTDIR" THIRD-PARTY-NOTICES.txt`
  ; The folders protect-folder made or kept are no longer held once it has ended: judged again,
  ; each through a handle opened without following a link, now that everything is written.
  !insertmacro HELPER_CHANGING `check-folder "${QUARVEL}" "${SUPPORT}" "$INSTDIR"`
  ; The shortcut's working directory is the output path. The second prepares a Java runtime
  ; installed later, elevated, without running the SMS server as an administrator.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Varnolet.exe" "" "$INSTDIR\Varnolet.exe" 0
  CreateShortcut "${PREPARE_SHORTCUT}" "$INSTDIR\TolvarinHelper.exe" `prepare-runtime "${RUNTIME_LOG}"` "$INSTDIR\Varnolet.exe" 0
  ${If} ${Errors}
    !insertmacro STOP ${STOPPED_PART_WAY} "Cannot write the Start-menu shortcuts."
  ${EndIf}

  !insertmacro PREPARE_RUNTIME

  ; Last: the entry says the install is complete.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "quarvel "
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Varnolet.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; Through TolvarinHelper, which ends when the uninstaller has, with its exit status
  ; (installer/commands/uninstall.h); Uninstall.exe alone starts a copy of itself and ends at
  ; once, with 0.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\TolvarinHelper.exe" uninstall'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\TolvarinHelper.exe" uninstall /S'
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    !insertmacro STOP ${STOPPED_PART_WAY} "Cannot write the Add/Remove Programs entry."
  ${EndIf}
  SetErrorLevel 0
SectionEnd

!macro REMOVE_FOLDERS option
  !insertmacro REMOVE_SERVER_FOLDERS "${option}"
  RMDir ${option} "$INSTDIR"
  ${If} "$INSTDIR" == "${DEFAULT_DIR}"
    RMDir ${option} "$PROGRAMFILES\Quarvel"
  ${EndIf}
  ${If} $RemoveSupport == 1
    RMDir ${option} "${SUPPORT}"
  ${EndIf}
  ${If} $RemoveQuarvel == 1
    RMDir ${option} "${QUARVEL}"
  ${EndIf}
!macroend

; Only what the installer put there. Folders go only when empty: a file the user added stays
; with its folder. A file in use goes at the next restart. The support files that Setup and the
; launcher copied into Java runtimes belong to those runtimes now.
Section "Uninstall"
  ClearErrors
  Delete /REBOOTOK "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete /REBOOTOK "${PREPARE_SHORTCUT}"
  !insertmacro REMOVE_SERVER_FILES
  Delete /REBOOTOK "$INSTDIR\Varnolet.exe"
  Delete /REBOOTOK "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete /REBOOTOK "${RUNTIME_LOG}"
  ; Both gone already, or not running, when TolvarinHelper started this copy of the uninstaller.
  Delete /REBOOTOK "$INSTDIR\TolvarinHelper.exe"
  Delete /REBOOTOK "$INSTDIR\Uninstall.exe"
  ${If} $RemoveSupport == 1
    Delete /REBOOTOK "${SUPPORT}\Comm.jar"
    Delete /REBOOTOK "${SUPPORT}\javax.comm.properties"
    Delete /REBOOTOK "${SUPPORT}\Win32com.dll"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $R0 ${STOPPED_PART_WAY}
    DetailPrint "Some files could not be removed, nor marked for removal at the next restart."
  ${ElseIf} ${RebootFlag}
    StrCpy $R0 ${RESTART_TO_FINISH}
  ${Else}
    StrCpy $R0 0
  ${EndIf}
  ${If} ${RebootFlag}
    !insertmacro REMOVE_FOLDERS /REBOOTOK
  ${Else}
    !insertmacro REMOVE_FOLDERS ""
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  SetErrorLevel $R0
SectionEnd
