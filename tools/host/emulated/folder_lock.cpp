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
#include "machine.h"
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

bool writeNote(int descriptor, const std::string &note) {
    return ::ftruncate(descriptor, 0) == 0 &&
           ::pwrite(descriptor, note.data(), note.size(), 0) == static_cast<ssize_t>(note.size());
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

FolderLock::FolderLock(const std::string &folder, const std::string &command, bool wait)
    : holder_("pid " + std::to_string(::getpid()) + ": " + command) {
    const std::string path = (std::filesystem::path(folder) / kLockFileName).string();
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    writable_ = descriptor_ >= 0;
    if (descriptor_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (descriptor_ < 0 && errno == ENOENT) {
            return; // read-only and never locked: nothing can change it
        }
    }
    if (descriptor_ < 0) {
        throw HostError(
            "cannot open the lock file " + path + ": " +
            (errno == ELOOP ? "it is a symbolic link, not a plain file" : std::strerror(errno)));
    }
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor_);
        descriptor_ = -1;
        throw HostError("cannot use the lock file " + path + ": it is not a plain file");
    }
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
        const std::string holder = readNote(descriptor_).holder;
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
    if (const Note interrupted = readNote(descriptor_); !interrupted.holder.empty()) {
        reportInterrupted(folder, interrupted);
    }
    if (writable_ && !writeNote(descriptor_, holder_ + "\n")) {
        writable_ = false;
    }
}

void FolderLock::reached(Stage stage) {
    if (writable_) {
        writeNote(descriptor_, std::string(kStageNames[static_cast<std::size_t>(stage)]) + "\n" +
                                   holder_ + "\n");
        ::fdatasync(descriptor_);
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
