// One command at a time on a machine folder: a command holds an exclusive
// lock (flock) on the folder's lock file from before it loads the machine
// until after it has saved it and written the journal. The system releases
// the lock when the holder ends, however it ends, so a killed command never
// leaves the folder locked. The lock file also names the command that holds
// it; a name still there when the next command takes the lock tells that its
// holder was killed before it finished, and the lock records that in the
// journal and on standard error.
#pragma once

#include <string>

namespace host {

class FolderLock {
public:
    // Takes the lock of an existing folder for the command described. When
    // another command holds it: waits, after saying so on standard error, or
    // with wait false throws HostError at once. A folder whose lock file
    // can be neither created nor opened (a read-only folder of an older host)
    // is used without a lock: no command can change it.
    FolderLock(const std::string &folder, const std::string &command, bool wait);
    // Clears the holder's name: the command has finished.
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

private:
    int descriptor_ = -1;
    bool writable_ = false;
};

// The name of a machine folder's lock file.
constexpr const char *kLockFileName = "lock";

} // namespace host
