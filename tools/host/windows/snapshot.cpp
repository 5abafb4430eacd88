#include "windows/snapshot.h"

#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <memory>
#include <fstream>
#include <sstream>

#include "host_machine.h"
#include "registry_path.h"
#include "windows/user_watcher.h"

namespace host {
namespace {

// The registry keys the library writes: the product's keys, the network
// provider order, its service's key, RunOnce, the installer product lists
// and the pending file operations.
struct FixedKey {
    HKEY root;
    const char *path;
    const char *value;
};
const FixedKey kLibraryKeys[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Brevanta", ""},
    {HKEY_CURRENT_USER, "Software\\Brevanta", ""},
    {HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\NetworkProvider\\Order", ""},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\QLNSvc40", ""},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", ""},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Installer\\Products", ""},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Installer\\Products", ""},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
     "PendingFileRenameOperations"},
};

std::string lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The path of a key with each name spelt as the registry stores it, or
// nothing when the key does not exist; in the registry view given (0: the
// process's own).
bool storedPath(HKEY root, const std::string &path, REGSAM view, std::string &stored) {
    handles::UniqueKey key;
    if (RegOpenKeyExA(root, "", 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
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
            RegOpenKeyExA(key.get(), found, 0, KEY_READ | view, child.put()) != ERROR_SUCCESS) {
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

void snapshotKey(HKEY key, const std::string &keyPath, REGSAM view, Snapshot &snapshot,
                 ValuesByKey &values) {
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
        if (RegOpenKeyExA(key, name, 0, KEY_READ | view, child.put()) == ERROR_SUCCESS) {
            snapshotKey(child.get(), keyPath + "\\" + name, view, snapshot, values);
        }
    }
}

// A 32-bit process on 64-bit Windows (WoW64) sees the registry's 32-bit
// view, in which HKLM\Software\... is another key
// (HKLM\SOFTWARE\WOW6432Node\...). There the host reads both views and
// names every key where it lies, as a 64-bit registry editor shows it;
// elsewhere the one view there is, as the key's path names it.
bool runsUnderWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) != FALSE && wow64 != FALSE;
}

// The registry's own name of an open key ("\REGISTRY\MACHINE\SOFTWARE\..."),
// through ntdll's NtQueryKey; empty when it cannot be had.
std::string registryName(HKEY key) {
    using QueryKey = LONG(NTAPI *)(HANDLE, int, void *, ULONG, ULONG *);
    static const auto queryKey = reinterpret_cast<QueryKey>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
    constexpr int kKeyNameInformation = 3;
    constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005);
    constexpr LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);
    if (queryKey == nullptr) {
        return {};
    }
    // A ULONG of the name's length in bytes, then the name in UTF-16.
    std::vector<ULONG> information(1024);
    LONG status = 0;
    for (;;) {
        const auto bytes = static_cast<ULONG>(information.size() * sizeof(ULONG));
        ULONG needed = 0;
        status = queryKey(key, kKeyNameInformation, information.data(), bytes, &needed);
        if ((status != kBufferOverflow && status != kBufferTooSmall) || needed <= bytes) {
            break;
        }
        information.resize(needed / sizeof(ULONG) + 1);
    }
    if (status != 0) {
        return {};
    }
    const auto *name = reinterpret_cast<const wchar_t *>(information.data() + 1);
    const int length = static_cast<int>(information[0] / sizeof(wchar_t));
    const int size = WideCharToMultiByte(CP_ACP, 0, name, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, length, text.data(), size, nullptr, nullptr);
    return text;
}

