#include "base/paths.h"

#include <cstring>

#include "platform/files.h"

namespace paths {
namespace {

bool isSeparator(const char *p) { return *p == '\\' || *p == '/'; }

} // namespace

bool namesOneFile(const std::string &path) {
    const char *text = path.c_str();
    return mbtext::findChar(text, '*') == nullptr && mbtext::findChar(text, '?') == nullptr &&
           mbtext::findChar(text, '"') == nullptr;
}

bool isExistingFile(const std::string &path) {
    const DWORD attributes = win::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool liesInside(const std::string &folderWithBackslash, const std::string &path) {
    const std::size_t folderLength = folderWithBackslash.size();
    if (path.size() <= folderLength ||
        mbtext::prefixLength(path.c_str(), folderLength) != folderLength ||
        mbtext::compareNoCase(path.substr(0, folderLength).c_str(), folderWithBackslash.c_str()) !=
            0) {
        return false;
    }
    // Each name after the folder, between separators of either kind.
    const char *name = path.c_str() + folderLength;
    for (const char *p = name;; p = mbtext::next(p)) {
        if (*p != '\0' && !isSeparator(p)) {
            continue;
        }
        const auto length = static_cast<std::size_t>(p - name);
        if ((length == 1 && name[0] == '.') || (length == 2 && std::strncmp(name, "..", 2) == 0)) {
            return false;
        }
        if (*p == '\0') {
            return true;
        }
        name = p + 1;
    }
}

} // namespace paths
