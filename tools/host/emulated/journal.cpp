#include "journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace host {

void appendJournal(const std::string &folder, const std::string &text) {
    const std::string path = (std::filesystem::path(folder) / "journal.log").string();
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    const bool ok =
        descriptor >= 0 &&
        ::write(descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        ::fsync(descriptor) == 0;
    const int error = errno;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    if (!ok) {
        std::cerr << "radozavu: warning: cannot write " << path << ": " << std::strerror(error)
                  << "\n";
    }
}

} // namespace host
