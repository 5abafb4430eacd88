; Calls every export of RADOZAVU.DLL through radozavu.nsh and checks each
; result. Built twice, as a Unicode and as an ANSI installer:
;
;   makensis -DUNICODE_SCRIPT=true|false -DRADOZAVU_DLL=... -DOUTFILE=... all_exports.nsi
;
; Run silently; it works in $PLUGINSDIR and writes one line per failed check
; to the file named by /REPORT=<path>; its exit code is the number of failed
; checks. The caller refuses the restart request (HKSetupRebootComputer).

Unicode ${UNICODE_SCRIPT}
!include LogicLib.nsh
!include FileFunc.nsh
!include radozavu.nsh

Name "RADOZAVU all exports"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SilentInstall silent

!define ORDER_KEY "System\CurrentControlSet\Control\NetworkProvider\Order"
!define PREFERENCES_KEY "Software\Brevanta\Quillane\Preferences"
!define RUN_ONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"

Var Report   ; the report file's handle
Var Failures ; the number of failed checks
Var Setup    ; the setup folder, with its trailing backslash
Var Result
Var Other

; One check: a failed one is reported as "<what>: got <actual>, expected <expected>".
!macro Expect WHAT ACTUAL EXPECTED
  ${If} `${ACTUAL}` != `${EXPECTED}`
    IntOp $Failures $Failures + 1
    FileWrite $Report `${WHAT}: got "${ACTUAL}", expected "${EXPECTED}"$\r$\n`
  ${EndIf}
!macroend

; A getter's result when its key is set to "<key> set".
!macro ExpectKey GETTER KEY
  !insertmacro Expect ${GETTER} $Result "${KEY} set"
!macroend

