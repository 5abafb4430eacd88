#include "session.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "emulator/machine.h"
#include "emulator/persistence/number_text.h"
#include "journal.h"
#include "kill_points.h"

namespace fs = std::filesystem;

namespace host {

std::string defaultLibraryPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / "libRADOZAVU.so").string();
}

namespace {

// The folder, after making sure it is a machine before its lock file is made.
std::string refuseUnlessMachine(std::string folder) {
    if (!emu::isMachineFolder(folder)) {
        throw emu::notAMachineFolder(folder);
    }
    return folder;
}

} // namespace

Session::Session(std::string machineFolder, const std::string &libraryPath,
                 const std::string &command, bool wait)
    : folder_(refuseUnlessMachine(std::move(machineFolder))), lock_(folder_, command, wait) {
    emu::loadMachine(folder_);
    loaded_ = emu::currentState();
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        throw emu::MachineError(std::string("cannot load the library: ") + dlerror());
    }
}

Session::~Session() {
    if (library_ != nullptr) {
        dlclose(library_);
    }
}

void checkCall(const std::string &exportName, const CallArguments &arguments) {
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
    for (std::size_t i = 0; i < expected; ++i) {
        const std::string &argument = arguments.plain[i];
        if (isIntegerArgument(info->signature, i) &&
            argument.find("$result") == std::string::npos &&
            !emu::readNumber(argument, INT32_MIN, INT32_MAX)) {
            throw UsageError(exportName + ": argument " + std::to_string(i + 1) + " is " +
                             emu::numberRange(INT32_MIN, INT32_MAX) + ", not " + argument);
        }
    }
}

Session::Outcome Session::call(const std::string &exportName, const CallArguments &arguments) {
    checkCall(exportName, arguments);
    void *symbol = dlsym(library_, exportName.c_str());
    if (symbol == nullptr) {
        throw UsageError("the library does not export " + exportName);
    }
    const Snapshot before = takeSnapshot();
    Outcome outcome{callExport(*findExport(exportName), symbol, arguments), {}};
    outcome.changes = describeChanges(before, takeSnapshot());
    return outcome;
}

void Session::finish(const std::string &journal) {
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
    killPointForTests("before-save");
    if (const emu::SavedState now = emu::currentState(); now != loaded_) {
        emu::saveMachine(folder_, now, killPointForTests);
        loaded_ = now;
    }
    appendJournal(folder_, journal);
}

std::string describeOutcome(const std::string &exportName, const Session::Outcome &outcome) {
    std::string text = exportName + " -> " + visible(outcome.result.describe()) + "\n";
    if (outcome.changes.empty()) {
        text += "  (no changes)\n";
    }
    for (const std::string &line : outcome.changes) {
        text += "  " + visible(line) + "\n";
    }
    return text;
}

} // namespace host
