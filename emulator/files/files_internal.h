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

// What a host path under a drive's folder is to the machine. A host link
// to a folder inside the machine's drives stands for a junction: the
// machine follows it and shows it as a reparse point. Anything else that is
// no plain file or folder (a link to a file, a dangling link, a link out of
// the drives, a FIFO, a socket, a device) is hidden: it is never followed or
// opened, searches leave it out, and a path through it names nothing.
enum class EntryKind { Absent, Plain, Junction, Hidden };
// junctionTarget, when given, receives the folder a junction leads to.
EntryKind entryKind(const std::string &host, std::string *junctionTarget);

// Resolves a machine path; false when it names no mapped drive, or passes
// through a hidden entry.
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

// The host descriptor of a file opened with CreateFileA; -1 for a handle
// that is no such file.
int hostDescriptorOf(HANDLE file);

// The fault a test has planned for this call of a file operation (see
// Faults), or ERROR_SUCCESS.
DWORD plannedFileFault(const char *operation);

} // namespace emu
