// Copying and deleting files, moving them at once or at the next start of
// the system, and short (8.3) paths on the emulated machine.
#include <cctype>
#include <filesystem>
#include <vector>

#include "emulator/change_observer.h"
#include "emulator/files/file_system.h"
#include "emulator/files/files_internal.h"
#include "emulator/files/short_names.h"
#include "emulator/system/system_state.h"
#include "emulator/text.h"
#include "platform/file_operations.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

constexpr DWORD kErrorInvalidData = 13;   // ERROR_INVALID_DATA
constexpr DWORD kErrorNotSameDevice = 17; // ERROR_NOT_SAME_DEVICE

// Where Windows NT keeps the moves and deletions it performs at its next start.
constexpr const char *kSessionManagerKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char *kPendingRenamesValue = "PendingFileRenameOperations";

BOOL failWith(DWORD code) {
    win::SetLastError(code);
    return FALSE;
}

bool isInUse(const std::string &host) {
    for (const std::string &path : files().filesInUse) {
        std::string inUse;
        if (hostPath(path, inUse) && inUse == host) {
            return true;
        }
    }
    return false;
}

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = kShareReadWrite | FILE_SHARE_DELETE;

// Whether an operation may open the file at host with the access and share
// mode Windows' own copy, deletion or move asks for: not while a running
// program holds it, nor while an open handle's share mode refuses that open.
bool mayOpen(const std::string &host, DWORD access, DWORD shareMode) {
    return !isInUse(host) && sharingAllows(host, access, shareMode);
}

// The full machine path of a path: drive, root and every name, with "." and
// ".." worked out, as GetFullPathNameA gives it.
std::string fullPath(const ResolvedPath &resolved) {
    std::string path = std::string(1, resolved.drive) + ":";
    for (const std::string &part : resolved.parts) {
        path += "\\" + part;
    }
    return resolved.parts.empty() ? path + "\\" : path;
}

// The Session Manager key while an entry is added, closed whichever way the
// step ends.
struct SessionManagerKey {
    HKEY handle = nullptr;
    SessionManagerKey() = default;
    SessionManagerKey(const SessionManagerKey &) = delete;
    SessionManagerKey &operator=(const SessionManagerKey &) = delete;
    ~SessionManagerKey() {
        if (handle != nullptr) {
            win::RegCloseKey(handle);
        }
    }
};

// Adds one entry to the list of file operations of the next system start:
// "\??\" and the source's full path, then the target's full path (with "!"
// in front when it may replace a file), or an empty text for a deletion.
BOOL recordPendingRename(const char *existingFile, const char *newFile, DWORD flags) {
    ResolvedPath source;
    ResolvedPath target;
    if (!resolvePath(existingFile, source) ||
        (newFile != nullptr && !resolvePath(newFile, target))) {
        return failWith(ERROR_PATH_NOT_FOUND);
    }
    std::string entry = "\\??\\" + fullPath(source);
    entry += '\0';
    if (newFile != nullptr) {
        entry += (flags & MOVEFILE_REPLACE_EXISTING) != 0 ? "!\\??\\" : "\\??\\";
        entry += fullPath(target);
    }
    entry += '\0';

    SessionManagerKey key;
    LONG rc = win::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                   nullptr, &key.handle, nullptr);
    if (rc != ERROR_SUCCESS) {
        return failWith(static_cast<DWORD>(rc));
    }
    std::vector<BYTE> list;
    DWORD type = REG_NONE;
    DWORD size = 0;
    rc = win::RegQueryValueExA(key.handle, kPendingRenamesValue, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        return failWith(static_cast<DWORD>(rc)); // never write over a list that is not read
    }
    if (rc == ERROR_SUCCESS) {
        if (type != REG_MULTI_SZ) {
            return failWith(kErrorInvalidData); // never overwrite a list that is not one
        }
        list.resize(size);
        rc = win::RegQueryValueExA(key.handle, kPendingRenamesValue, nullptr, nullptr, list.data(),
                                   &size);
        if (rc != ERROR_SUCCESS) {
            return failWith(static_cast<DWORD>(rc));
        }
        list.resize(size);
        // Drop the list's closing terminator; the new entry goes before it.
        if (list.size() >= 2 && list[list.size() - 1] == 0 && list[list.size() - 2] == 0) {
            list.pop_back();
        }
    }
    list.insert(list.end(), entry.begin(), entry.end());
    list.push_back(0);
    rc = win::RegSetValueExA(key.handle, kPendingRenamesValue, 0, REG_MULTI_SZ, list.data(),
                             static_cast<DWORD>(list.size()));
    return rc == ERROR_SUCCESS ? TRUE : failWith(static_cast<DWORD>(rc));
}

