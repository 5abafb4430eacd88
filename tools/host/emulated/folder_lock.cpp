#include "folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>

#include "emulated/journal.h"
#include "emulator/persistence/lossless_text.h"
#include "emulator/persistence/machine_folder.h"
#include "host_machine.h"
#include "transcript.h"

namespace host {
namespace {

// The lock file's note: the stage its holder reached, on a line of its own
// once it is past running, then the holder.
constexpr const char *kStageNames[] = {"recorded", "saving", "saved"};

struct Note {
    std::optional<FolderLock::Stage> stage; // nothing: running
    std::string holder;                     // as shown: one line, cut when long
};

// The note of the lock file, read no further than a note of the host's own
// is shown: a lock file of any size or content gives one short line.
Note readNote(int descriptor) {
    char buffer[emu::kQuotedBytes + 16];
    const ssize_t got = ::pread(descriptor, buffer, sizeof buffer, 0);
    std::string text(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    struct stat status {};
    const bool cut = got >= 0 && ::fstat(descriptor, &status) == 0 && status.st_size > got;
    Note note;
    for (std::size_t i = 0; i < std::size(kStageNames); ++i) {
        const std::string line = std::string(kStageNames[i]) + "\n";
        if (text.compare(0, line.size(), line) == 0) {
            note.stage = static_cast<FolderLock::Stage>(i);
            text.erase(0, line.size());
        }
    }
    text = text.substr(0, text.find('\n'));
    while (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    note.holder = asWritten(text) +
                  (cut ? "... (cut: " + std::to_string(status.st_size) + " bytes in all)" : "");
    return note;
}

// Replaces the note in one write over the old one, then cuts what is left of
// a longer old note: killed between the two, the file holds the new note and
// a remnant after its end, which readNote passes over. The note is never
// empty or half old, half new.
bool writeNote(int descriptor, const std::string &note) {
    return ::pwrite(descriptor, note.data(), note.size(), 0) == static_cast<ssize_t>(note.size()) &&
           ::ftruncate(descriptor, static_cast<off_t>(note.size())) == 0;
}

// Opens (or makes) the lock file that carries the note; -1 in a folder where
// it can be neither made nor opened for writing (a read-only folder of an
// older host). Anything but a plain file is refused.
int openNote(const std::string &path) {
    int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (descriptor < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (descriptor < 0 && errno == ENOENT) {
            return -1;
        }
    }
    if (descriptor < 0) {
        throw HostError(
            "cannot open the lock file " + path + ": " +
            (errno == ELOOP ? "it is a symbolic link, not a plain file" : std::strerror(errno)));
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        throw HostError("cannot use the lock file " + path + ": it is not a plain file");
    }
    return descriptor;
}

// The holder named in a lock file, for the message of a command that waits.
std::string holderOf(const std::string &path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat status {};
    const bool plain =
        descriptor >= 0 && ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    std::string holder = plain ? readNote(descriptor).holder : std::string();
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    return holder;
}

// Tells, on standard error and in the journal, that the command the note
// names was killed, and which state of the machine survived it. A command
// that wrote its record's end was killed only before it cleared its name:
// it finished.
void reportInterrupted(const std::string &folder, const Note &note) {
    using Stage = FolderLock::Stage;
    if ((note.stage == Stage::Recorded || note.stage == Stage::Saved) &&
        journalEndsRecord(folder)) {
        return;
    }
    const bool saved = note.stage == Stage::Saved ||
                       (note.stage == Stage::Saving && emu::cutOffSaveCommitted(folder));
    const std::string line =
        "interrupted: " + note.holder + " (killed before it finished: " +
        (saved ? "its changes were saved, the machine's state is the one it left"
               : "its changes were not saved, the machine's state is the one before it; files it "
                 "wrote on the drives stay") +
        ")\n";
    std::cerr << "radozavu: warning: the last command on this machine was " << line;
    appendJournal(folder, line);
}

} // namespace

// The lock is taken on the machine folder itself, which no command removes
// and which cannot be removed while it holds the machine: a lock file that
// is removed, by hand or by accident, never lets a second command in beside
// the first. The lock file carries only the note.
FolderLock::FolderLock(const std::string &folder, const std::string &command, bool wait)
    : holder_("pid " + std::to_string(::getpid()) + ": " + command),
      path_((std::filesystem::path(folder) / kLockFileName).string()) {
    folderDescriptor_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor_ < 0) {
        throw HostError("cannot open the machine folder " + folder + ": " + std::strerror(errno));
    }
    if (::flock(folderDescriptor_, LOCK_EX | LOCK_NB) != 0) {
        const std::string holder = holderOf(path_);
        const std::string inUse =
            folder + " is in use by another radozavu" + (holder.empty() ? "" : " (" + holder + ")");
        if (!wait) {
            release();
            throw HostError(inUse);
        }
        std::cerr << "radozavu: waiting: " << inUse << "\n";
        while (::flock(folderDescriptor_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int error = errno;
                release();
                throw HostError("cannot lock " + folder + ": " + std::strerror(error));
            }
        }
    }
    try {
        descriptor_ = openNote(path_);
    } catch (...) {
        release();
        throw;
    }
    if (descriptor_ < 0) {
        return; // read-only and never locked: nothing can change it
    }
    if (const Note interrupted = readNote(descriptor_); !interrupted.holder.empty()) {
        reportInterrupted(folder, interrupted);
    }
    writable_ = writeNote(descriptor_, holder_ + "\n");
}

void FolderLock::reached(Stage stage) {
    if (!writable_) {
        return;
    }
    // A lock file removed while the command works is made again, so that
    // the note is where the next command looks for it.
    struct stat status {};
    if (::fstat(descriptor_, &status) == 0 && status.st_nlink == 0) {
        const int again = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (again >= 0) {
            ::close(descriptor_);
            descriptor_ = again;
        }
    }
    writeNote(descriptor_,
              std::string(kStageNames[static_cast<std::size_t>(stage)]) + "\n" + holder_ + "\n");
    ::fdatasync(descriptor_);
}

void FolderLock::release() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (folderDescriptor_ >= 0) {
        ::close(folderDescriptor_); // closing releases the lock
        folderDescriptor_ = -1;
    }
}

FolderLock::~FolderLock() {
    if (writable_) {
        ::ftruncate(descriptor_, 0); // the command has finished: no note
    }
    release();
}

} // namespace host
