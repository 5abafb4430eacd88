// Registration of the product's service "QLNSvc40": its key is written in
// the system registry directly, value by value, and the product's sibling
// library Rezedev.dll is asked to configure the services that depend on it.
#include <string>

#include "base/handles.h"
#include "apps/sibling_libraries.h"
#include "base/paths.h"
#include "platform/registry.h"
#include "radozavu.h"

namespace {

constexpr const char *kServiceName = "QLNSvc40";
constexpr const char *kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40";
constexpr const char *kServiceProgram = "QLNSYNCService.exe";
constexpr const char *kServiceDisplayName = "Brevanta Synchronization Service 5.0";
constexpr const char *kServiceAccount = "LocalSystem";
constexpr DWORD kServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;

constexpr const char *kConfigureEntryPoint = "HKConfigureDependentServices";
constexpr int kConfigureSelector = 1;
// The sibling libraries' entry points are called as this library's exports are.
using ConfigureDependentServices = int(RADOZAVU_CALL *)(const char *, int);

// Writes text as REG_SZ with its terminator counted in the size.
bool writeText(HKEY key, const char *name, const std::string &text) {
    return win::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

// The service manager reads an unquoted ImagePath up to each blank in turn and
// starts the first program it finds there (C:\Sync.exe for a folder
// C:\Sync Tools\Quillane), with the service's LocalSystem rights: a path
// with a blank is written in double quotes, the form the service manager
// takes whole. A path without one stays as it always was.
std::string serviceImagePath(const char *serviceFolder) {
    const std::string program = paths::join(serviceFolder, kServiceProgram);
    return program.find(' ') == std::string::npos ? program : '"' + program + '"';
}

bool writeDword(HKEY key, const char *name, DWORD value) {
    return win::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                               sizeof value) == ERROR_SUCCESS;
}

// Loads Rezedev.dll from the folder and lets it configure the dependent
// services. The library stays loaded for the rest of the installer's life.
// An empty folder is no folder: it would load the library from the root of
// the current drive.
int configureDependentServices(const char *folder) {
    if (folder == nullptr || *folder == '\0') {
        return 1;
    }
    const HMODULE library = apps::LoadSiblingLibrary(paths::join(folder, apps::kServicesLibrary));
    if (library == nullptr) {
        return 0;
    }
    const auto configure =
        apps::SiblingEntryPoint<ConfigureDependentServices>(library, kConfigureEntryPoint);
    if (configure == nullptr) {
        return 0;
    }
    return configure(kServiceName, kConfigureSelector);
}

} // namespace

extern "C" RADOZAVU_API(int) CreateServiceEX(const char *serviceFolder) {
    if (serviceFolder == nullptr) {
        return 0;
    }
    handles::UniqueKey key;
    if (win::RegCreateKeyA(HKEY_LOCAL_MACHINE, kServiceKey, key.put()) != ERROR_SUCCESS) {
        return 0;
    }
    // Every value is tried, also after a failed one.
    bool written = writeText(key.get(), "ImagePath", serviceImagePath(serviceFolder));
    written = writeDword(key.get(), "ErrorControl", SERVICE_ERROR_IGNORE) && written;
    written = writeText(key.get(), "Description", kServiceDisplayName) && written;
    written = writeText(key.get(), "DisplayName", kServiceDisplayName) && written;
    written = writeText(key.get(), "ObjectName", kServiceAccount) && written;
    written = writeDword(key.get(), "Start", SERVICE_AUTO_START) && written;
    written = writeDword(key.get(), "Type", kServiceType) && written;
    return written ? 1 : 0;
}

extern "C" RADOZAVU_API(int) HKAdd2DependentServicesEX(const char *libraryFolder) {
    return configureDependentServices(libraryFolder);
}

extern "C" RADOZAVU_API(int) HKAdd2DependentServices(const SetupCallRecord *record) {
    return configureDependentServices(record != nullptr ? record->ParamText : nullptr);
}
