/*
 * RADOZAVU.DLL: setup support library of the Quillane installer.
 *
 * Every export is a plain C function, exported under its undecorated name and
 * called with __stdcall on 32-bit Windows. The installer script calls one
 * export at a time on its own thread.
 *
 * Text results point into storage owned by the library; the text stays valid
 * until the next call of the same export. The caller copies it and never
 * frees it.
 */
#ifndef RADOZAVU_H
#define RADOZAVU_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
typedef struct HWND__ *HWND;
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define RADOZAVU_CALL __stdcall
#else
#define RADOZAVU_CALL
#endif

#if defined(_WIN32)
#define RADOZAVU_EXPORT
#else
#define RADOZAVU_EXPORT __attribute__((visibility("default")))
#endif

#define RADOZAVU_API(result) RADOZAVU_EXPORT result RADOZAVU_CALL

#ifdef __cplusplus
extern "C" {
#endif

/* The installer's call record, passed by address to the record-taking
 * exports. The library reads OwnerWindow and ParamText and never writes it. */
typedef struct SetupCallRecord {
    uint32_t    Reserved0;      /* offset 0  */
    HWND        OwnerWindow;    /* offset 4  */
    uint8_t     Reserved1[32];  /* offset 8  */
    const char *ParamText;      /* offset 40 on 32-bit; the record is 44 bytes there */
} SetupCallRecord;

/* Setup configuration getters: the argument is the setup folder with its
 * trailing backslash; the result is the value of the key in section
 * "Configuration" of QLNSETUP.INI there, or the key's default. */
RADOZAVU_API(const char *) GetValidateSettings(const char *setupFolder);
RADOZAVU_API(const char *) GetInstallDirectory(const char *setupFolder);
RADOZAVU_API(const char *) GetCreateDesktopIcon(const char *setupFolder);
RADOZAVU_API(const char *) GetProgramGroup(const char *setupFolder);
RADOZAVU_API(const char *) GetRasMessage(const char *setupFolder);
RADOZAVU_API(const char *) GetAllowLocalSync(const char *setupFolder);
RADOZAVU_API(const char *) GetAllowNetworkSync(const char *setupFolder);
RADOZAVU_API(const char *) GetAllowOneWaySync(const char *setupFolder);
RADOZAVU_API(const char *) GetAllowTwoWaySync(const char *setupFolder);
RADOZAVU_API(const char *) GetRebootPrompt(const char *setupFolder);
RADOZAVU_API(const char *) GetInitialPreferencesFile(const char *setupFolder);
RADOZAVU_API(const char *) GetShowHelpAtStartUp(const char *setupFolder);
RADOZAVU_API(const char *) GetDefaultWebSite(const char *setupFolder);
RADOZAVU_API(const char *) GetCreateAgentIcon(const char *setupFolder);
RADOZAVU_API(const char *) GetEnableVirtualNetworkProjects(const char *setupFolder);
RADOZAVU_API(const char *) GetEnableBackupProjects(const char *setupFolder);
RADOZAVU_API(const char *) GetCreateNetworkProviderEntries(const char *setupFolder);
RADOZAVU_API(const char *) GetInitialRegFile(const char *setupFolder);
RADOZAVU_API(const char *) GetAllowInstallOnNTServer(const char *setupFolder);
RADOZAVU_API(const char *) GetInstallService(const char *setupFolder);
RADOZAVU_API(const char *) GetSvcDependentServices(const char *setupFolder);
RADOZAVU_API(const char *) GetUninstallRebootPrompt(const char *setupFolder);
RADOZAVU_API(const char *) GetDefaultCacheLocation(const char *setupFolder);
RADOZAVU_API(const char *) GetDefaultVirtualNetworkLocation(const char *setupFolder);
RADOZAVU_API(const char *) GetUpgradeVersionCheck(const char *setupFolder);
RADOZAVU_API(const char *) GetMultipleIniFiles(const char *setupFolder);
RADOZAVU_API(const char *) GetExecuteOnCompletion(const char *setupFolder);
RADOZAVU_API(const char *) GetExecutableCmdLineOptions(const char *setupFolder);

/* Sets the company and product key names of the product's registry key
 * Software\<company>\<product>. A name longer than 259 characters, or a
 * missing one, is refused and both names stay as they were. */
RADOZAVU_API(void) RADOzavu_SetRegistryInfo(const char *company, const char *product);

/* Post-install actions. */
/* Copies the initial preferences file into the target folder and imports the
 * initial registry file, both as named by QLNSETUP.INI of the setup folder
 * (by default QLNINIT.INI and QLNCFG.REG there). 0 if a folder is missing,
 * else 1. */
RADOZAVU_API(int) HKPerformPostInstallActions(const char *setupFolder, const char *targetFolder);
/* Copies the preferences file to QLNINIT.INI in the folder (given with its
 * trailing backslash). Always 0. */
RADOZAVU_API(int) MoveInitialPreferencesFileEX(const char *preferencesFile,
                                               const char *destinationFolder);
/* Copies every *.ini file of one folder into another (both given with their
 * trailing backslashes). 1 if any file matched, else 0. */
RADOZAVU_API(int) MoveAllINIFilesEX(const char *sourceFolder, const char *destinationFolder);
/* Imports a registry file with the registry editor and waits for it. 1 when
 * the file is absent or the editor has run; 0 if it cannot be started. */
RADOZAVU_API(int) ExecInitialRegFileEX(const char *registryFile);
/* ParamText: the install folder. Deletes BIN\MFC42.DLL there, or has it
 * deleted at the next restart. Always 0. */
RADOZAVU_API(int) HKSetupCleanUpOldFiles(const SetupCallRecord *record);
/* Stores the current time as "LastSetupTime" in the product's preferences
 * under HKEY_LOCAL_MACHINE. Always 0. */
RADOZAVU_API(int) HKUpdateSetupDateInRegistryEX(void);
RADOZAVU_API(int) HKUpdateSetupDateInRegistry(const SetupCallRecord *record);
/* Loads Rezedev.dll and ZepProj.dll from the install folder and returns what
 * ZepProj.dll's HKPopulateWriteMonitorPaths returns; 1 without a folder, 0
 * when a library or the entry point cannot be loaded. */
RADOZAVU_API(int) HKConfigureWriteMonitorPathsEX(const char *installFolder);
RADOZAVU_API(int) HKConfigureWriteMonitorPaths(const SetupCallRecord *record);
/* Deletes a value of a key under HKEY_LOCAL_MACHINE (root selector 2, the
 * only one accepted). 1 if it was deleted, else 0. */
RADOZAVU_API(int) HKDelRegistryEntry(int rootSelector, const char *keyPath, const char *valueName);

/* Uninstall and reinstall registry edits. */
/* Deletes the pending clean-up entry "CleanQlClient" of RunOnce. 1 if it was
 * deleted, else 0. */
RADOZAVU_API(int) CancelUninstallEX(void);
/* The install path without its last characters, as many as
 * "Brevanta\Quillane\" has. */
RADOZAVU_API(const char *) EditCustomizedInstallPathEX(const char *installPath);
/* Changes nothing. Always 0. */
RADOZAVU_API(int) EditRegistryOnReinstallEX(const char *setupFolder);
/* Deletes "PackageName" of the product's Windows Installer source list, the
 * per-machine one if it exists, else the per-user one. 1 when done, 0 when
 * neither list exists or the name cannot be deleted. */
RADOZAVU_API(int) DeleteRegPackageNameEX(const char *installerKeyName);

#ifdef __cplusplus
}

#if defined(_WIN32) && !defined(_WIN64)
#include <cstddef>
static_assert(offsetof(SetupCallRecord, OwnerWindow) == 4, "OwnerWindow at offset 4");
static_assert(offsetof(SetupCallRecord, ParamText) == 40, "ParamText at offset 40");
static_assert(sizeof(SetupCallRecord) == 44, "the record is 44 bytes");
#endif
#endif

#endif /* RADOZAVU_H */
