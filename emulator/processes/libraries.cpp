// Libraries of the emulated machine: host shared objects loaded from machine
// paths (the stand-ins of the product's sibling libraries) with the
// libraries each one imports as a test declares them, found where Windows looks for
// them under the flags of the load, and the functions of the system's own
// kernel32.dll that only some versions of Windows have.
#include <dlfcn.h>

#include <cstdint>

#include "emulator/case_less.h"
#include "emulator/files/file_system.h"
#include "emulator/files/files_internal.h"
#include "emulator/processes/process_state.h"
#include "emulator/processes/search_path.h"
#include "emulator/system/system_state.h"
#include "emulator/text.h"
#include "platform/libraries.h"
#include "platform/processes.h"
#include "platform/system.h"
#include "platform/toolhelp.h"

namespace emu {
namespace {

// The handle GetModuleHandleA gives for kernel32.dll.
HMODULE systemLibrary() {
    static char module;
    return reinterpret_cast<HMODULE>(&module);
}

std::string folderOf(const std::string &path) {
    const char *separator = findLastCharacter(path.c_str(), '\\');
    return separator != nullptr ? path.substr(0, static_cast<std::size_t>(separator - path.c_str()))
                                : std::string();
}

// The safe search flags came with Windows 8 (and an update of Windows 7 that
// the machine does not model).
bool hasSafeLibrarySearch(const VersionInfo &version) {
    return version.platform == VER_PLATFORM_WIN32_NT &&
           (version.major > 6 || (version.major == 6 && version.minor >= 2));
}

// Tool help came with Windows 95 and, in the NT family, with Windows 2000.
bool hasToolHelp(const VersionInfo &version) {
    return version.platform != VER_PLATFORM_WIN32_NT || version.major >= 5;
}

// RADOZAVU asks only whether kernel32.dll has it, to choose its flags; the
// machine keeps no list of added folders.
void *addDllDirectory(const wchar_t * /*folder*/) {
    win::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
}

// The functions of kernel32.dll that GetProcAddress finds only on the
// versions of Windows that have them.
struct SystemFunction {
    const char *name;
    bool (*present)(const VersionInfo &);
    void *address;
};
const SystemFunction kSystemFunctions[] = {
    {"AddDllDirectory", hasSafeLibrarySearch, reinterpret_cast<void *>(&addDllDirectory)},
    {"CreateToolhelp32Snapshot", hasToolHelp,
     reinterpret_cast<void *>(&win::CreateToolhelp32Snapshot)},
    {"Process32First", hasToolHelp, reinterpret_cast<void *>(&win::Process32First)},
    {"Process32Next", hasToolHelp, reinterpret_cast<void *>(&win::Process32Next)},
};

// Where a library's imports (or a library named without a folder) are
// looked for under LoadLibraryExA's flags: with the safe search flags, the
// library's own folder and System32 as the flags ask; with
// LOAD_WITH_ALTERED_SEARCH_PATH, the library's folder in place of the
// program's; else the program's folder, the system folder, the Windows
// folder, the current folder and PATH (the safe order of Windows XP SP2 and
// later).
std::vector<std::string> searchFolders(DWORD flags, const std::string &libraryFolder) {
    const DWORD safe = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    if ((flags & safe) != 0) {
        std::vector<std::string> folders;
        if ((flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0) {
            folders.push_back(libraryFolder);
        }
        if ((flags & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0) {
            folders.push_back(systemFolder());
        }
        return folders;
    }
    const bool altered = (flags & LOAD_WITH_ALTERED_SEARCH_PATH) != 0 && !libraryFolder.empty();
    std::vector<std::string> folders = {altered ? libraryFolder : programFolder(), systemFolder(),
                                        system().windowsFolder, files().currentDirectory};
    for (const std::string &folder : pathVariableFolders()) {
        folders.push_back(folder);
    }
    return folders;
}

// The flags the machine's Windows accepts, in a combination it accepts.
bool acceptedFlags(DWORD flags, const std::string &fileName) {
    const DWORD safe = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    if ((flags & ~(safe | LOAD_WITH_ALTERED_SEARCH_PATH)) != 0) {
        return false;
    }
    if ((flags & safe) == 0) {
        return true;
    }
    // The library's own folder needs a full path to be known.
    const bool fullPath = fileName.size() > 2 && fileName[1] == ':' && fileName[2] == '\\';
    return hasSafeLibrarySearch(system().version) && (flags & LOAD_WITH_ALTERED_SEARCH_PATH) == 0 &&
           ((flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) == 0 || fullPath);
}

bool loadedByName(const std::string &name) {
    for (const LoadedLibrary &library : processes().libraries) {
        if (equalNoCase(lastName(library.machinePath), name)) {
            return true;
        }
    }
    return false;
}

HMODULE failLoad(DWORD code) {
    win::SetLastError(code);
    return nullptr;
}

void *openLibrary(const std::string &host) { return dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL); }

// A load that failed part way: what it opened is closed again.
HMODULE unload(const std::vector<LoadedLibrary> &loaded, DWORD code) {
    for (const LoadedLibrary &library : loaded) {
        if (library.object != nullptr) {
            dlclose(library.object);
        }
    }
    return failLoad(code);
}

} // namespace
} // namespace emu

namespace win {

HMODULE LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags) {
    if (fileName == nullptr || file != nullptr || !emu::acceptedFlags(flags, fileName)) {
        return emu::failLoad(ERROR_INVALID_PARAMETER);
    }
    std::string named = fileName;
    if (emu::lastName(named).find('.') == std::string::npos) {
        named += ".dll";
    }
    const std::string path =
        emu::namesAFolder(named) ? named : emu::findInFolders(named, emu::searchFolders(flags, ""));
    emu::ResolvedPath resolved;
    if (path.empty() || !emu::resolvePath(path, resolved) ||
        emu::attributesOf(resolved.host) == INVALID_FILE_ATTRIBUTES) {
        return emu::failLoad(ERROR_MOD_NOT_FOUND);
    }
    // A library already loaded is found again, however its path was spelt.
    for (const emu::LoadedLibrary &library : emu::processes().libraries) {
        if (library.hostPath == resolved.host) {
            return static_cast<HMODULE>(library.object);
        }
    }
    // Its imports first, each from the first folder of the search that
    // holds it; one that is nowhere, or no library, fails the whole load.
    std::vector<emu::LoadedLibrary> loaded;
    const auto declared = emu::processes().libraryImports.find(emu::lastName(path));
    if (declared != emu::processes().libraryImports.end()) {
        for (const std::string &import : declared->second) {
            if (emu::loadedByName(import)) {
                continue;
            }
            const std::string found =
                emu::findInFolders(import, emu::searchFolders(flags, emu::folderOf(path)));
            emu::ResolvedPath importHost;
            if (found.empty() || !emu::resolvePath(found, importHost)) {
                return emu::unload(loaded, ERROR_MOD_NOT_FOUND);
            }
            loaded.push_back(
                emu::LoadedLibrary{found, importHost.host, emu::openLibrary(importHost.host)});
            if (loaded.back().object == nullptr) {
                return emu::unload(loaded, ERROR_BAD_EXE_FORMAT);
            }
        }
    }
    loaded.push_back(emu::LoadedLibrary{fileName, resolved.host, emu::openLibrary(resolved.host)});
    if (loaded.back().object == nullptr) {
        return emu::unload(loaded, ERROR_BAD_EXE_FORMAT);
    }
    emu::processes().libraries.insert(emu::processes().libraries.end(), loaded.begin(),
                                      loaded.end());
    return static_cast<HMODULE>(loaded.back().object);
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr && (emu::equalNoCase(moduleName, "kernel32.dll") ||
                                  emu::equalNoCase(moduleName, "kernel32"))) {
        return emu::systemLibrary();
    }
    for (const emu::LoadedLibrary &library : emu::processes().libraries) {
        if (moduleName != nullptr &&
            emu::equalNoCase(emu::lastName(library.machinePath), moduleName)) {
            return static_cast<HMODULE>(library.object);
        }
    }
    return emu::failLoad(ERROR_MOD_NOT_FOUND);
}

void *GetProcAddress(HMODULE module, LPCSTR name) {
    void *entry = nullptr;
    if (module == emu::systemLibrary() && name != nullptr) {
        for (const emu::SystemFunction &function : emu::kSystemFunctions) {
            if (std::string(function.name) == name && function.present(emu::system().version)) {
                entry = function.address;
            }
        }
    } else if (module != nullptr && name != nullptr) {
        entry = dlsym(module, name);
    }
    if (entry == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
    }
    return entry;
}

} // namespace win
