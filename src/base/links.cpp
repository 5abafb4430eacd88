#include "base/links.h"

#include "base/mbtext.h"
#include "platform/file_io.h"
#include "platform/files.h"
#include "platform/system.h"

namespace links {
namespace {

bool isReparsePoint(const std::string &path) {
    const DWORD attributes = win::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

} // namespace

bool reachedThroughLink(const std::string &folder, const std::string &path) {
    if (path.size() <= folder.size()) {
        return false;
    }
    // Each folder on the way after folder, then the last name itself.
    for (const char *p = path.c_str() + folder.size(); *p != '\0'; p = mbtext::next(p)) {
        if (*p == '\\' && isReparsePoint(std::string(path.c_str(), p))) {
            return true;
        }
    }
    return isReparsePoint(path);
}

handles::UniqueFileHandle OpenWithoutFollowing(const std::string &path, DWORD access,
                                               DWORD shareMode, DWORD disposition) {
    handles::UniqueFileHandle file(
        win::CreateFileA(path.c_str(), access, shareMode, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file && win::GetLastError() == ERROR_INVALID_PARAMETER) {
        file.reset(win::CreateFileA(path.c_str(), access, shareMode, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (file && (!win::GetFileInformationByHandle(file.get(), &information) ||
                 (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
        file.reset();
    }
    return file;
}

} // namespace links
