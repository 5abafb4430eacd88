#include "folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "machine.h"
#include "journal.h"

namespace host {
namespace {

std::string readNote(int descriptor) {
    std::string note;
    char buffer[256];
    ssize_t got = 0;
    for (off_t at = 0; (got = ::pread(descriptor, buffer, sizeof buffer, at)) > 0; at += got) {
        note.append(buffer, static_cast<std::size_t>(got));
    }
    while (!note.empty() && (note.back() == '\n' || note.back() == '\0')) {
        note.pop_back();
    }
    return note;
}

bool writeNote(int descriptor, const std::string &note) {
    return ::ftruncate(descriptor, 0) == 0 &&
           ::pwrite(descriptor, note.data(), note.size(), 0) == static_cast<ssize_t>(note.size());
}

} // namespace

FolderLock::FolderLock(const std::string &folder, const std::string &command, bool wait) {
    const std::string path = (std::filesystem::path(folder) / kLockFileName).string();
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    writable_ = descriptor_ >= 0;
    if (descriptor_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor_ < 0 && errno == ENOENT) {
            return; // read-only and never locked: nothing can change it
        }
    }
    if (descriptor_ < 0) {
        throw HostError("cannot open the lock file " + path + ": " + std::strerror(errno));
    }
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        const std::string holder = readNote(descriptor_);
        const std::string inUse =
            folder + " is in use by another radozavu" + (holder.empty() ? "" : " (" + holder + ")");
        if (!wait) {
            ::close(descriptor_);
            descriptor_ = -1;
            throw HostError(inUse);
        }
        std::cerr << "radozavu: waiting: " << inUse << "\n";
        while (::flock(descriptor_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int error = errno;
                ::close(descriptor_);
                descriptor_ = -1;
                throw HostError("cannot lock " + path + ": " + std::strerror(error));
            }
        }
    }
    if (const std::string interrupted = readNote(descriptor_); !interrupted.empty()) {
        const std::string note = "interrupted: " + interrupted +
                                 " (killed before it finished: the machine's state is the last one "
                                 "saved, files it wrote on the drives stay)\n";
        std::cerr << "radozavu: warning: the last command on this machine was " << note;
        appendJournal(folder, note);
    }
    if (writable_ &&
        !writeNote(descriptor_, "pid " + std::to_string(::getpid()) + ": " + command + "\n")) {
        writable_ = false;
    }
}

FolderLock::~FolderLock() {
    if (descriptor_ < 0) {
        return;
    }
    if (writable_) {
        writeNote(descriptor_, "");
    }
    ::close(descriptor_); // closing releases the lock
}

} // namespace host
