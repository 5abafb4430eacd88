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
    /* clang-format off */
    uint32_t    Reserved0;      /* offset 0  */
    HWND        OwnerWindow;    /* offset 4  */
    uint8_t     Reserved1[32];  /* offset 8  */
    const char *ParamText;      /* offset 40 on 32-bit; the record is 44 bytes there */
    /* clang-format on */
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
/* Compressed file copies. Each returns its destination argument on success
 * and null on any failure, leaving what it wrote so far on disk. The level
 * is zlib's: -1 (default) or 0 (stored) to 9; another number compresses at
 * the default level. */
RADOZAVU_API(const char *) QLNSetupCompressFile(const char *source, const char *destination,
                                                int level);
RADOZAVU_API(const char *) QLNSetupUncompressFile(const char *source, const char *destination);

/* Letter encoding of numbers: each decimal digit becomes the letter 17 codes
 * above it ('0' is A ... '9' is J), a minus sign stays. Decoding takes only
 * A to J (at most 19 of them) and gives 0 for any other text or for a value
 * beyond the signed 32-bit range. */
RADOZAVU_API(const char *) HKGetStringFromNumber(int number);
RADOZAVU_API(int) HKGetNumberFromString(const char *text);

/* System and location queries.
 * HKSetupValidateLocalDirectoryEX: 0 when the folder lies on a local fixed or
 * removable drive and is more than a bare drive; 1 for no path or a bare
 * drive ("C:"); 2 when the drive is not local (network, CD-ROM, unknown).
 * HKSetupValidateLocalDirectory checks the record's ParamText the same way:
 * 0 when accepted; 1 for no path, or after a box owned by OwnerWindow that
 * tells why the folder was refused. */
RADOZAVU_API(int) HKSetupValidateLocalDirectory(const SetupCallRecord *record);
RADOZAVU_API(int) HKSetupValidateLocalDirectoryEX(const char *path);
/* 1 on Windows NT 5.0 (2000) and later / on Windows XP (NT 5.1) only; else 0. */
RADOZAVU_API(int) HKIsWindows2000(void);
RADOZAVU_API(int) HKIsWindowsXP(void);
/* "C:\Program Files\Brevanta\Quillane", whatever the system drive. */
RADOZAVU_API(const char *) HKSetupGetDefaultInstallLocation(void);
/* The common desktop folder: the shell's, else the registered one, else the
 * user's own desktop; empty when none is known. */
RADOZAVU_API(const char *) HKSetupGetCommonDesktopLocation(void);
/* Writes the common desktop folder as key "Common Desktop" of section
 * "SECTION" of the profile file named by ParamText: 0; 1 without a name. */
RADOZAVU_API(int) HKSetupGetCommonDesktopFolderLocation(const SetupCallRecord *record);
/* The full path of the program the library runs in (the setup program). */
RADOZAVU_API(const char *) HKGetSetupExePath(void);
/* Running programs. The client setup's check of the system, then the closing
 * of running client programs: 1 when the system is not supported and setup
 * must stop, else 0. The server setup's check of the system alone: 1 or 0
 * alike. Only the record's OwnerWindow is used (the owner of the boxes). */
RADOZAVU_API(int) HKSetupFindRunningApps(const SetupCallRecord *record);
RADOZAVU_API(int) HKServerSetupFindRunningApps(const SetupCallRecord *record);
/* The server components (two windows, two services): 1 when any of them is
 * present. The stop closes the windows' programs and stops the services;
 * always 0. Neither reads its record. */
RADOZAVU_API(int) HKSetupAreThereAnyRunningServerApps(const SetupCallRecord *record);
RADOZAVU_API(int) HKSetupStopRunningServerApps(const SetupCallRecord *record);

/* Service registration. Writes the key of the service QLNSvc40, whose program
 * lies in serviceFolder (no trailing backslash): 1 when all its values were
 * written, else 0. */
RADOZAVU_API(int) CreateServiceEX(const char *serviceFolder);
/* Loads Rezedev.dll from the folder (for the record form: its ParamText) and
 * hands back what its HKConfigureDependentServices answers for QLNSvc40;
 * 1 when no folder is given, 0 when the library or its entry point is
 * missing. The library stays loaded. */
RADOZAVU_API(int) HKAdd2DependentServicesEX(const char *libraryFolder);
RADOZAVU_API(int) HKAdd2DependentServices(const SetupCallRecord *record);
/* Install action log. ParamText is "<path of QLNSETUP.INI>|<message>": the
 * message is appended, time-stamped, to the file that key "InstallActionLog"
 * of section "Configuration" names. 1 when the record, its text or the "|"
 * is missing; else 0, whether or not a line was written. */
RADOZAVU_API(int) HKSetupAddActionLog(const SetupCallRecord *record);

/* Network provider order: QLNNET put first in, or taken out of, the
 * "ProviderOrder" of the system's NetworkProvider\Order key. The record is
 * not read. Always 0. */
RADOZAVU_API(int) HKAddNetworkProvider(const SetupCallRecord *record);
RADOZAVU_API(int) HKAddNetworkProviderEX(void);
RADOZAVU_API(int) HKRemoveNetworkProvider(const SetupCallRecord *record);
RADOZAVU_API(int) HKRemoveNetworkProviderEX(void);

/* Restart: asks the product's agent to close, then Windows to restart. The
 * record is not read. Always 0, whether or not Windows restarts. */
RADOZAVU_API(int) HKSetupRebootComputer(const SetupCallRecord *record);

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
