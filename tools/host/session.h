// One session of the host on a machine folder: the machine loaded, the
// library loaded into it through its exported interface, calls made and
// their changes reported, the machine saved at the end.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "changes.h"
#include "exports_table.h"

namespace host {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Session {
public:
    // Loads the machine folder, then the library (dlopen), as an installer
    // process would load it.
    Session(std::string machineFolder, const std::string &libraryPath);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    struct Outcome {
        CallResult result;
        std::vector<std::string> changes;
    };
    // Calls one export by name; throws UsageError for an unknown export or a
    // wrong number of arguments.
    Outcome call(const std::string &exportName, const CallArguments &arguments);

    // Unloads the library and saves the machine.
    void finish();

    [[nodiscard]] const std::string &machineFolder() const { return folder_; }

private:
    std::string folder_;
    void *library_ = nullptr;
};

// Prints an outcome: the result line, then the changes.
void printOutcome(std::ostream &out, const std::string &exportName, const Session::Outcome &outcome);

// The library built beside the host program.
std::string defaultLibraryPath();

} // namespace host
