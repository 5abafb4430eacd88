// Read-only files for the conformance cases: the write permission on the
// emulated machine's host file, the read-only attribute on Windows. A case
// makes such a file writable again before it ends, so that its scratch
// folder can be removed.
#pragma once

#include <filesystem>
#include <string>

#include "case.h"
#include "platform.h"

namespace conformance {

// Wine leaves the refusal to write a read-only file to the host's file
// permissions, which a process running as root (as the suite's runs do) is
// never refused; only the deletion of such a file checks the attribute.
inline bool writesToReadOnlyFilesAreRefused() {
    return !knownWineDifference("a read-only file can be written by a process running as root");
}

inline void setReadOnly(const std::string &machinePath, bool readOnly) {
    namespace fs = std::filesystem;
    fs::permissions(platform::hostPath(machinePath), fs::perms::owner_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

} // namespace conformance