// A move done at once: a rename within a drive, over an existing file only
// with MOVEFILE_REPLACE_EXISTING, never over a folder, a read-only file or a
// file in use.
BOOL moveNow(const char *existingFile, const char *newFile, DWORD flags) {
    ResolvedPath source;
    ResolvedPath target;
    if (newFile == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    if (!resolvePath(existingFile, source) || !resolvePath(newFile, target) ||
        target.parts.empty()) {
        return failWith(ERROR_PATH_NOT_FOUND);
    }
    if (attributesOf(source.host) == INVALID_FILE_ATTRIBUTES) {
        return failWith(missingPathError(source.host));
    }
    if (source.drive != target.drive) {
        return failWith(kErrorNotSameDevice);
    }
    if (!mayOpen(source.host, DELETE, kShareAll)) {
        return failWith(ERROR_SHARING_VIOLATION);
    }
    const DWORD targetAttributes = attributesOf(target.host);
    if (targetAttributes != INVALID_FILE_ATTRIBUTES && target.host != source.host) {
        if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) {
            return failWith(ERROR_ALREADY_EXISTS);
        }
        if ((targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            return failWith(ERROR_ACCESS_DENIED);
        }
        if (!mayOpen(target.host, DELETE, kShareAll)) {
            return failWith(ERROR_SHARING_VIOLATION);
        }
    }
    noteFileChanging(source.host);
    noteFileChanging(target.host);
    std::error_code error;
    fs::rename(source.host, target.host, error);
    return error ? failWith(missingPathError(target.host)) : TRUE;
}

} // namespace
} // namespace emu

