#include "journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "host_error.h"

namespace host {
namespace {

std::string journalPath(const std::string &folder) {
    return (std::filesystem::path(folder) / "journal.log").string();
}

// Opens the journal, never through a link and never blocking on a special
// file; -1 with errno set when it cannot, or when it is no plain file.
int openJournal(const std::string &path, int flags) {
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    struct stat status {};
    if (descriptor >= 0 && (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(descriptor);
        errno = EINVAL;
        return -1;
    }
    return descriptor;
}

// Writes all of text at offset; 0, or the errno of the write that failed.
int writeAllAt(int descriptor, const std::string &text, off_t offset) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::pwrite(descriptor, text.data() + done, text.size() - done,
                                       offset + static_cast<off_t>(done));
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

void warn(const std::string &path, int error, const char *outcome) {
    std::cerr << "radozavu: warning: cannot write " << path << ": "
              << (error == EINVAL ? "it is not a plain file" : std::strerror(error)) << " ("
              << outcome << ")\n";
}

// Appends lines whole (see appendJournal); where they begin, or nothing.
std::optional<long long> append(const std::string &folder, const std::string &lines) {
    const std::string path = journalPath(folder);
    const int descriptor = openJournal(path, O_RDWR | O_CREAT);
    struct stat status {};
    int error = descriptor < 0 || ::fstat(descriptor, &status) != 0 ? errno : 0;
    bool takenBack = true;
    const std::string lineBreak = error == 0 && !endsLine(descriptor, status.st_size) ? "\n" : "";
    if (error == 0) {
        error = writeAllAt(descriptor, lineBreak + lines, status.st_size);
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
        warn(path, error,
             takenBack ? "the record is left out"
                       : "the record is cut short: it could not be taken back");
        return std::nullopt;
    }
    return static_cast<long long>(status.st_size) + static_cast<long long>(lineBreak.size());
}

} // namespace

bool appendJournal(const std::string &folder, const std::string &lines) {
    return append(folder, lines).has_value();
}

std::optional<long long> beginRecord(const std::string &folder, const std::string &body) {
    const auto at = append(folder, body + kUnfinishedRecord);
    return at ? std::optional(*at + static_cast<long long>(body.size())) : std::nullopt;
}

// The end is written over the unfinished line, which it is always longer
// than: killed at any point, the record ends in the one line or the other
// (or in the end cut short, which no record's end is taken for).
void endRecord(const std::string &folder, long long at, const std::string &end) {
    const std::string path = journalPath(folder);
    const int descriptor = openJournal(path, O_RDWR);
    int error = descriptor < 0 ? errno : writeAllAt(descriptor, end, at);
    if (error == 0 && ::fsync(descriptor) != 0) {
        error = errno;
    }
    if (error != 0 && descriptor >= 0) {
        const std::string unfinished = kUnfinishedRecord;
        const bool restored =
            writeAllAt(descriptor, unfinished, at) == 0 &&
            ::ftruncate(descriptor, at + static_cast<off_t>(unfinished.size())) == 0 &&
            ::fsync(descriptor) == 0;
        warn(path, error,
             restored ? "the record's end is left out: the record ends \"-> unfinished\""
                      : "the record's end is cut short");
    } else if (error != 0) {
        warn(path, error, "the record's end is left out");
    }
    if (descriptor >= 0) {
        ::close(descriptor);
    }
}

bool journalEndsRecord(const std::string &folder) {
    const int descriptor = openJournal(journalPath(folder), O_RDONLY);
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

void refuseUnlessPlainJournal(const std::string &folder) {
    const std::string path = journalPath(folder);
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw HostError("cannot use the journal " + path + ": " +
                        (S_ISLNK(status.st_mode) ? "it is a symbolic link, not a plain file"
                                                 : "it is not a plain file"));
    }
}

} // namespace host
