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
