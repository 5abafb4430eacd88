#include "windows/snapshot.h"

#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <memory>
#include <fstream>
#include <sstream>

#include "machine.h"
#include "registry_path.h"
#include "windows/user_watcher.h"

namespace host {
namespace {

// The registry keys the library writes: the product's keys, the network
// provider order, its service's key, RunOnce, the installer product lists
// and the pending file operations.
struct FixedKey {
    HKEY root;
    const char *name;
    const char *path;
    const char *value;
};
const FixedKey kLibraryKeys[] = {
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Brevanta", ""},
    {HKEY_CURRENT_USER, "HKCU", "Software\\Brevanta", ""},
    {HKEY_LOCAL_MACHINE, "HKLM", "System\\CurrentControlSet\\Control\\NetworkProvider\\Order", ""},
    {HKEY_LOCAL_MACHINE, "HKLM", "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40", ""},
    {HKEY_LOCAL_MACHINE, "HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", ""},
    {HKEY_LOCAL_MACHINE, "HKLM", "SOFTWARE\\Classes\\Installer\\Products", ""},
    {HKEY_CURRENT_USER, "HKCU", "Software\\Microsoft\\Installer\\Products", ""},
    {HKEY_LOCAL_MACHINE, "HKLM", "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
     "PendingFileRenameOperations"},
};

std::string lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The path of a key with each name spelt as the registry stores it, or
// nothing when the key does not exist.
bool storedPath(HKEY root, const std::string &path, std::string &stored) {
    handles::UniqueKey key;
    if (RegOpenKeyExA(root, "", 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    stored.clear();
    std::istringstream names(path);
    for (std::string name; std::getline(names, name, '\\');) {
        if (name.empty()) {
            continue;
        }
        char found[256];
        bool matched = false;
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof found;
            if (RegEnumKeyExA(key.get(), i, found, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            if (lstrcmpiA(found, name.c_str()) == 0) {
                matched = true;
                break;
            }
        }
        handles::UniqueKey child;
        if (!matched ||
            RegOpenKeyExA(key.get(), found, 0, KEY_READ, child.put()) != ERROR_SUCCESS) {
            return false;
        }
        if (!stored.empty()) {
            stored += '\\';
        }
        stored += found;
        key = std::move(child);
    }
    return true;
}

void snapshotValue(HKEY key, const char *name, KeyValues &values) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return;
    }
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size) ==
        ERROR_SUCCESS) {
        data.resize(size);
        values[name] = describeValue(type, data);
    }
}

// The values of the keys a snapshot takes, by key path, until it is whole.
using ValuesByKey = std::map<std::string, KeyValues>;

void snapshotKey(HKEY key, const std::string &keyPath, Snapshot &snapshot, ValuesByKey &values) {
    snapshot.keys[keyPath] = true;
    KeyValues &own = values[keyPath];
    char name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        snapshotValue(key, name, own);
    }
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        handles::UniqueKey child;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, child.put()) == ERROR_SUCCESS) {
            snapshotKey(child.get(), keyPath + "\\" + name, snapshot, values);
        }
    }
}

std::string fileContent(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void snapshotPath(const std::string &path, DWORD attributes, Snapshot &snapshot) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        snapshot.files[path] = describeFile(fileContent(path));
        return;
    }
    snapshot.files[path] = "folder";
    WIN32_FIND_DATAA found;
    const handles::UniqueFindHandle search(FindFirstFileA((path + "\\*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more;
         more = FindNextFileA(search.get(), &found) != FALSE) {
        if (lstrcmpA(found.cFileName, ".") != 0 && lstrcmpA(found.cFileName, "..") != 0) {
            snapshotPath(path + "\\" + found.cFileName, found.dwFileAttributes, snapshot);
        }
    }
}

// A path as the file system spells it, without a trailing backslash.
std::string storedFilePath(std::string path) {
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    char stored[MAX_PATH * 4];
    const DWORD length = GetLongPathNameA(path.c_str(), stored, sizeof stored);
    return length > 0 && length < sizeof stored ? std::string(stored, length) : path;
}

std::string processImage(DWORD id, const char *exeFile) {
    const handles::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    char image[MAX_PATH * 4];
    DWORD size = sizeof image;
    if (process && QueryFullProcessImageNameA(process.get(), 0, image, &size) != FALSE) {
        return std::string(image, size);
    }
    return exeFile;
}

std::set<std::string> loadedModules() {
    std::set<std::string> modules;
    const handles::UniqueFileHandle list(
        CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId()));
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    for (bool more = list && Module32First(list.get(), &module) != FALSE; more;
         more = Module32Next(list.get(), &module) != FALSE) {
        modules.insert(module.szExePath);
    }
    return modules;
}

