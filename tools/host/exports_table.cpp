#include "exports_table.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "radozavu.h"

namespace host {

const std::vector<ExportInfo> &exportTable() {
    using S = Signature;
    static const std::vector<ExportInfo> table = {
        {"GetValidateSettings", S::TextToText, "SETUP-FOLDER"},
        {"GetInstallDirectory", S::TextToText, "SETUP-FOLDER"},
        {"GetCreateDesktopIcon", S::TextToText, "SETUP-FOLDER"},
        {"GetProgramGroup", S::TextToText, "SETUP-FOLDER"},
        {"GetRasMessage", S::TextToText, "SETUP-FOLDER"},
        {"GetAllowLocalSync", S::TextToText, "SETUP-FOLDER"},
        {"GetAllowNetworkSync", S::TextToText, "SETUP-FOLDER"},
        {"GetAllowOneWaySync", S::TextToText, "SETUP-FOLDER"},
        {"GetAllowTwoWaySync", S::TextToText, "SETUP-FOLDER"},
        {"GetRebootPrompt", S::TextToText, "SETUP-FOLDER"},
        {"GetInitialPreferencesFile", S::TextToText, "SETUP-FOLDER"},
        {"GetShowHelpAtStartUp", S::TextToText, "SETUP-FOLDER"},
        {"GetDefaultWebSite", S::TextToText, "SETUP-FOLDER"},
        {"GetCreateAgentIcon", S::TextToText, "SETUP-FOLDER"},
        {"GetEnableVirtualNetworkProjects", S::TextToText, "SETUP-FOLDER"},
        {"GetEnableBackupProjects", S::TextToText, "SETUP-FOLDER"},
        {"GetCreateNetworkProviderEntries", S::TextToText, "SETUP-FOLDER"},
        {"GetInitialRegFile", S::TextToText, "SETUP-FOLDER"},
        {"GetAllowInstallOnNTServer", S::TextToText, "SETUP-FOLDER"},
        {"GetInstallService", S::TextToText, "SETUP-FOLDER"},
        {"GetSvcDependentServices", S::TextToText, "SETUP-FOLDER"},
        {"GetUninstallRebootPrompt", S::TextToText, "SETUP-FOLDER"},
        {"GetDefaultCacheLocation", S::TextToText, "SETUP-FOLDER"},
        {"GetDefaultVirtualNetworkLocation", S::TextToText, "SETUP-FOLDER"},
        {"GetUpgradeVersionCheck", S::TextToText, "SETUP-FOLDER"},
        {"GetMultipleIniFiles", S::TextToText, "SETUP-FOLDER"},
        {"GetExecuteOnCompletion", S::TextToText, "SETUP-FOLDER"},
        {"GetExecutableCmdLineOptions", S::TextToText, "SETUP-FOLDER"},
        {"RADOzavu_SetRegistryInfo", S::TextTextToVoid, "COMPANY PRODUCT"},
        {"HKSetupAddActionLog", S::Record, "--param 'QLNSETUP.INI-PATH|MESSAGE'"},
        {"HKSetupFindRunningApps", S::Record, "--owner WINDOW"},
        {"HKServerSetupFindRunningApps", S::Record, "--owner WINDOW"},
        {"HKSetupAreThereAnyRunningServerApps", S::Record, "(record not read)"},
        {"HKSetupStopRunningServerApps", S::Record, "(record not read)"},
        {"CreateServiceEX", S::TextToInt, "SERVICE-PROGRAM-FOLDER"},
        {"HKAdd2DependentServicesEX", S::TextToInt, "SIBLING-LIBRARY-FOLDER"},
        {"HKAdd2DependentServices", S::Record, "--param SIBLING-LIBRARY-FOLDER"},
        {"HKAddNetworkProvider", S::Record, "(record not read)"},
        {"HKAddNetworkProviderEX", S::NoneToInt, ""},
        {"HKRemoveNetworkProvider", S::Record, "(record not read)"},
        {"HKRemoveNetworkProviderEX", S::NoneToInt, ""},
        {"HKSetupRebootComputer", S::Record, "(record not read)"},
        {"HKSetupValidateLocalDirectory", S::Record, "--owner WINDOW --param FOLDER"},
        {"HKSetupValidateLocalDirectoryEX", S::TextToInt, "FOLDER"},
        {"HKIsWindows2000", S::NoneToInt, ""},
        {"HKIsWindowsXP", S::NoneToInt, ""},
        {"HKSetupGetDefaultInstallLocation", S::NoneToText, ""},
        {"HKSetupGetCommonDesktopLocation", S::NoneToText, ""},
        {"HKSetupGetCommonDesktopFolderLocation", S::Record, "--param PROFILE-FILE"},
        {"HKGetSetupExePath", S::NoneToText, ""},
        {"HKPerformPostInstallActions", S::TextTextToInt, "SETUP-FOLDER TARGET-FOLDER"},
        {"MoveInitialPreferencesFileEX", S::TextTextToInt, "PREFERENCES-FILE DESTINATION-FOLDER"},
        {"MoveAllINIFilesEX", S::TextTextToInt, "SOURCE-FOLDER DESTINATION-FOLDER"},
        {"ExecInitialRegFileEX", S::TextToInt, "REGISTRY-FILE"},
        {"HKSetupCleanUpOldFiles", S::Record, "--param INSTALL-FOLDER"},
        {"HKUpdateSetupDateInRegistryEX", S::NoneToInt, ""},
        {"HKUpdateSetupDateInRegistry", S::Record, "(record not read)"},
        {"HKConfigureWriteMonitorPathsEX", S::TextToInt, "INSTALL-FOLDER"},
        {"HKConfigureWriteMonitorPaths", S::Record, "--param INSTALL-FOLDER"},
        {"HKDelRegistryEntry", S::IntTextTextToInt, "ROOT-SELECTOR KEY-PATH VALUE-NAME"},
        {"CancelUninstallEX", S::NoneToInt, ""},
        {"EditCustomizedInstallPathEX", S::TextToText, "INSTALL-PATH"},
        {"EditRegistryOnReinstallEX", S::TextToInt, "SETUP-FOLDER"},
        {"DeleteRegPackageNameEX", S::TextToInt, "INSTALLER-KEY-NAME"},
        {"QLNSetupCompressFile", S::TextTextIntToText, "SOURCE DESTINATION LEVEL"},
        {"QLNSetupUncompressFile", S::TextTextToText, "SOURCE DESTINATION"},
        {"HKGetStringFromNumber", S::IntToText, "NUMBER"},
        {"HKGetNumberFromString", S::TextToInt, "LETTERS"},
    };
    return table;
}

const ExportInfo *findExport(const std::string &name) {
    for (const ExportInfo &info : exportTable()) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

std::size_t argumentCount(Signature signature) {
    switch (signature) {
    case Signature::Record:
    case Signature::NoneToInt:
    case Signature::NoneToText:
        return 0;
    case Signature::TextToText:
    case Signature::TextToInt:
    case Signature::IntToText:
        return 1;
    case Signature::TextTextToInt:
    case Signature::TextTextToVoid:
    case Signature::TextTextToText:
        return 2;
    case Signature::IntTextTextToInt:
    case Signature::TextTextIntToText:
        return 3;
    }
    return 0;
}

bool isIntegerArgument(Signature signature, std::size_t index) {
    return (signature == Signature::IntToText && index == 0) ||
           (signature == Signature::IntTextTextToInt && index == 0) ||
           (signature == Signature::TextTextIntToText && index == 2);
}

const char *resultKind(Signature signature) {
    switch (signature) {
    case Signature::TextToText:
    case Signature::NoneToText:
    case Signature::TextTextIntToText:
    case Signature::TextTextToText:
    case Signature::IntToText:
        return "text";
    case Signature::TextTextToVoid:
        return "nothing";
    default:
        return "integer";
    }
}

std::string CallResult::describe() const {
    if (isVoid) {
        return "(no result)";
    }
    if (isText) {
        return isNull ? "(null)" : text;
    }
    return std::to_string(number);
}

namespace {

int parseInteger(const std::string &text) {
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) {
        throw std::invalid_argument("not a 32-bit integer: " + text);
    }
    return static_cast<int>(value);
}

// Function pointers are cast through void (*)(), which converts to any
// function type.
template <class F> F as(void *symbol) { return reinterpret_cast<F>(reinterpret_cast<void (*)()>(symbol)); }

CallResult textResult(const char *text) {
    CallResult result;
    result.isText = true;
    result.isNull = text == nullptr;
    result.text = text != nullptr ? text : "";
    return result;
}

CallResult numberResult(long number) {
    CallResult result;
    result.number = number;
    return result;
}

} // namespace

CallResult callExport(const ExportInfo &info, void *symbol, const CallArguments &arguments) {
    const auto &a = arguments.plain;
    using Text = const char *;
    switch (info.signature) {
    case Signature::TextToText:
        return textResult(as<Text (*)(Text)>(symbol)(a[0].c_str()));
    case Signature::Record: {
        SetupCallRecord record{};
        record.OwnerWindow = reinterpret_cast<HWND>(arguments.owner);
        record.ParamText = arguments.hasParam ? arguments.param.c_str() : nullptr;
        return numberResult(
            as<int (*)(const SetupCallRecord *)>(symbol)(arguments.noRecord ? nullptr : &record));
    }
    case Signature::NoneToInt:
        return numberResult(as<int (*)()>(symbol)());
    case Signature::NoneToText:
        return textResult(as<Text (*)()>(symbol)());
    case Signature::TextToInt:
        return numberResult(as<int (*)(Text)>(symbol)(a[0].c_str()));
    case Signature::TextTextToInt:
        return numberResult(as<int (*)(Text, Text)>(symbol)(a[0].c_str(), a[1].c_str()));
    case Signature::TextTextToVoid: {
        as<void (*)(Text, Text)>(symbol)(a[0].c_str(), a[1].c_str());
        CallResult result;
        result.isVoid = true;
        return result;
    }
    case Signature::IntTextTextToInt: {
        const int selector = parseInteger(a[0]);
        return numberResult(
            as<int (*)(int, Text, Text)>(symbol)(selector, a[1].c_str(), a[2].c_str()));
    }
    case Signature::TextTextIntToText: {
        const int level = parseInteger(a[2]);
        return textResult(as<Text (*)(Text, Text, int)>(symbol)(a[0].c_str(), a[1].c_str(), level));
    }
    case Signature::TextTextToText:
        return textResult(as<Text (*)(Text, Text)>(symbol)(a[0].c_str(), a[1].c_str()));
    case Signature::IntToText:
        return textResult(as<Text (*)(int)>(symbol)(parseInteger(a[0])));
    }
    return {};
}

} // namespace host
