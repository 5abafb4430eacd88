; Example installer of Quillane, built with NSIS: its script calls
; RADOZAVU.DLL through NSIS's System plug-in, the way the product's installer
; calls it, during installation and removal.
;
;   makensis -DRADOZAVU_DLL=<path of RADOZAVU.DLL> -DOUTFILE=<setup program> quillane-setup.nsi
;
; The setup folder is the installer's own folder: QLNSETUP.INI there names
; the install folder (key "InstallDirectory") and the install action log (key
; "InstallActionLog"); without it the library's default folder is taken.
; Run it with /S to install silently; the uninstaller takes /S as well.

Unicode false ; the library's text is ANSI
!include LogicLib.nsh

!ifndef RADOZAVU_DLL
  !error "Define RADOZAVU_DLL as the path of the RADOZAVU.DLL to ship."
!endif
!ifndef OUTFILE
  !define OUTFILE "quillane-setup.exe"
!endif

!define PRODUCT_KEY "Software\Brevanta\Quillane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillane"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\QLNSvc40"
!define BUILD_NUMBER 55

Name "Quillane"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage instfiles

Var Library    ; the module handle of RADOZAVU.DLL
Var Record     ; the installer's call record
Var SetupIni   ; the setup configuration, "<folder>\QLNSETUP.INI"
Var SystemCheck ; what the system check answered

; Loads RADOZAVU.DLL from the plug-ins folder into the installer's process and
; takes the memory of the call record: 44 bytes, zero-filled.
!macro LoadRadozavu
  InitPluginsDir
  File "/oname=$PLUGINSDIR\RADOZAVU.DLL" "${RADOZAVU_DLL}"
  StrCpy $0 "$PLUGINSDIR\RADOZAVU.DLL"
  System::Call 'kernel32::LoadLibraryA(m r0) p .r1'
  ${If} $1 == 0
    MessageBox MB_OK|MB_ICONSTOP "RADOZAVU.DLL could not be loaded." /SD IDOK
    Abort
  ${EndIf}
  StrCpy $Library $1
  System::Alloc 44
  Pop $Record
!macroend

!macro UnloadRadozavu
  System::Free $Record
  System::Call 'kernel32::FreeLibrary(p $Library)'
!macroend

; Calls a record-taking export: the record carries the installer's window at
; offset 4 and the address of TEXT at offset 40. The result is left in $0;
; $1 to $3 are used on the way.
!macro RecordCall EXPORT TEXT
  StrCpy $1 `${TEXT}`
  System::Call '*(&m${NSIS_MAX_STRLEN} r1) p .r2'
  IntOp $3 $Record + 4
  System::Call '*$3(p $HWNDPARENT)'
  IntOp $3 $Record + 40
  System::Call '*$3(p r2)'
  System::Call 'RADOZAVU::${EXPORT}(p $Record) i .r0'
  System::Free $2
!macroend

; Appends a line to the install action log named by the setup configuration.
!macro ActionLog MESSAGE
  !insertmacro RecordCall HKSetupAddActionLog `$SetupIni|${MESSAGE}`
!macroend

Function .onInit
  !insertmacro LoadRadozavu
  StrCpy $SetupIni "$EXEDIR\QLNSETUP.INI"

  ; The system check, then the running client programs.
  !insertmacro RecordCall HKSetupFindRunningApps ""
  StrCpy $SystemCheck $0
  ${If} $SystemCheck == 1
    Abort
  ${EndIf}

  ; The install folder: given with /D, else the setup configuration's, else
  ; the library's default.
  ${If} $INSTDIR == ""
    StrCpy $0 "$EXEDIR\"
    System::Call 'RADOZAVU::GetInstallDirectory(m r0) m .r1'
    ${If} $1 == "Error Reading Value"
      System::Call 'RADOZAVU::HKSetupGetDefaultInstallLocation() m .r1'
    ${EndIf}
    StrCpy $INSTDIR $1
  ${EndIf}
  Call CheckInstallFolder
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "Please choose a folder on a local drive." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; The install folder must lie on a local drive and be more than a bare
; drive; $0 is 0 when it does.
Function CheckInstallFolder
  StrCpy $1 $INSTDIR
  System::Call 'RADOZAVU::HKSetupValidateLocalDirectoryEX(m r1) i .r0'
