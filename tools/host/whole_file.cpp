#include "whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "host_error.h"

namespace host {
namespace {

// Renames from over to (replacing it); the cause when it cannot. Paths are
// narrow, as fopen takes them: the ANSI code page on Windows.
std::string renameOver(const std::string &from, const std::string &to) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        return "the file cannot be replaced (error " + std::to_string(GetLastError()) + ")";
    }
#else
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return std::strerror(errno);
    }
#endif
    return {};
}

// Gives the new file the permissions of the one it replaces, which on the
// emulated machine carry the read-only attribute.
void keepPermissions(std::FILE *out, const std::string &path) {
#ifndef _WIN32
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        ::fchmod(fileno(out), existing.st_mode & 07777);
    }
#else
    (void)out;
    (void)path;
#endif
}

} // namespace

void writeWholeFile(const std::string &path, const std::string &content, const std::string &what) {
    // Beside the file, so that the rename stays on its file system; hidden,
    // and removed again whatever happens.
    const std::size_t nameAt = path.find_last_of("/\\") + 1; // 0 when there is no folder
    const std::string beside = path.substr(0, nameAt) + "." + path.substr(nameAt) + ".radozavu-new";
    std::FILE *out = std::fopen(beside.c_str(), "wb");
    if (out == nullptr) {
        throw HostError("cannot write " + what + ": " + std::strerror(errno));
    }
    keepPermissions(out, path);
    bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size() &&
                   std::fflush(out) == 0;
    std::string cause = written ? "" : std::strerror(errno); // before fclose can change errno
    if (std::fclose(out) != 0 && written) {
        written = false;
        cause = std::strerror(errno);
    }
    if (written) {
        cause = renameOver(beside, path);
    }
    if (!cause.empty()) {
        std::remove(beside.c_str());
        throw HostError("cannot write " + what + ": " + cause);
    }
}

} // namespace host
