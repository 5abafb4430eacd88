// Paths as the library builds them: the one limit of the system's path
// buffers and the ways a name is put into a folder, each the form one set
// of exports has always used; and what a path names (one file, a file that
// is there, something inside a folder).
#pragma once

#include <cstddef>
#include <string>

#include "base/mbtext.h"
#include "platform/types.h"

namespace paths {

// The system's path buffers (MAX_PATH) hold 259 characters and the
// terminator. A path the library would build longer is left out, never cut
// short into the path of another file; the product's names that live in
// such buffers (registry key names, the display name) share the limit.
constexpr std::size_t kPathBufferSize = MAX_PATH;
constexpr std::size_t kMaxPathLength = kPathBufferSize - 1;

inline bool fits(const std::string &path) { return path.size() <= kMaxPathLength; }

// The folder, a backslash and the name: the library's join. A folder that
// ends in a backslash already gets a second one, which the file functions
// read as one (the text callers have always been given). A null folder is
// an empty one.
inline std::string join(const char *folder, const char *name) {
    return std::string(folder != nullptr ? folder : "") + "\\" + name;
}

// The folder and the name with exactly one backslash between them: one
// trailing backslash of the folder is taken off first (a 0x5C trail byte of a
// double-byte character is no backslash). "C:\Setup" and "C:\Setup\" both
// give "C:\Setup\name". The install and uninstall actions build their paths so.
inline std::string joinOnce(const char *folder, const std::string &name) {
    std::string result = folder;
    mbtext::removeTrailingBackslash(result);
    return result + "\\" + name;
}

// The folder text followed directly by the name, for the exports whose
// folder argument carries its own trailing backslash: "C:\Setup" and a name
// give "C:\Setupname", as those exports are documented to read. A null
// folder is an empty one.
inline std::string append(const char *folderWithBackslash, const std::string &name) {
    return std::string(folderWithBackslash != nullptr ? folderWithBackslash : "") + name;
}

// A folder argument the caller left empty: joined to a name it would name a
// file in the current folder or the root of the current drive, so the
// exports that write into a folder take it as no folder at all.
inline bool isNoFolder(const char *folder) { return folder == nullptr || *folder == '\0'; }

// True when path can name one file only: no wildcard ('*', '?'), which the
// search functions would match against other names, and no double quote,
// which no file name holds and which would end a quoted argument early.
bool namesOneFile(const std::string &path);

// True when a file, not a folder, is at path.
bool isExistingFile(const std::string &path);

// True when path names something below folderWithBackslash: it begins with
// that folder (letters in any case) and no name after it is "." or "..",
// which would lead back out.
bool liesInside(const std::string &folderWithBackslash, const std::string &path);

} // namespace paths
