; Tolvarin's installer, per machine. tools/release.sh builds it with makensis and these defines:
;   VERSION        the product's version, x.y.z (CMakeLists.txt's project())
;   OUTFILE        the installer to write
;   EXE            Varnolet.exe
;   SERVER_FILES   the server's trees as macros (installer/package.py files)
;   SUPPORT_DIR    the folder holding the three serial-port support files
;   ICON           the application's icon
;   SIGN           (optional) a command that signs the file named after it in place

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; The installed files keep the times they were given at build time.
SetDateSave on

!include LogicLib.nsh
!include MUI2.nsh
!include "${SERVER_FILES}"

!define PRODUCT "Tolvarin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The launcher reads the support files from this fixed folder.
!define QUARVEL "C:\quarvel"
!define SUPPORT "${QUARVEL}\GsmModemJar"
!define DEFAULT_DIR "$PROGRAMFILES\Quarvel\${PRODUCT}"
; Owner Administrators; the list not inherited from C:\, and inherited by everything below:
; full control for SYSTEM and Administrators, read and execute for Users.
!define FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"

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

Function .onInit
  !insertmacro REQUIRE_ADMIN
FunctionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
FunctionEnd

; A folder made under C:\ inherits every user's right to modify it: anyone could then plant a
; Win32com.dll there that the launcher copies into a Java runtime. So C:\quarvel and the
; support files' folder get their own list, and Administrators as their owner: a folder someone
; made beforehand is theirs. A link someone made there would send the files elsewhere.
Function SecureFolder
  Exch $R0
  CreateDirectory $R0
  System::Call 'kernel32::GetFileAttributesW(w R0) i .r0'
  IntOp $0 $0 & 0x410  ; FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY
  ${If} $0 <> 0x10
    MessageBox MB_ICONSTOP "$R0 cannot be made, or is a link to another folder." /SD IDOK
    Abort
  ${EndIf}
  StrCpy $0 1338  ; ERROR_INVALID_SECURITY_DESCR, unless the list is set
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SDDL}", i 1, *p .r1, p 0) i .r2'
  ${If} $2 <> 0
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i .r3)'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r1, *i .r3, *p .r4, *i .r5)'
    ; OWNER_, DACL_ and PROTECTED_DACL_SECURITY_INFORMATION on an SE_FILE_OBJECT; what lies
    ; below takes the new inherited entries.
    System::Call 'advapi32::SetNamedSecurityInfoW(w R0, i 1, i 0x80000005, p r2, p 0, p r4, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r1)'
  ${EndIf}
  ${If} $0 <> 0
    MessageBox MB_ICONSTOP "Cannot protect $R0 from other users (error $0)." /SD IDOK
    Abort
  ${EndIf}
  Pop $R0
FunctionEnd

; Made anew rather than overwritten, so that a file planted before keeps neither its owner nor
; its own list.
!macro SUPPORT_FILE name
  Delete "${SUPPORT}\${name}"
  File "${SUPPORT_DIR}/${name}"
!macroend

Section "${PRODUCT}"
  SectionIn RO
  Push "${QUARVEL}"
  Call SecureFolder
  Push "${SUPPORT}"
  Call SecureFolder
  SetOutPath "${SUPPORT}"
  !insertmacro SUPPORT_FILE Comm.jar
  !insertmacro SUPPORT_FILE javax.comm.properties
  !insertmacro SUPPORT_FILE Win32com.dll

  !insertmacro INSTALL_SERVER_FILES
  SetOutPath "$INSTDIR"
  File "${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; The shortcut's working directory is the output path.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Varnolet.exe" "" "$INSTDIR\Varnolet.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "quarvel "
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Varnolet.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there. Folders go only when empty: a file the user added stays
; with its folder. The support files that the launcher copied into Java runtimes belong to
; those runtimes now.
Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  !insertmacro REMOVE_SERVER_FILES
  Delete "$INSTDIR\Varnolet.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${If} "$INSTDIR" == "${DEFAULT_DIR}"
    RMDir "$PROGRAMFILES\Quarvel"
  ${EndIf}
  Delete "${SUPPORT}\Comm.jar"
  Delete "${SUPPORT}\javax.comm.properties"
  Delete "${SUPPORT}\Win32com.dll"
  RMDir "${SUPPORT}"
  RMDir "${QUARVEL}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
