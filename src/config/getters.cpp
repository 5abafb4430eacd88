// The setup configuration getters: one export per key of section
// "Configuration", each returning the key's value or its default.
#include <string>

#include "config/setup_config.h"
#include "frame/returned_text.h"
#include "platform/files.h"
#include "base/handles.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "radozavu.h"

namespace {

const char *returnSetting(frame::ReturnedText &result, const char *folder, const char *key,
                          const char *defaultText) {
    return result.set(config::ReadSetting(folder, key, defaultText));
}

// The default of a file setting: the folder, a backslash and the file name.
// The folder already ends in a backslash, so the default holds two in a row,
// which the file functions read as one.
std::string fileBesideSetup(const char *folder, const char *fileName) {
    return paths::join(folder, fileName);
}

bool isErrorReadingValue(const std::string &value) {
    return mbtext::compareNoCase(value.c_str(), config::kErrorReadingValue) == 0;
}

} // namespace

#define RADOZAVU_SETTING_GETTER(exportName, key, defaultText)                                      \
    extern "C" RADOZAVU_API(const char *) exportName(const char *setupFolder) {                    \
        static frame::ReturnedText result;                                                         \
        return returnSetting(result, setupFolder, key, defaultText);                               \
    }

RADOZAVU_SETTING_GETTER(GetValidateSettings, "ValidateSettings", "YES")
RADOZAVU_SETTING_GETTER(GetInstallDirectory, "InstallDirectory", config::kErrorReadingValue)
RADOZAVU_SETTING_GETTER(GetCreateDesktopIcon, "CreateDesktopIcon", "YES")
RADOZAVU_SETTING_GETTER(GetProgramGroup, "ProgramGroup", "Quillane")
RADOZAVU_SETTING_GETTER(GetRasMessage, "RasMessage", "YES")
RADOZAVU_SETTING_GETTER(GetAllowLocalSync, "AllowLocalSync", "NO")
RADOZAVU_SETTING_GETTER(GetAllowNetworkSync, "AllowNetworkSync", "NO")
RADOZAVU_SETTING_GETTER(GetAllowOneWaySync, "AllowOneWaySync", "NO")
RADOZAVU_SETTING_GETTER(GetAllowTwoWaySync, "AllowTwoWaySync", "NO")
RADOZAVU_SETTING_GETTER(GetRebootPrompt, "RebootPrompt", "YES")
RADOZAVU_SETTING_GETTER(GetShowHelpAtStartUp, "ShowHelpAtStartUp", "YES")
RADOZAVU_SETTING_GETTER(GetDefaultWebSite, "DefaultWebSite", "http://www.brevanta.com")
RADOZAVU_SETTING_GETTER(GetCreateAgentIcon, "CreateAgentIcon", "YES")
RADOZAVU_SETTING_GETTER(GetEnableVirtualNetworkProjects, "EnableVirtualNetworkProjects", "YES")
RADOZAVU_SETTING_GETTER(GetEnableBackupProjects, "EnableBackupProjects", "YES")
RADOZAVU_SETTING_GETTER(GetCreateNetworkProviderEntries, "CreateNetworkProviderEntries", "YES")
RADOZAVU_SETTING_GETTER(GetAllowInstallOnNTServer, "AllowInstallOnNTServer", "NO")
RADOZAVU_SETTING_GETTER(GetInstallService, "InstallService", "NO")
RADOZAVU_SETTING_GETTER(GetSvcDependentServices, "SvcDependentServices", "")
RADOZAVU_SETTING_GETTER(GetUninstallRebootPrompt, "UninstallRebootPrompt", "TRUE")
RADOZAVU_SETTING_GETTER(GetDefaultCacheLocation, "DefaultCacheLocation", "")
RADOZAVU_SETTING_GETTER(GetDefaultVirtualNetworkLocation, "DefaultVirtualNetworkLocation", "")
RADOZAVU_SETTING_GETTER(GetUpgradeVersionCheck, "UpgradeVersionCheck", "")
RADOZAVU_SETTING_GETTER(GetMultipleIniFiles, "MultipleIniFiles", "YES")

extern "C" RADOZAVU_API(const char *) GetInitialPreferencesFile(const char *setupFolder) {
    static frame::ReturnedText result;
    const std::string fallback = fileBesideSetup(setupFolder, config::kInitialPreferencesFileName);
    return returnSetting(result, setupFolder, config::kInitialPreferencesKey, fallback.c_str());
}

extern "C" RADOZAVU_API(const char *) GetInitialRegFile(const char *setupFolder) {
    static frame::ReturnedText result;
    const std::string fallback = fileBesideSetup(setupFolder, config::kInitialRegistryFileName);
    return returnSetting(result, setupFolder, config::kInitialRegistryKey, fallback.c_str());
}

extern "C" RADOZAVU_API(const char *) GetExecuteOnCompletion(const char *setupFolder) {
    static frame::ReturnedText result;
    std::string value =
        config::ReadSetting(setupFolder, "ExecuteOnCompletion", config::kErrorReadingValue);
    if (!isErrorReadingValue(value)) {
        WIN32_FIND_DATAA found{};
        const handles::UniqueFindHandle search(win::FindFirstFileA(value.c_str(), &found));
        if (!search) {
            config::SetupMessageBox(setupFolder,
                                    "The file you have selected to execute at end of installation "
                                    "does not exist. No action will be taken.");
            value = config::kErrorReadingValue;
        }
    }
    return result.set(std::move(value));
}

extern "C" RADOZAVU_API(const char *) GetExecutableCmdLineOptions(const char *setupFolder) {
    static frame::ReturnedText result;
    std::string value =
        config::ReadSetting(setupFolder, "ExecutableCommandParams", config::kErrorReadingValue);
    return result.set(isErrorReadingValue(value) ? std::string() : std::move(value));
}
