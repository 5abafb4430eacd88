// Path resolution shared by the file, profile and program areas of the
// emulated machine.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace emu {

struct ResolvedPath {
    char drive = 0;
    std::vector<std::string> parts; // folder and file names below the drive's root
    bool trailingSeparator = false; // the machine path ended in a backslash
    std::string host;               // the host path, existing names matched by case
};

// Resolves a machine path; false when it names no mapped drive.
bool resolvePath(const std::string &machinePath, ResolvedPath &resolved);

// The file attributes of a host path, INVALID_FILE_ATTRIBUTES when absent.
// A file without its owner's write permission is read-only.
DWORD attributesOf(const std::string &host);

// The error Windows gives for a missing file: ERROR_PATH_NOT_FOUND when its
// folder is missing too, else ERROR_FILE_NOT_FOUND.
DWORD missingPathError(const std::string &host);

// False while a file opened with CreateFileA keeps from sharing an access
// asked for here (GENERIC_READ, GENERIC_WRITE, DELETE), or takes one that
// shareMode does not share: the opens, copies, deletions and moves of
// Windows then fail with ERROR_SHARING_VIOLATION.
bool sharingAllows(const std::string &host, DWORD access, DWORD shareMode);

// The fault a test has planned for this call of a file operation (see
// Faults), or ERROR_SUCCESS.
DWORD plannedFileFault(const char *operation);

} // namespace emu