namespace win {

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
    emu::ResolvedPath source;
    emu::ResolvedPath target;
    if (existingFile == nullptr || newFile == nullptr) {
        return emu::failWith(ERROR_INVALID_PARAMETER);
    }
    if (!emu::resolvePath(existingFile, source) || !emu::resolvePath(newFile, target)) {
        return emu::failWith(ERROR_PATH_NOT_FOUND);
    }
    const DWORD sourceAttributes = emu::attributesOf(source.host);
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES) {
        return emu::failWith(emu::missingPathError(source.host));
    }
    if ((sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return emu::failWith(ERROR_ACCESS_DENIED);
    }
    // Windows reads the source, and writes the target, sharing reading and
    // writing.
    if (!emu::sharingAllows(source.host, GENERIC_READ, emu::kShareReadWrite)) {
        return emu::failWith(ERROR_SHARING_VIOLATION);
    }
    std::error_code error;
    if (target.parts.empty() || !fs::is_directory(fs::path(target.host).parent_path(), error)) {
        return emu::failWith(ERROR_PATH_NOT_FOUND);
    }
    const DWORD targetAttributes = emu::attributesOf(target.host);
    if (targetAttributes != INVALID_FILE_ATTRIBUTES) {
        if (failIfExists) {
            return emu::failWith(ERROR_FILE_EXISTS);
        }
        if ((targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            return emu::failWith(ERROR_ACCESS_DENIED);
        }
        if (target.host == source.host ||
            !emu::mayOpen(target.host, GENERIC_WRITE, emu::kShareReadWrite)) {
            return emu::failWith(ERROR_SHARING_VIOLATION);
        }
    }
    // The copy is made beside the target and renamed over it, so the target
    // is either the old file or the whole new one.
    // A planned fault strikes once the copy beside the target has been
    // written, as a disk that fills up on the copy's last bytes would.
    const std::string temporary = target.host + ".~copy";
    emu::noteFileChanging(temporary);
    emu::noteFileChanging(target.host);
    if (!fs::copy_file(source.host, temporary, fs::copy_options::overwrite_existing, error)) {
        fs::remove(temporary, error);
        return emu::failWith(ERROR_DISK_FULL);
    }
    if (const DWORD fault = emu::plannedFileFault("CopyFileA"); fault != ERROR_SUCCESS) {
        fs::remove(temporary, error);
        return emu::failWith(fault);
    }
    fs::rename(temporary, target.host, error);
    if (error) {
        fs::remove(temporary, error);
        return emu::failWith(ERROR_ACCESS_DENIED);
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR file) {
    if (const DWORD fault = emu::plannedFileFault("DeleteFileA"); fault != ERROR_SUCCESS) {
        return emu::failWith(fault);
    }
    emu::ResolvedPath resolved;
    if (file == nullptr || !emu::resolvePath(file, resolved)) {
        return emu::failWith(ERROR_PATH_NOT_FOUND);
    }
    const DWORD attributes = emu::attributesOf(resolved.host);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return emu::failWith(emu::missingPathError(resolved.host));
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return emu::failWith(ERROR_ACCESS_DENIED);
    }
    if (!emu::mayOpen(resolved.host, DELETE, emu::kShareAll)) {
        return emu::failWith(ERROR_SHARING_VIOLATION);
    }
    emu::noteFileChanging(resolved.host);
    std::error_code error;
    return fs::remove(resolved.host, error) ? TRUE : emu::failWith(ERROR_ACCESS_DENIED);
}

BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags) {
    if (const DWORD fault = emu::plannedFileFault("MoveFileExA"); fault != ERROR_SUCCESS) {
        return emu::failWith(fault);
    }
    if (existingFile == nullptr) {
        return emu::failWith(ERROR_INVALID_PARAMETER);
    }
    if ((flags & MOVEFILE_DELAY_UNTIL_REBOOT) == 0) {
        return emu::moveNow(existingFile, newFile, flags);
    }
    if (emu::system().version.platform != VER_PLATFORM_WIN32_NT) {
        // The Windows 95 family keeps such moves in WININIT.INI and has no
        // MoveFileExA of its own.
        return emu::failWith(ERROR_CALL_NOT_IMPLEMENTED);
    }
    if ((flags & MOVEFILE_COPY_ALLOWED) != 0) {
        return emu::failWith(ERROR_INVALID_PARAMETER);
    }
    return emu::recordPendingRename(existingFile, newFile, flags);
}

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size) {
    if (const DWORD fault = emu::plannedFileFault("GetShortPathNameA"); fault != ERROR_SUCCESS) {
        SetLastError(fault);
        return 0;
    }
    if (longPath == nullptr || longPath[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const emu::ShortNames shortNames = emu::files().shortNames;
    if (shortNames == emu::ShortNames::LookupFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const std::string path = longPath;
    // The start of the path (drive, root) stays as written; so do names that
    // already are short names. Every other name becomes its short name.
    std::size_t start = 0;
    std::string prefix;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        start = path.size() > 2 && emu::isPathSeparator(&path[2]) ? 3 : 2;
        prefix = path.substr(0, start);
    } else if (!path.empty() && emu::isPathSeparator(&path[0])) {
        start = 1;
        prefix = path.substr(0, 1);
    }
    std::string base = emu::files().currentDirectory; // where a relative path starts
    if (start >= 2) {
        base = path.substr(0, 2) + "\\";
    } else if (start == 1) {
        base = "\\";
    }
    emu::ResolvedPath resolved;
    if (!emu::resolvePath(base, resolved) ||
        emu::attributesOf(resolved.host) == INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    fs::path folder = resolved.host;
    std::string result = prefix;
    std::string name;
    const auto finishName = [&](bool last) {
        if (name.empty() || name == ".") {
            result += name;
            return true;
        }
        if (name == "..") {
            result += name;
            folder = folder.parent_path();
            return true;
        }
        const std::string entry = emu::findEntry(folder, name);
        std::error_code error;
        if (entry.empty() || (!last && !fs::is_directory(folder / entry, error))) {
            SetLastError(last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
            return false;
        }
        const std::string shortName =
            shortNames == emu::ShortNames::Off ? entry : emu::shortNameOf(folder, entry);
        result += emu::equalNoCase(shortName, name) ? name : shortName;
        folder /= entry;
        return true;
    };
    for (const char *p = path.c_str() + start; *p != '\0';) {
        const char *after = emu::nextCharacter(p);
        if (emu::isPathSeparator(p)) {
            if (!finishName(false)) {
                return 0;
            }
            result += *p;
            name.clear();
        } else {
            name.append(p, after);
        }
        p = after;
    }
    if (!finishName(true)) {
        return 0;
    }
    const auto length = static_cast<DWORD>(result.size());
    if (shortPath == nullptr || size <= length) {
        return length + 1; // the size the buffer needs, terminator included
    }
    result.copy(shortPath, length);
    shortPath[length] = '\0';
    return length;
}

} // namespace win
