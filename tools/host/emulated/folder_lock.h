// One command at a time on a machine folder: a command holds an exclusive
// lock (flock) on the machine folder from before it loads the machine until
// after it has saved it and written the journal. The system releases
// the lock when the holder ends, however it ends, so a killed command never
// leaves the folder locked. The lock file also names the command that holds
// it and how far it has come (its record written, its state being saved,
// saved); a name still there when the next command takes the lock tells that
// its holder was killed before it finished, and the lock records in the
// journal and on standard error which state of the machine survived.
#pragma once

#include <string>

namespace host {

class FolderLock {
public:
    // How far the holder has come, past running.
    enum class Stage { Recorded, Saving, Saved };

    // Takes the lock of an existing folder for the command described. When
    // another command holds it: waits, after saying so on standard error, or
    // with wait false throws HostError at once. A folder whose lock file
    // can be neither created nor opened (a read-only folder of an older host)
    // keeps no note: no command can change it. A lock file that is not a
    // plain file (a link, a device) is refused.
    FolderLock(const std::string &folder, const std::string &command, bool wait);
    // Clears the holder's name: the command has finished.
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Notes, durably, that the holder has come so far.
    void reached(Stage stage);

private:
    void release();

    int folderDescriptor_ = -1; // the machine folder, which holds the lock
    int descriptor_ = -1;       // the lock file, which holds the note
    bool writable_ = false;
    std::string holder_; // "pid N: COMMAND"
    std::string path_;   // the lock file
};

// The name of a machine folder's lock file.
constexpr const char *kLockFileName = "lock";

} // namespace host