FunctionEnd

Function .onVerifyInstDir
  Call CheckInstallFolder
  ${If} $0 != 0
    Abort
  ${EndIf}
FunctionEnd

Section "Quillane"
  SetOutPath $INSTDIR
  !insertmacro ActionLog "Installing Quillane in $INSTDIR"
  !insertmacro ActionLog "System check: $SystemCheck"
  File "readme.txt"
  CopyFiles /SILENT "$SetupIni" "$INSTDIR\QLNSETUP.INI"

  ; The release notes travel packed; one copy is unpacked again.
  ; Each copy hands back its destination argument, or null when it failed.
  StrCpy $0 "$INSTDIR\readme.txt"
  StrCpy $R0 "$INSTDIR\readme.txt.gz"
  System::Call 'RADOZAVU::QLNSetupCompressFile(m r0, m R0, i 9) p .r2'
  ${If} $2 = 0
    StrCpy $R0 "failed"
  ${EndIf}
  !insertmacro ActionLog "Packed copy: $R0"
  StrCpy $0 "$INSTDIR\readme.txt.gz"
  StrCpy $R0 "$INSTDIR\readme-unpacked.txt"
  System::Call 'RADOZAVU::QLNSetupUncompressFile(m r0, m R0) p .r2'
  ${If} $2 = 0
    StrCpy $R0 "failed"
  ${EndIf}
  !insertmacro ActionLog "Unpacked copy: $R0"

  !insertmacro RecordCall HKAddNetworkProvider ""
  !insertmacro ActionLog "Network provider added: $0"

  StrCpy $0 $INSTDIR
  System::Call 'RADOZAVU::CreateServiceEX(m r0) i .r1'
  !insertmacro ActionLog "Service key written: $1"

  !insertmacro RecordCall HKUpdateSetupDateInRegistry ""
  !insertmacro ActionLog "Setup date stored: $0"

  ; The build number goes into the uninstall entry in letters.
  System::Call 'RADOZAVU::HKGetStringFromNumber(i ${BUILD_NUMBER}) m .R0'
  System::Call 'RADOZAVU::HKGetNumberFromString(m R0) i .R1'
  !insertmacro ActionLog "Build ${BUILD_NUMBER} in letters: $R0, read back: $R1"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "BuildCode" "$R0"
  !insertmacro ActionLog "Installation complete"
  !insertmacro UnloadRadozavu
SectionEnd

Function un.onInit
  !insertmacro LoadRadozavu
  StrCpy $SetupIni "$INSTDIR\QLNSETUP.INI"
FunctionEnd

Section "Uninstall"
  !insertmacro ActionLog "Removing Quillane from $INSTDIR"
  !insertmacro RecordCall HKRemoveNetworkProvider ""
  !insertmacro ActionLog "Network provider removed: $0"

  StrCpy $0 "${PRODUCT_KEY}\Preferences"
  StrCpy $1 "LastSetupTime"
  System::Call 'RADOZAVU::HKDelRegistryEntry(i 2, m r0, m r1) i .r2'
  !insertmacro ActionLog "Setup date deleted: $2"
  DeleteRegKey HKLM "${SERVICE_KEY}"
  DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}\Preferences"
  DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKLM "Software\Brevanta"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro ActionLog "Removal complete"

  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\readme.txt.gz"
  Delete "$INSTDIR\readme-unpacked.txt"
  Delete "$INSTDIR\QLNSETUP.INI"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  !insertmacro UnloadRadozavu
SectionEnd
