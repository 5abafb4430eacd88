#include "session.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "machine_folder.h"

namespace fs = std::filesystem;

namespace host {

std::string defaultLibraryPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / "libRADOZAVU.so").string();
}

Session::Session(std::string machineFolder, const std::string &libraryPath)
    : folder_(std::move(machineFolder)) {
    loadMachine(folder_);
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        throw MachineError(std::string("cannot load the library: ") + dlerror());
    }
}

Session::~Session() {
    if (library_ != nullptr) {
        dlclose(library_);
    }
}

Session::Outcome Session::call(const std::string &exportName, const CallArguments &arguments) {
    const ExportInfo *info = findExport(exportName);
    if (info == nullptr) {
        throw UsageError("unknown export: " + exportName + " (radozavu exports lists them)");
    }
    const std::size_t expected = argumentCount(info->signature);
    if (arguments.plain.size() != expected) {
        throw UsageError(exportName + " takes " + std::to_string(expected) + " argument" +
                         (expected == 1 ? "" : "s") + " (" + info->arguments + "), " +
                         std::to_string(arguments.plain.size()) + " given");
    }
    if (info->signature != Signature::Record &&
        (arguments.hasParam || arguments.owner != 0 || arguments.noRecord)) {
        throw UsageError(exportName + " takes no call record: --param, --owner and --no-record "
                                      "do not apply");
    }
    void *symbol = dlsym(library_, exportName.c_str());
    if (symbol == nullptr) {
        throw UsageError("the library does not export " + exportName);
    }
    const Snapshot before = takeSnapshot();
    Outcome outcome{callExport(*info, symbol, arguments), {}};
    outcome.changes = describeChanges(before, takeSnapshot());
    return outcome;
}

void Session::finish() {
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
    saveMachine(folder_);
}

void printOutcome(std::ostream &out, const std::string &exportName, const Session::Outcome &outcome) {
    out << exportName << " -> " << visible(outcome.result.describe()) << "\n";
    if (outcome.changes.empty()) {
        out << "  (no changes)\n";
    }
    for (const std::string &line : outcome.changes) {
        out << "  " << line << "\n";
    }
}

} // namespace host