// Adds a top-level window with a title to the snapshot at found.
BOOL CALLBACK addWindow(HWND window, LPARAM found) {
    char title[512] = "";
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    // Each program's input method window comes and goes with it.
    if (GetWindowTextA(window, title, sizeof title) > 0 && lstrcmpA(className, "IME") != 0) {
        reinterpret_cast<Snapshot *>(found)->windows[reinterpret_cast<std::uintptr_t>(window)] =
            title;
    }
    return TRUE;
}

} // namespace

RealSnapshots::RealSnapshots() {
    for (const FixedKey &key : kLibraryKeys) {
        keys_.push_back({key.root, key.name, key.path, key.value});
    }
}

void RealSnapshots::watch(const std::vector<std::string> &places) {
    for (const std::string &place : places) {
        if (place.rfind("HK", 0) == 0) {
            std::string path;
            const HKEY root = splitRoot(place, path);
            keys_.push_back({root, place.substr(0, place.find('\\')), path, ""});
        } else if (place.size() > 3 && place.find_first_not_of('\\', 3) != std::string::npos) {
            paths_.insert(place);
        }
    }
}

Snapshot RealSnapshots::take() {
    Snapshot snapshot;
    ValuesByKey values;
    for (const KeyWatch &watched : keys_) {
        std::string path;
        handles::UniqueKey key;
        if (!storedPath(watched.root, watched.path, path) ||
            RegOpenKeyExA(watched.root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
            continue;
        }
        const std::string keyPath = watched.name + "\\" + path;
        if (watched.value.empty()) {
            snapshotKey(key.get(), keyPath, snapshot, values);
        } else {
            snapshotValue(key.get(), watched.value.c_str(), values[keyPath]);
        }
    }
    for (auto &[keyPath, found] : values) {
        snapshot.values[keyPath] = std::make_shared<const KeyValues>(std::move(found));
    }
    for (const std::string &place : paths_) {
        const std::string path = storedFilePath(place);
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            snapshotPath(path, attributes, snapshot);
        }
    }
    const handles::UniqueFileHandle list(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 process{};
    process.dwSize = sizeof process;
    for (bool more = list && Process32First(list.get(), &process) != FALSE; more;
         more = Process32Next(list.get(), &process) != FALSE) {
        snapshot.processes[process.th32ProcessID].image =
            processImage(process.th32ProcessID, process.szExeFile);
    }
    EnumWindows(addWindow, reinterpret_cast<LPARAM>(&snapshot));
    const handles::UniqueServiceHandle manager(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    DWORD needed = 0;
    DWORD count = 0;
    DWORD resume = 0;
    std::vector<BYTE> buffer(64 * 1024);
    if (manager &&
        EnumServicesStatusA(manager.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                            reinterpret_cast<ENUM_SERVICE_STATUSA *>(buffer.data()),
                            static_cast<DWORD>(buffer.size()), &needed, &count, &resume) != FALSE) {
        const auto *services = reinterpret_cast<const ENUM_SERVICE_STATUSA *>(buffer.data());
        for (DWORD i = 0; i < count; ++i) {
            snapshot.services[services[i].lpServiceName] = services[i].ServiceStatus.dwCurrentState;
        }
    }
    return snapshot;
}

Snapshot RealSnapshots::before() {
    Snapshot snapshot = take();
    processes_.clear();
    images_.clear();
    for (const auto &[id, process] : snapshot.processes) {
        images_[id] = process.image;
        processes_[id].reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         static_cast<DWORD>(id)));
    }
    windowOwners_.clear();
    for (const auto &[window, title] : snapshot.windows) {
        DWORD owner = 0;
        GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &owner);
        windowOwners_[reinterpret_cast<HWND>(window)] = owner;
    }
    modulesBefore_ = loadedModules();
    return snapshot;
}

Snapshot RealSnapshots::after() {
    for (const auto &[window, owner] : windowOwners_) {
        const auto process = processes_.find(owner);
        if (owner != GetCurrentProcessId() && IsWindow(window) == FALSE &&
            process != processes_.end() && process->second) {
            WaitForSingleObject(process->second.get(), kPatienceMs);
        }
    }
    Snapshot snapshot = take();
    for (const auto &[id, handle] : processes_) {
        DWORD code = 0;
        if (handle && WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(handle.get(), &code) != FALSE) {
            ProcessState &state = snapshot.processes[id];
            state.image = images_[id];
            state.exited = true;
            state.exitCode = code;
        }
    }
    return snapshot;
}

std::vector<std::string> RealSnapshots::librariesLoaded() const {
    char system[MAX_PATH];
    const UINT length = GetSystemDirectoryA(system, MAX_PATH);
    const std::string systemFolder = lower(std::string(system, length) + "\\");
    std::vector<std::string> loaded;
    for (const std::string &module : loadedModules()) {
        if (modulesBefore_.count(module) == 0 && lower(module).rfind(systemFolder, 0) != 0) {
            loaded.push_back(module);
        }
    }
    return loaded;
}

} // namespace host
