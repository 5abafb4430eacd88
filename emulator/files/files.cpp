// Drives, paths and file searches of the emulated machine. Machine paths
// (C:\Setup\QLNSETUP.INI) map onto host folders, one per drive letter; names
// match without regard to letter case, as on Windows.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "emulator/case_less.h"
#include "emulator/faults.h"
#include "emulator/files/file_system.h"
#include "emulator/files/files_internal.h"
#include "emulator/files/short_names.h"
#include "emulator/kernel/kernel_objects.h"
#include "emulator/text.h"
#include "emulator/wow64/wow64.h"
#include "platform/files.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

// Splits a path into its parts at backslashes and slashes that are whole
// characters (never the trail byte of a double-byte character).
std::vector<std::string> splitPath(const std::string &path, bool &trailingSeparator) {
    std::vector<std::string> parts;
    std::string part;
    trailingSeparator = false;
    for (const char *p = path.c_str(); *p != '\0';) {
        const char *after = nextCharacter(p);
        if (isPathSeparator(p)) {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
            trailingSeparator = true;
        } else {
            part.append(p, after);
            trailingSeparator = false;
        }
        p = after;
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

// Whether a host path lies in the folder of one of the machine's drives
// (a drive whose folder is itself a link has none).
bool insideDrives(const fs::path &canonicalPath) {
    for (const auto &[letter, drive] : files().drives) {
        std::error_code error;
        const fs::path root = fs::canonical(drive.hostFolder, error);
        if (!error && !fs::is_symlink(drive.hostFolder, error) &&
            std::mismatch(root.begin(), root.end(), canonicalPath.begin(), canonicalPath.end())
                    .first == root.end()) {
            return true;
        }
    }
    return false;
}

} // namespace

EntryKind entryKind(const std::string &host, std::string *junctionTarget) {
    struct stat info {};
    if (::lstat(host.c_str(), &info) != 0) {
        return EntryKind::Absent;
    }
    if (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode)) {
        return EntryKind::Plain;
    }
    if (!S_ISLNK(info.st_mode)) {
        return EntryKind::Hidden; // a FIFO, a socket or a device
    }
    std::error_code error;
    const fs::path target = fs::canonical(host, error);
    if (error || !fs::is_directory(target, error) || !insideDrives(target)) {
        return EntryKind::Hidden;
    }
    if (junctionTarget != nullptr) {
        *junctionTarget = target.string();
    }
    return EntryKind::Junction;
}

bool resolvePath(const std::string &machinePath, ResolvedPath &resolved) {
    std::string path = machinePath;
    if (path.size() >= 2 && isPathSeparator(&path[0]) && isPathSeparator(&path[1])) {
        return false; // network (UNC) paths name no drive of this machine
    }
    char letter = 0;
    std::string rest;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        rest = path.substr(2);
    } else if (!path.empty() && isPathSeparator(&path[0])) {
        letter = static_cast<char>(
            std::toupper(static_cast<unsigned char>(files().currentDirectory[0])));
        rest = path;
    } else {
        letter = static_cast<char>(
            std::toupper(static_cast<unsigned char>(files().currentDirectory[0])));
        rest = files().currentDirectory.substr(2) + "\\" + path;
    }
    auto drive = files().drives.find(letter);
    if (drive == files().drives.end()) {
        return false;
    }
    bool trailing = false;
    std::vector<std::string> parts;
    for (std::string &part : splitPath(rest, trailing)) {
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(std::move(part));
    }
    redirectSystemFolder(letter, parts);
    resolved.drive = letter;
    resolved.parts = parts;
    resolved.trailingSeparator = trailing && !parts.empty();
    // The host folders are never left: a junction leads to the folder it
    // names, and a name that is no plain file, folder or junction names
    // nothing, whatever follows it.
    fs::path host = drive->second.hostFolder;
    if (entryKind(host.string(), nullptr) == EntryKind::Hidden) {
        return false;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        // The entry the name denotes: itself, else one matched without
        // regard to case or by its short name, else the name as given.
        fs::path entry = host / parts[i];
        std::string target;
        EntryKind kind = entryKind(entry.string(), &target);
        if (kind == EntryKind::Absent) {
            if (const std::string found = findEntry(host, parts[i]); !found.empty()) {
                entry = host / found;
                kind = entryKind(entry.string(), &target);
            }
        }
        if (kind == EntryKind::Hidden) {
            return false;
        }
        host = kind == EntryKind::Junction && i + 1 < parts.size() ? fs::path(target) : entry;
    }
    resolved.host = host.string();
    return true;
}

std::string redirectedPath(const std::string &machinePath) {
    ResolvedPath resolved;
    if (!underWow64() || !resolvePath(machinePath, resolved)) {
        return machinePath;
    }
    std::string path = std::string(1, resolved.drive) + ":";
    for (const std::string &part : resolved.parts) {
        path += "\\" + part;
    }
    return resolved.parts.empty() || resolved.trailingSeparator ? path + "\\" : path;
}

bool hostPath(const std::string &machinePath, std::string &result) {
    ResolvedPath resolved;
    if (!resolvePath(machinePath, resolved)) {
        return false;
    }
    result = resolved.host;
    return true;
}

