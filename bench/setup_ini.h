// The setup configuration file of the getter benchmarks, on the emulated
// machine and under Wine alike: a QLNSETUP.INI as an installation ships it,
// every key of section "Configuration" set, thirty in all. The first and the
// last getter keys, ValidateSettings and MultipleIniFiles, hold NO where
// their default is YES, so that a benchmark sees the value came from the file.
#pragma once

#include <cstdio>
#include <string>

namespace bench {

// The most a getter call may cost as a multiple of its floor.
inline constexpr double kGetterTarget = 2.0;

inline constexpr const char *kSetupIniContent =
    "[Configuration]\r\n"
    "ValidateSettings=NO\r\n"
    "InstallDirectory=%ProgramFiles%\\Brevanta\\Quillane\r\n"
    "CreateDesktopIcon=YES\r\n"
    "ProgramGroup=Quillane\r\n"
    "RasMessage=NO\r\n"
    "AllowLocalSync=YES\r\n"
    "AllowNetworkSync=YES\r\n"
    "AllowOneWaySync=YES\r\n"
    "AllowTwoWaySync=YES\r\n"
    "RebootPrompt=YES\r\n"
    "InitialPreferencesFile=QLNINIT.INI\r\n"
    "ShowHelpAtStartUp=NO\r\n"
    "DefaultWebSite=http://www.brevanta.com/quillane/support\r\n"
    "CreateAgentIcon=YES\r\n"
    "EnableVirtualNetworkProjects=YES\r\n"
    "EnableBackupProjects=YES\r\n"
    "CreateNetworkProviderEntries=YES\r\n"
    "InitialRegFile=QLNCFG.REG\r\n"
    "AllowInstallOnNTServer=NO\r\n"
    "InstallService=YES\r\n"
    "SvcDependentServices=LanmanWorkstation,WebClient\r\n"
    "UninstallRebootPrompt=TRUE\r\n"
    "DefaultCacheLocation=%ProgramFiles%\\Brevanta\\Quillane\\Cache\r\n"
    "DefaultVirtualNetworkLocation=%ProgramFiles%\\Brevanta\\Quillane\\Network\r\n"
    "UpgradeVersionCheck=5.1.0.55\r\n"
    "MultipleIniFiles=NO\r\n"
    "ExecuteOnCompletion=Error Reading Value\r\n"
    "ExecutableCommandParams=/quiet /norestart\r\n"
    "ShowErrorMessages=NO\r\n"
    "InstallActionLog=\r\n";

// The same file with keys unused by the library put before MultipleIniFiles
// until the section holds `keys` keys (at least the thirty), so that finding
// that key passes all of them.
inline std::string setupIniWithKeys(int keys) {
    const std::string content = kSetupIniContent;
    const std::size_t at = content.find("MultipleIniFiles=");
    std::string padding;
    char line[64];
    for (int number = 31; number <= keys; ++number) {
        std::snprintf(line, sizeof line, "UnusedSetting%05d=NO\r\n", number);
        padding += line;
    }
    return content.substr(0, at) + padding + content.substr(at);
}

} // namespace bench