// A key's path under its root, taken from its registry name: the names after
// \REGISTRY\MACHINE (HKLM), \REGISTRY\USER (HKU) or \REGISTRY\USER\<the
// user's SID> (HKCU). Empty when the name is not of that form.
std::string pathUnderRoot(HKEY root, const std::string &registryName) {
    const std::string machine = "\\REGISTRY\\MACHINE\\";
    const std::string users = "\\REGISTRY\\USER\\";
    const auto startsWith = [&](const std::string &start) {
        return registryName.size() > start.size() &&
               lstrcmpiA(registryName.substr(0, start.size()).c_str(), start.c_str()) == 0;
    };
    if (root == HKEY_LOCAL_MACHINE && startsWith(machine)) {
        return registryName.substr(machine.size());
    }
    if (root == HKEY_USERS && startsWith(users)) {
        return registryName.substr(users.size());
    }
    if (root == HKEY_CURRENT_USER && startsWith(users)) {
        const auto afterUser = registryName.find('\\', users.size());
        return afterUser == std::string::npos ? std::string() : registryName.substr(afterUser + 1);
    }
    return {};
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

// Under WoW64 a path in the system folder names a file of SysWOW64 (and one in
// Sysnative a file of System32): the path where it really lies, taken from
// the longest part of it that exists (GetFinalPathNameByHandleA), with the
// rest of the path after it. The snapshot then reads it with the
// redirection off.
std::string realFilePath(const std::string &path) {
    for (auto end = path.size(); end != std::string::npos && end > 3;
         end = path.rfind('\\', end - 1)) {
        const std::string existing = path.substr(0, end);
        const handles::UniqueFileHandle folder(
            CreateFileA(existing.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder) {
            continue;
        }
        char real[MAX_PATH * 4];
        const DWORD length =
            GetFinalPathNameByHandleA(folder.get(), real, sizeof real, VOLUME_NAME_DOS);
        std::string named(real, length > 0 && length < sizeof real ? length : 0);
        if (named.rfind("\\\\?\\", 0) == 0) {
            named.erase(0, 4);
        }
        if (named.empty() || lstrcmpiA(named.c_str(), existing.c_str()) == 0) {
            return path;
        }
        return named + path.substr(end);
    }
    return path;
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

RealSnapshots::RealSnapshots() : wow64_(runsUnderWow64()) {
    for (const FixedKey &key : kLibraryKeys) {
        keys_.push_back({key.root, key.path, key.value});
    }
}

void RealSnapshots::watch(const std::vector<std::string> &places) {
    for (const std::string &place : places) {
        if (place.rfind("HK", 0) == 0) {
            std::string path;
            const HKEY root = splitRoot(place, path);
            keys_.push_back({root, path, ""});
        } else if (place.size() > 3 && place.find_first_not_of('\\', 3) != std::string::npos) {
            paths_.insert(place);
        }
    }
}

Snapshot RealSnapshots::take() {
    Snapshot snapshot;
    ValuesByKey values;
    const std::vector<REGSAM> views =
        wow64_ ? std::vector<REGSAM>{KEY_WOW64_64KEY, KEY_WOW64_32KEY} : std::vector<REGSAM>{0};
    for (const KeyWatch &watched : keys_) {
        for (const REGSAM view : views) {
            std::string path;
            handles::UniqueKey key;
            if (!storedPath(watched.root, watched.path, view, path) ||
                RegOpenKeyExA(watched.root, path.c_str(), 0, KEY_READ | view, key.put()) !=
                    ERROR_SUCCESS) {
                continue;
            }
            if (view != 0) {
                const std::string where = pathUnderRoot(watched.root, registryName(key.get()));
                path = where.empty() ? path : where;
            }
            const std::string keyPath = std::string(rootName(watched.root)) + "\\" + path;
            if (watched.value.empty()) {
                snapshotKey(key.get(), keyPath, view, snapshot, values);
            } else {
                snapshotValue(key.get(), watched.value.c_str(), values[keyPath]);
            }
        }
    }
    for (auto &[keyPath, found] : values) {
        snapshot.values[keyPath] = std::make_shared<const KeyValues>(std::move(found));
    }
    for (const std::string &place : paths_) {
        std::string path = storedFilePath(place);
        void *redirection = nullptr;
        if (wow64_) {
            path = realFilePath(path);
            Wow64DisableWow64FsRedirection(&redirection);
        }
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            snapshotPath(path, attributes, snapshot);
        }
        if (wow64_) {
            Wow64RevertWow64FsRedirection(redirection);
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
    // The system folder, and under WoW64 the one its 32-bit libraries really
    // lie in (SysWOW64).
    std::vector<std::string> systemFolders;
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    systemFolders.push_back(lower(std::string(system, length) + "\\"));
    if (wow64_ && (length = GetSystemWow64DirectoryA(system, MAX_PATH)) > 0 && length < MAX_PATH) {
        systemFolders.push_back(lower(std::string(system, length) + "\\"));
    }
    std::vector<std::string> loaded;
    for (const std::string &module : loadedModules()) {
        const std::string name = lower(module);
        if (modulesBefore_.count(module) == 0 &&
            std::none_of(systemFolders.begin(), systemFolders.end(),
                         [&](const std::string &folder) { return name.rfind(folder, 0) == 0; })) {
            loaded.push_back(module);
        }
    }
    return loaded;
}

} // namespace host
