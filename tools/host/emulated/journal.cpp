#include "journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace host {
namespace {

std::string journalPath(const std::string &folder) {
    return (std::filesystem::path(folder) / "journal.log").string();
}

// Writes all of text; 0, or the errno of the write that failed.
int writeAll(int descriptor, const std::string &text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(descriptor, text.data() + done, text.size() - done);
        if (wrote < 0 && errno != EINTR) {
            return errno;
        }
        if (wrote == 0) {
            return EIO; // no progress and no cause: never loop on it
        }
        done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
    }
    return 0;
}

// Whether a journal of that size ends with a whole line (an empty one does).
bool endsLine(int descriptor, off_t size) {
    char last = '\n';
    return size == 0 || (::pread(descriptor, &last, 1, size - 1) == 1 && last == '\n');
}

} // namespace

bool appendJournal(const std::string &folder, const std::string &lines) {
    const std::string path = journalPath(folder);
    const int descriptor = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    struct stat status {};
    int error = descriptor < 0 || ::fstat(descriptor, &status) != 0 ? errno : 0;
    bool takenBack = true;
    if (error == 0) {
        error = writeAll(descriptor, (endsLine(descriptor, status.st_size) ? "" : "\n") + lines);
        if (error == 0 && ::fsync(descriptor) != 0) {
            error = errno;
        }
        if (error != 0) {
            takenBack = ::ftruncate(descriptor, status.st_size) == 0;
        }
    }
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    if (error != 0) {
        std::cerr << "radozavu: warning: cannot write " << path << ": " << std::strerror(error)
                  << (takenBack ? " (the record is left out)"
                                : " (the record is cut short: it could not be taken back)")
                  << "\n";
    }
    return error == 0;
}

bool journalEndsRecord(const std::string &folder) {
    const int descriptor = ::open(journalPath(folder).c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    char tail[40];
    ssize_t got = 0;
    if (descriptor >= 0 && ::fstat(descriptor, &status) == 0) {
        const off_t from = status.st_size > static_cast<off_t>(sizeof tail)
                               ? status.st_size - static_cast<off_t>(sizeof tail)
                               : 0;
        got = ::pread(descriptor, tail, sizeof tail, from);
    }
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    std::string last(tail, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (last.empty() || last.back() != '\n') {
        return false;
    }
    last.pop_back();
    const auto lineStart = last.rfind('\n');
    if (lineStart == std::string::npos && status.st_size > got) {
        return false; // a line longer than the tail read
    }
    last.erase(0, lineStart == std::string::npos ? 0 : lineStart + 1);
    const std::string end = "-> exit status ";
    return last.size() > end.size() && last.compare(0, end.size(), end) == 0 &&
           last.find_first_not_of("0123456789", end.size()) == std::string::npos;
}

} // namespace host