Section
  ${GetParameters} $0
  ${GetOptions} $0 "/REPORT=" $1
  FileOpen $Report $1 w
  StrCpy $Failures 0
  InitPluginsDir
  StrCpy $Setup "$PLUGINSDIR\"

  ; The setup configuration: every getter's key with a value of its own.
  StrCpy $0 "$PLUGINSDIR\QLNSETUP.INI"
  !macro SetKey KEY
    WriteINIStr $0 Configuration ${KEY} "${KEY} set"
  !macroend
  !insertmacro SetKey ValidateSettings
  !insertmacro SetKey InstallDirectory
  !insertmacro SetKey CreateDesktopIcon
  !insertmacro SetKey ProgramGroup
  !insertmacro SetKey RasMessage
  !insertmacro SetKey AllowLocalSync
  !insertmacro SetKey AllowNetworkSync
  !insertmacro SetKey AllowOneWaySync
  !insertmacro SetKey AllowTwoWaySync
  !insertmacro SetKey RebootPrompt
  !insertmacro SetKey InitialPreferencesFile
  !insertmacro SetKey ShowHelpAtStartUp
  !insertmacro SetKey DefaultWebSite
  !insertmacro SetKey CreateAgentIcon
  !insertmacro SetKey EnableVirtualNetworkProjects
  !insertmacro SetKey EnableBackupProjects
  !insertmacro SetKey CreateNetworkProviderEntries
  !insertmacro SetKey InitialRegFile
  !insertmacro SetKey AllowInstallOnNTServer
  !insertmacro SetKey InstallService
  !insertmacro SetKey SvcDependentServices
  !insertmacro SetKey UninstallRebootPrompt
  !insertmacro SetKey DefaultCacheLocation
  !insertmacro SetKey DefaultVirtualNetworkLocation
  !insertmacro SetKey UpgradeVersionCheck
  !insertmacro SetKey MultipleIniFiles
  !insertmacro SetKey ExecutableCommandParams
  WriteINIStr $0 Configuration ExecuteOnCompletion "$PLUGINSDIR\QLNSETUP.INI"
  WriteINIStr $0 Configuration InstallActionLog "$PLUGINSDIR\actions.log"

  !insertmacro RADOZAVU_GetValidateSettings $Result $Setup
  !insertmacro ExpectKey GetValidateSettings ValidateSettings
  !insertmacro RADOZAVU_GetInstallDirectory $Result $Setup
  !insertmacro ExpectKey GetInstallDirectory InstallDirectory
  !insertmacro RADOZAVU_GetCreateDesktopIcon $Result $Setup
  !insertmacro ExpectKey GetCreateDesktopIcon CreateDesktopIcon
  !insertmacro RADOZAVU_GetProgramGroup $Result $Setup
  !insertmacro ExpectKey GetProgramGroup ProgramGroup
  !insertmacro RADOZAVU_GetRasMessage $Result $Setup
  !insertmacro ExpectKey GetRasMessage RasMessage
  !insertmacro RADOZAVU_GetAllowLocalSync $Result $Setup
  !insertmacro ExpectKey GetAllowLocalSync AllowLocalSync
  !insertmacro RADOZAVU_GetAllowNetworkSync $Result $Setup
  !insertmacro ExpectKey GetAllowNetworkSync AllowNetworkSync
  !insertmacro RADOZAVU_GetAllowOneWaySync $Result $Setup
  !insertmacro ExpectKey GetAllowOneWaySync AllowOneWaySync
  !insertmacro RADOZAVU_GetAllowTwoWaySync $Result $Setup
  !insertmacro ExpectKey GetAllowTwoWaySync AllowTwoWaySync
  !insertmacro RADOZAVU_GetRebootPrompt $Result $Setup
  !insertmacro ExpectKey GetRebootPrompt RebootPrompt
  !insertmacro RADOZAVU_GetInitialPreferencesFile $Result $Setup
  !insertmacro ExpectKey GetInitialPreferencesFile InitialPreferencesFile
  !insertmacro RADOZAVU_GetShowHelpAtStartUp $Result $Setup
  !insertmacro ExpectKey GetShowHelpAtStartUp ShowHelpAtStartUp
  !insertmacro RADOZAVU_GetDefaultWebSite $Result $Setup
  !insertmacro ExpectKey GetDefaultWebSite DefaultWebSite
  !insertmacro RADOZAVU_GetCreateAgentIcon $Result $Setup
  !insertmacro ExpectKey GetCreateAgentIcon CreateAgentIcon
  !insertmacro RADOZAVU_GetEnableVirtualNetworkProjects $Result $Setup
  !insertmacro ExpectKey GetEnableVirtualNetworkProjects EnableVirtualNetworkProjects
  !insertmacro RADOZAVU_GetEnableBackupProjects $Result $Setup
  !insertmacro ExpectKey GetEnableBackupProjects EnableBackupProjects
  !insertmacro RADOZAVU_GetCreateNetworkProviderEntries $Result $Setup
  !insertmacro ExpectKey GetCreateNetworkProviderEntries CreateNetworkProviderEntries
  !insertmacro RADOZAVU_GetInitialRegFile $Result $Setup
  !insertmacro ExpectKey GetInitialRegFile InitialRegFile
  !insertmacro RADOZAVU_GetAllowInstallOnNTServer $Result $Setup
  !insertmacro ExpectKey GetAllowInstallOnNTServer AllowInstallOnNTServer
  !insertmacro RADOZAVU_GetInstallService $Result $Setup
  !insertmacro ExpectKey GetInstallService InstallService
  !insertmacro RADOZAVU_GetSvcDependentServices $Result $Setup
  !insertmacro ExpectKey GetSvcDependentServices SvcDependentServices
  !insertmacro RADOZAVU_GetUninstallRebootPrompt $Result $Setup
  !insertmacro ExpectKey GetUninstallRebootPrompt UninstallRebootPrompt
  !insertmacro RADOZAVU_GetDefaultCacheLocation $Result $Setup
  !insertmacro ExpectKey GetDefaultCacheLocation DefaultCacheLocation
  !insertmacro RADOZAVU_GetDefaultVirtualNetworkLocation $Result $Setup
  !insertmacro ExpectKey GetDefaultVirtualNetworkLocation DefaultVirtualNetworkLocation
  !insertmacro RADOZAVU_GetUpgradeVersionCheck $Result $Setup
  !insertmacro ExpectKey GetUpgradeVersionCheck UpgradeVersionCheck
  !insertmacro RADOZAVU_GetMultipleIniFiles $Result $Setup
  !insertmacro ExpectKey GetMultipleIniFiles MultipleIniFiles
  !insertmacro RADOZAVU_GetExecutableCmdLineOptions $Result $Setup
  !insertmacro ExpectKey GetExecutableCmdLineOptions ExecutableCommandParams
  !insertmacro RADOZAVU_GetExecuteOnCompletion $Result $Setup
  !insertmacro Expect GetExecuteOnCompletion $Result "$PLUGINSDIR\QLNSETUP.INI"

  ; The action log takes text beyond ASCII as the system's ANSI text: the
  ; line read back (as ANSI) is the one written.
  IntFmt $2 "%c" 0xE9 ; e acute
  StrCpy $1 "Caf$2 cr$2me"
  !insertmacro RADOZAVU_HKSetupAddActionLog $Result "$PLUGINSDIR\QLNSETUP.INI|$1"
  !insertmacro Expect HKSetupAddActionLog $Result 0
  FileOpen $2 "$PLUGINSDIR\actions.log" r
  FileRead $2 $3
  FileClose $2
  StrLen $4 $1
  IntOp $4 0 - $4
  StrCpy $3 $3 -2 ; the line without its CR LF
  StrCpy $3 $3 "" $4
  !insertmacro Expect "HKSetupAddActionLog line" $3 $1
  !insertmacro RADOZAVU_HKSetupAddActionLog $Result "no separator"
  !insertmacro Expect "HKSetupAddActionLog without |" $Result 1

  !insertmacro RADOZAVU_RADOzavu_SetRegistryInfo "Brevanta" "Quillane"

  ; Post-install actions.
  CreateDirectory "$PLUGINSDIR\target"
  WriteINIStr "$PLUGINSDIR\prefs.ini" Preferences Colour Blue
  !insertmacro RADOZAVU_MoveInitialPreferencesFileEX $Result "$PLUGINSDIR\prefs.ini" "$PLUGINSDIR\target\"
  !insertmacro Expect MoveInitialPreferencesFileEX $Result 0
  ReadINIStr $Other "$PLUGINSDIR\target\QLNINIT.INI" Preferences Colour
  !insertmacro Expect "MoveInitialPreferencesFileEX copy" $Other Blue
  !insertmacro RADOZAVU_MoveAllINIFilesEX $Result $Setup "$PLUGINSDIR\target\"
  !insertmacro Expect MoveAllINIFilesEX $Result 1
  !insertmacro RADOZAVU_HKPerformPostInstallActions $Result $Setup "$PLUGINSDIR\target\"
  !insertmacro Expect HKPerformPostInstallActions $Result 1
  !insertmacro RADOZAVU_ExecInitialRegFileEX $Result "$PLUGINSDIR\absent.reg"
  !insertmacro Expect ExecInitialRegFileEX $Result 1
  !insertmacro RADOZAVU_HKSetupCleanUpOldFiles $Result "$PLUGINSDIR\target"
  !insertmacro Expect HKSetupCleanUpOldFiles $Result 0
  DeleteRegValue HKLM "${PREFERENCES_KEY}" LastSetupTime
  !insertmacro RADOZAVU_HKUpdateSetupDateInRegistryEX $Result
  !insertmacro Expect HKUpdateSetupDateInRegistryEX $Result 0
  ReadRegStr $Other HKLM "${PREFERENCES_KEY}" LastSetupTime
  ${If} $Other == ""
    !insertmacro Expect "HKUpdateSetupDateInRegistryEX LastSetupTime" $Other "a time"
  ${EndIf}
  !insertmacro RADOZAVU_HKUpdateSetupDateInRegistry $Result
  !insertmacro Expect HKUpdateSetupDateInRegistry $Result 0
  ; No sibling libraries in the folder: 0.
  !insertmacro RADOZAVU_HKConfigureWriteMonitorPathsEX $Result "$PLUGINSDIR\target"
  !insertmacro Expect HKConfigureWriteMonitorPathsEX $Result 0
  !insertmacro RADOZAVU_HKConfigureWriteMonitorPaths $Result "$PLUGINSDIR\target"
  !insertmacro Expect HKConfigureWriteMonitorPaths $Result 0
  !insertmacro RADOZAVU_HKDelRegistryEntry $Result 2 "${PREFERENCES_KEY}" LastSetupTime
  !insertmacro Expect HKDelRegistryEntry $Result 1
  !insertmacro RADOZAVU_HKDelRegistryEntry $Result 2 "${PREFERENCES_KEY}" LastSetupTime
  !insertmacro Expect "HKDelRegistryEntry again" $Result 0

  ; Uninstall and reinstall edits.
  WriteRegStr HKLM "${RUN_ONCE_KEY}" CleanQlClient "cleanup.exe"
  !insertmacro RADOZAVU_CancelUninstallEX $Result
  !insertmacro Expect CancelUninstallEX $Result 1
  !insertmacro RADOZAVU_EditCustomizedInstallPathEX $Result "C:\Program Files\Brevanta\Quillane\"
  !insertmacro Expect EditCustomizedInstallPathEX $Result "C:\Program Files\"
  !insertmacro RADOZAVU_EditRegistryOnReinstallEX $Result $Setup
  !insertmacro Expect EditRegistryOnReinstallEX $Result 0
  !insertmacro RADOZAVU_DeleteRegPackageNameEX $Result "RADOZAVU-NO-SUCH-PRODUCT"
  !insertmacro Expect DeleteRegPackageNameEX $Result 0

  ; Compressed copies hand back their destination; a failed one an empty text.
  !insertmacro RADOZAVU_QLNSetupCompressFile $Result "$PLUGINSDIR\QLNSETUP.INI" "$PLUGINSDIR\setup.gz" 9
  !insertmacro Expect QLNSetupCompressFile $Result "$PLUGINSDIR\setup.gz"
  !insertmacro RADOZAVU_QLNSetupUncompressFile $Result "$PLUGINSDIR\setup.gz" "$PLUGINSDIR\again.ini"
  !insertmacro Expect QLNSetupUncompressFile $Result "$PLUGINSDIR\again.ini"
  ReadINIStr $Other "$PLUGINSDIR\again.ini" Configuration ProgramGroup
  !insertmacro Expect "QLNSetupUncompressFile content" $Other "ProgramGroup set"
  !insertmacro RADOZAVU_QLNSetupUncompressFile $Result "$PLUGINSDIR\absent.gz" "$PLUGINSDIR\none.ini"
  !insertmacro Expect "QLNSetupUncompressFile of no file" $Result ""
  !insertmacro RADOZAVU_HKGetStringFromNumber $Result -1205
  !insertmacro Expect HKGetStringFromNumber $Result "-BCAF"
  !insertmacro RADOZAVU_HKGetNumberFromString $Result "FF"
  !insertmacro Expect HKGetNumberFromString $Result 55

  ; System and location queries.
  !insertmacro RADOZAVU_HKSetupValidateLocalDirectory $Result "C:\Quillane"
  !insertmacro Expect HKSetupValidateLocalDirectory $Result 0
  !insertmacro RADOZAVU_HKSetupValidateLocalDirectoryEX $Result "C:"
  !insertmacro Expect HKSetupValidateLocalDirectoryEX $Result 1
  !insertmacro RADOZAVU_HKIsWindows2000 $Result
  !insertmacro Expect HKIsWindows2000 $Result 1
  !insertmacro RADOZAVU_HKIsWindowsXP $Result
  !insertmacro Expect HKIsWindowsXP $Result 0
  !insertmacro RADOZAVU_HKSetupGetDefaultInstallLocation $Result
  !insertmacro Expect HKSetupGetDefaultInstallLocation $Result "C:\Program Files\Brevanta\Quillane"
  !insertmacro RADOZAVU_HKSetupGetCommonDesktopLocation $Other
  ${If} $Other == ""
    !insertmacro Expect HKSetupGetCommonDesktopLocation $Other "a folder"
  ${EndIf}
  !insertmacro RADOZAVU_HKSetupGetCommonDesktopFolderLocation $Result "$PLUGINSDIR\desktop.ini"
  !insertmacro Expect HKSetupGetCommonDesktopFolderLocation $Result 0
  ReadINIStr $Result "$PLUGINSDIR\desktop.ini" SECTION "Common Desktop"
  !insertmacro Expect "HKSetupGetCommonDesktopFolderLocation file" $Result $Other
  !insertmacro RADOZAVU_HKGetSetupExePath $Result
  !insertmacro Expect HKGetSetupExePath $Result $EXEPATH

  ; Running programs and services: none of the product's run here.
  !insertmacro RADOZAVU_HKSetupFindRunningApps $Result
  !insertmacro Expect HKSetupFindRunningApps $Result 0
  !insertmacro RADOZAVU_HKServerSetupFindRunningApps $Result
  !insertmacro Expect HKServerSetupFindRunningApps $Result 0
  !insertmacro RADOZAVU_HKSetupAreThereAnyRunningServerApps $Result
  !insertmacro Expect HKSetupAreThereAnyRunningServerApps $Result 0
  !insertmacro RADOZAVU_HKSetupStopRunningServerApps $Result
  !insertmacro Expect HKSetupStopRunningServerApps $Result 0
  !insertmacro RADOZAVU_CreateServiceEX $Result "$PLUGINSDIR\target"
  !insertmacro Expect CreateServiceEX $Result 1
  !insertmacro RADOZAVU_HKAdd2DependentServicesEX $Result "$PLUGINSDIR\target"
  !insertmacro Expect HKAdd2DependentServicesEX $Result 0
  !insertmacro RADOZAVU_HKAdd2DependentServices $Result "$PLUGINSDIR\target"
  !insertmacro Expect HKAdd2DependentServices $Result 0
  DeleteRegKey HKLM "SYSTEM\CurrentControlSet\Services\QLNSvc40"

  ; The network provider order: QLNNET first, then out again.
  WriteRegStr HKLM "${ORDER_KEY}" ProviderOrder "RDPNP,LanmanWorkstation"
  !insertmacro RADOZAVU_HKAddNetworkProviderEX $Result
  !insertmacro Expect HKAddNetworkProviderEX $Result 0
  !insertmacro RADOZAVU_HKAddNetworkProvider $Result
  !insertmacro Expect HKAddNetworkProvider $Result 0
  ReadRegStr $Other HKLM "${ORDER_KEY}" ProviderOrder
  !insertmacro Expect "HKAddNetworkProvider order" $Other "QLNNET,RDPNP,LanmanWorkstation"
  !insertmacro RADOZAVU_HKRemoveNetworkProvider $Result
  !insertmacro Expect HKRemoveNetworkProvider $Result 0
  !insertmacro RADOZAVU_HKRemoveNetworkProviderEX $Result
  !insertmacro Expect HKRemoveNetworkProviderEX $Result 0
  ReadRegStr $Other HKLM "${ORDER_KEY}" ProviderOrder
  !insertmacro Expect "HKRemoveNetworkProvider order" $Other "RDPNP,LanmanWorkstation"

  ; The restart: asked for, and refused by the caller.
  !insertmacro RADOZAVU_HKSetupRebootComputer $Result
  !insertmacro Expect HKSetupRebootComputer $Result 0
  DeleteRegKey HKLM "Software\Brevanta"

  !insertmacro RADOZAVU_Unload
  FileClose $Report
  SetErrorLevel $Failures
SectionEnd
