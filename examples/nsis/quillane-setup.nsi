; Example installer of Quillane, built with NSIS: its script calls
; RADOZAVU.DLL through radozavu.nsh (one macro an export), the way the
; product's installer calls it, during installation and removal.
;
;   makensis -X"!addincludedir <folder of radozavu.nsh>" [-DRADOZAVU_DLL=<path of RADOZAVU.DLL>]
;            [-DOUTFILE=<setup program>] quillane-setup.nsi
;
; Without RADOZAVU_DLL, radozavu.nsh takes the DLL from ..\bin\ beside
; itself, as the release package lays them out.
;
; The setup folder is the installer's own folder: QLNSETUP.INI there names
; the install folder (key "InstallDirectory") and the install action log (key
; "InstallActionLog"); without it the library's default folder is taken.
; Run it with /S to install silently; the uninstaller takes /S as well.

Unicode true ; radozavu.nsh passes the library ANSI text from either kind of script
!include LogicLib.nsh
!include radozavu.nsh

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

Var SetupIni    ; the setup configuration, "<folder>\QLNSETUP.INI"
Var SystemCheck ; what the system check answered

; Appends a line to the install action log named by the setup configuration.
!macro ActionLog MESSAGE
  !insertmacro RADOZAVU_HKSetupAddActionLog $R9 `$SetupIni|${MESSAGE}`
!macroend

Function .onInit
  StrCpy $SetupIni "$EXEDIR\QLNSETUP.INI"

  ; The system check, then the running client programs.
  !insertmacro RADOZAVU_HKSetupFindRunningApps $SystemCheck
  ${If} $SystemCheck == 1
    Abort
  ${EndIf}

  ; The install folder: given with /D, else the setup configuration's, else
  ; the library's default.
  ${If} $INSTDIR == ""
    !insertmacro RADOZAVU_GetInstallDirectory $1 "$EXEDIR\"
    ${If} $1 == "Error Reading Value"
      !insertmacro RADOZAVU_HKSetupGetDefaultInstallLocation $1
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
  !insertmacro RADOZAVU_HKSetupValidateLocalDirectoryEX $0 $INSTDIR
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
  ; Each copy hands back its destination, or an empty text when it failed.
  !insertmacro RADOZAVU_QLNSetupCompressFile $R0 "$INSTDIR\readme.txt" "$INSTDIR\readme.txt.gz" 9
  ${If} $R0 == ""
    StrCpy $R0 "failed"
  ${EndIf}
  !insertmacro ActionLog "Packed copy: $R0"
  !insertmacro RADOZAVU_QLNSetupUncompressFile $R0 "$INSTDIR\readme.txt.gz" "$INSTDIR\readme-unpacked.txt"
  ${If} $R0 == ""
    StrCpy $R0 "failed"
  ${EndIf}
  !insertmacro ActionLog "Unpacked copy: $R0"

  !insertmacro RADOZAVU_HKAddNetworkProvider $0
  !insertmacro ActionLog "Network provider added: $0"

  !insertmacro RADOZAVU_CreateServiceEX $1 $INSTDIR
  !insertmacro ActionLog "Service key written: $1"

  !insertmacro RADOZAVU_HKUpdateSetupDateInRegistry $0
  !insertmacro ActionLog "Setup date stored: $0"

  ; The build number goes into the uninstall entry in letters.
  !insertmacro RADOZAVU_HKGetStringFromNumber $R0 ${BUILD_NUMBER}
  !insertmacro RADOZAVU_HKGetNumberFromString $R1 $R0
  !insertmacro ActionLog "Build ${BUILD_NUMBER} in letters: $R0, read back: $R1"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "BuildCode" "$R0"
  !insertmacro ActionLog "Installation complete"
  !insertmacro RADOZAVU_Unload
SectionEnd

Function un.onInit
  StrCpy $SetupIni "$INSTDIR\QLNSETUP.INI"
FunctionEnd

Section "Uninstall"
  !insertmacro ActionLog "Removing Quillane from $INSTDIR"
  !insertmacro RADOZAVU_HKRemoveNetworkProvider $0
  !insertmacro ActionLog "Network provider removed: $0"

  !insertmacro RADOZAVU_HKDelRegistryEntry $2 2 "${PRODUCT_KEY}\Preferences" "LastSetupTime"
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
  !insertmacro RADOZAVU_Unload
SectionEnd
