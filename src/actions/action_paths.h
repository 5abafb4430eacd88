// Paths built by the install and uninstall actions.
#pragma once

#include <cstddef>
#include <string>

#include "base/mbtext.h"

namespace actions {

// The actions' path buffers hold 259 characters and the terminator; a step
// whose path would be longer is left out rather than cut short.
constexpr std::size_t kMaxPathLength = 259;

inline bool fitsPath(const std::string &path) { return path.size() <= kMaxPathLength; }

// The folder ready for a name to be added: one trailing backslash removed if
// it has one (a 0x5C trail byte of a double-byte character is no backslash),
// then one appended. "C:\Setup" and "C:\Setup\" both give "C:\Setup\".
inline std::string folderAndBackslash(const char *folder) {
    std::string result = folder;
    mbtext::removeTrailingBackslash(result);
    return result + "\\";
}

} // namespace actions
