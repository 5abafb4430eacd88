// The cases on Windows or under Wine: the real API of the machine the suite
// runs on. The scratch folder lies in the user's temporary folder and is
// named after the process, so that two runs never share one.
#include <windows.h>
#include <shlwapi.h>

#include <filesystem>
#include <stdexcept>

#include "platform.h"
#include "wine_support.h"

namespace conformance::platform {
namespace {

std::string &folderPath() {
    static std::string folder;
    return folder;
}

// The junctions the case made, removed before the scratch folder: removing
// the folder would lead through them.
std::vector<std::string> &junctions() {
    static std::vector<std::string> made;
    return made;
}

void removeScratch() {
    for (const std::string &junction : junctions()) {
        wine::removeJunction(junction);
    }
    junctions().clear();
    std::error_code error;
    std::filesystem::remove_all(folderPath(), error);
    SHDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
}

} // namespace

void startRun() {
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) {
        throw std::runtime_error("no temporary folder");
    }
    folderPath() =
        std::string(temp) + "radozavu-conformance-" + std::to_string(GetCurrentProcessId());
}

void startCase() {
    removeScratch();
    if (!CreateDirectoryA(folderPath().c_str(), nullptr)) {
        throw std::runtime_error("cannot make the scratch folder " + folderPath());
    }
}

void endCase() { removeScratch(); }

const std::string &scratchFolder() { return folderPath(); }

std::string hostPath(const std::string &machinePath) { return machinePath; }

void makeJunction(const std::string &link, const std::string &target) {
    if (!wine::makeJunction(link, target)) {
        throw std::runtime_error("cannot make the junction " + link);
    }
    junctions().push_back(link);
}

std::string name() {
    using WineVersion = const char *(__cdecl *)();
    const auto wineVersion = reinterpret_cast<WineVersion>(reinterpret_cast<void *>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return wineVersion != nullptr ? std::string("Wine ") + wineVersion() : "Windows";
}

bool underWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) != FALSE && wow64 != FALSE;
}

std::vector<std::string> subkeyNames(HKEY root, const std::string &path, REGSAM view) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | view, &key) !=
        ERROR_SUCCESS) {
        return names;
    }
    char name[256];
    DWORD size = sizeof name;
    for (DWORD index = 0; RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr,
                                        nullptr) == ERROR_SUCCESS;
         ++index, size = sizeof name) {
        names.emplace_back(name, size);
    }
    RegCloseKey(key);
    return names;
}

void removeKey(HKEY root, const std::string &path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExA(root, path.c_str(), view, 0);
}

bool underWine() {
    static const bool wine = name() != "Windows";
    return wine;
}

} // namespace conformance::platform
