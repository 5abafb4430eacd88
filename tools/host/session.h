// One session of the host on a machine folder: the folder locked, the machine
// loaded, the library loaded into it through its exported interface, calls
// made and their changes reported, the machine saved when it changed.
#pragma once

#include <string>
#include <vector>

#include "changes.h"
#include "emulator/persistence/machine_folder.h"
#include "exports_table.h"
#include "folder_lock.h"

namespace host {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Session {
public:
    // Locks the machine folder for the command described (waiting for
    // another command, or with wait false refusing at once), loads it, then
    // the library (dlopen), as an installer process would load it.
    Session(std::string machineFolder, const std::string &libraryPath, const std::string &command,
            bool wait);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    struct Outcome {
        CallResult result;
        std::vector<std::string> changes;
    };
    // Calls one export by name; throws UsageError for an unknown export or
    // wrong arguments (checkCall).
    Outcome call(const std::string &exportName, const CallArguments &arguments);

    // Unloads the library, saves the machine if anything changed and appends
    // the command's record to the journal.
    void finish(const std::string &journal);

    [[nodiscard]] const std::string &machineFolder() const { return folder_; }

private:
    std::string folder_;
    FolderLock lock_;
    emu::SavedState loaded_;
    void *library_ = nullptr;
};

// Throws UsageError unless the export exists and takes these arguments: their
// number, record options only for a record export, integers where it takes
// integers (an argument holding $result is checked when it is known).
void checkCall(const std::string &exportName, const CallArguments &arguments);

// An outcome as the transcript shows it: the result line, then the changes.
std::string describeOutcome(const std::string &exportName, const Session::Outcome &outcome);

// The library built beside the host program.
std::string defaultLibraryPath();

} // namespace host