DWORD attributesOf(const std::string &host) {
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0) {
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (entryKind(host, nullptr) == EntryKind::Junction) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    if ((info.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}

DWORD plannedFileFault(const char *operation) { return faults().next(FaultArea::Files, operation); }

DWORD missingPathError(const std::string &host) {
    std::error_code error;
    return fs::is_directory(fs::path(host).parent_path(), error) ? ERROR_FILE_NOT_FOUND
                                                                 : ERROR_PATH_NOT_FOUND;
}

namespace {

// The characters at a and b are the same, letters without regard to case.
bool sameCharacter(const char *a, const char *b) {
    const std::size_t length = characterLength(a);
    if (length != characterLength(b)) {
        return false;
    }
    return equalNoCase(std::string(a, length), std::string(b, length));
}

// Matches a name against a pattern of '*' (any characters) and '?' (one
// character), character by character. A mismatch after a '*' goes back to
// it and lets it take one character more, so the time grows with the
// lengths of the two texts, never exponentially with the number of stars.
bool wildcardMatch(const char *pattern, const char *name) {
    const char *afterStar = nullptr; // the pattern after the last '*' seen
    const char *starTakes = nullptr; // where the name goes on when that '*' takes one more
    while (*name != '\0') {
        if (isCharacter(pattern, '*')) {
            afterStar = ++pattern;
            starTakes = name;
        } else if (*pattern != '\0' &&
                   (isCharacter(pattern, '?') || sameCharacter(pattern, name))) {
            pattern = nextCharacter(pattern);
            name = nextCharacter(name);
        } else if (afterStar != nullptr) {
            pattern = afterStar;
            starTakes = nextCharacter(starTakes);
            name = starTakes;
        } else {
            return false;
        }
    }
    while (isCharacter(pattern, '*')) {
        ++pattern;
    }
    return *pattern == '\0';
}

struct FileSearch : KernelObject {
    std::vector<WIN32_FIND_DATAA> found;
    std::size_t next = 0;
};

WIN32_FIND_DATAA findData(const std::string &name, const fs::path &host) {
    WIN32_FIND_DATAA data{};
    data.dwFileAttributes = attributesOf(host.string());
    std::error_code error;
    if (fs::is_regular_file(host, error)) {
        const auto size = static_cast<std::uint64_t>(fs::file_size(host, error));
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    }
    std::strncpy(data.cFileName, name.c_str(), MAX_PATH - 1);
    return data;
}

} // namespace
} // namespace emu

namespace win {

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
    if (const DWORD fault = emu::plannedFileFault("FindFirstFileA"); fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return INVALID_HANDLE_VALUE;
    }
    emu::ResolvedPath resolved;
    // An empty pattern names no folder to search.
    if (pattern == nullptr || pattern[0] == '\0' || !emu::resolvePath(pattern, resolved)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (resolved.parts.empty() || resolved.trailingSeparator) {
        SetLastError(ERROR_FILE_NOT_FOUND); // a folder name ending in a separator matches nothing
        return INVALID_HANDLE_VALUE;
    }
    const fs::path host(resolved.host);
    const fs::path folder = host.parent_path();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::string &last = resolved.parts.back();
    auto search = std::make_shared<emu::FileSearch>();
    if (last.find_first_of("*?") == std::string::npos) {
        if (fs::exists(host, error)) {
            search->found.push_back(emu::findData(host.filename().string(), host));
        }
    } else {
        std::vector<std::string> names;
        if (resolved.parts.size() > 1) {
            names = {".", ".."}; // every folder but a drive's root lists these
        }
        for (const auto &entry : fs::directory_iterator(folder, error)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end(), emu::CaseLess());
        // A drive that makes 8.3 names matches them too: "*.ini" finds
        // "notes.ini_old" by its short name NOTES~1.INI.
        const auto shortNames = emu::files().shortNames == emu::ShortNames::Off
                                    ? std::map<std::string, std::string, emu::CaseLess>()
                                    : emu::shortNamesOf(folder);
        for (const std::string &name : names) {
            if (emu::entryKind((folder / name).string(), nullptr) == emu::EntryKind::Hidden) {
                continue;
            }
            const auto shortName = shortNames.find(name);
            if (emu::wildcardMatch(last.c_str(), name.c_str()) ||
                (shortName != shortNames.end() &&
                 emu::wildcardMatch(last.c_str(), shortName->second.c_str()))) {
                search->found.push_back(emu::findData(name, folder / name));
            }
        }
    }
    if (search->found.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *found = search->found[0];
    search->next = 1;
    return emu::kernel().handles.add(search);
}

BOOL FindNextFileA(HANDLE handle, LPWIN32_FIND_DATAA found) {
    auto search = emu::kernel().handles.getAs<emu::FileSearch>(handle);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (const DWORD fault = emu::plannedFileFault("FindNextFileA"); fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return FALSE;
    }
    if (search->next >= search->found.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *found = search->found[search->next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    if (!emu::kernel().handles.getAs<emu::FileSearch>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    emu::kernel().handles.close(handle);
    return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
    if (const DWORD fault = emu::plannedFileFault("GetFileAttributesA"); fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return INVALID_FILE_ATTRIBUTES;
    }
    emu::ResolvedPath resolved;
    if (path == nullptr || !emu::resolvePath(path, resolved)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    const DWORD attributes = emu::attributesOf(resolved.host);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        SetLastError(emu::missingPathError(resolved.host));
    }
    return attributes;
}

} // namespace win
