// The host's machine on Linux: an emulated Windows machine kept in a folder,
// locked for the command, loaded, with the library loaded into it (dlopen),
// saved when something changed and its journal appended.
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <utility>

#include "changes.h"
#include "emulated/folder_commands.h"
#include "emulated/folder_lock.h"
#include "emulated/journal.h"
#include "emulated/touched_places.h"
#include "emulator/machine.h"
#include "emulator/persistence/machine_folder.h"
#include "emulator/persistence/machine_settings.h"
#include "emulator/persistence/registry_export.h"
#include "emulator/registry/reg_file.h"
#include "emulator/registry/root_names.h"
#include "emulator/text.h"
#include "emulator/wow64/registry_views.h"
#include "host_machine.h"
#include "kill_points.h"
#include "registry_path.h"
#include "transcript.h"
#include "whole_file.h"

namespace fs = std::filesystem;

namespace host {

const char *const kPlatformName = "emulated";
const char *const kLibraryOption = "--library";

std::string defaultLibraryPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / "libRADOZAVU.so").string();
}

namespace {

// The machine's processes, windows and services; the registry keys and files
// a call touched are added to them (TouchedPlaces).
Snapshot takeSnapshot() {
    const emu::Machine &m = emu::machine();
    Snapshot snapshot;
    for (const auto &[id, process] : m.processes.running) {
        snapshot.processes[id] =
            ProcessState{process->image, process->exited, process->terminated, process->exitCode};
    }
    for (const auto &window : m.processes.desktop.windows) {
        snapshot.windows[reinterpret_cast<std::uintptr_t>(window->handle)] = window->title;
    }
    for (const auto &[name, service] : m.services.services) {
        snapshot.services[service->name] = service->state;
    }
    return snapshot;
}

// Where the machine's logs stood before a call.
struct LogMarks {
    std::size_t messageBoxes, windowMessages, startedPrograms, libraries, serviceControls,
        restartRequests;
};

LogMarks logMarks() {
    const emu::Machine &m = emu::machine();
    return {m.processes.user.messageBoxes.size(), m.processes.desktop.messages.size(),
            m.processes.startedPrograms.size(),   m.processes.libraries.size(),
            m.services.controls.size(),           m.system.restartRequests.size()};
}

template <class Record, class Convert>
void eachSince(const std::vector<Record> &log, std::size_t mark, Convert convert) {
    for (std::size_t i = mark; i < log.size(); ++i) {
        convert(log[i]);
    }
}

// What the machine's logs gained since the marks.
CallEvents eventsSince(const LogMarks &marks) {
    const emu::Machine &m = emu::machine();
    CallEvents events;
    eachSince(m.processes.user.messageBoxes, marks.messageBoxes,
              [&](const emu::MessageBoxRecord &box) {
                  events.boxes.push_back(
                      {static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(box.owner)),
                       box.style,
                       box.answer,
                       box.caption,
                       box.text,
                       {}});
              });
    eachSince(m.processes.desktop.messages, marks.windowMessages,
              [&](const emu::DeliveredMessage &message) {
                  events.windowMessages.push_back(
                      {message.sent, message.message, static_cast<unsigned long>(message.wParam),
                       static_cast<long>(message.lParam), message.title});
              });
    eachSince(m.processes.startedPrograms, marks.startedPrograms,
              [&](const emu::StartedProgram &program) {
                  events.startedPrograms.push_back(
                      {program.image, program.startedBy, program.commandLine});
              });
    eachSince(m.processes.libraries, marks.libraries, [&](const emu::LoadedLibrary &library) {
        events.libraries.push_back(library.machinePath);
    });
    eachSince(m.services.controls, marks.serviceControls,
              [&](const emu::ServiceControlRecord &control) {
                  if (control.control == SERVICE_CONTROL_STOP) {
                      events.serviceStops.push_back({control.service, control.error});
                  }
              });
    eachSince(
        m.system.restartRequests, marks.restartRequests, [&](const emu::RestartRequest &request) {
            char call[160];
            if (request.call == "ExitWindowsEx") {
                std::snprintf(call, sizeof call, "ExitWindowsEx(0x%x, %lu)", request.flags,
                              static_cast<unsigned long>(request.reason));
            } else {
                std::snprintf(call, sizeof call, "InitiateSystemShutdownA(%s, %s, %lu, %d, %d)",
                              request.machineName ? request.machineName->c_str() : "none",
                              request.message ? request.message->c_str() : "none",
                              static_cast<unsigned long>(request.timeout), request.forceAppsClosed,
                              request.rebootAfterShutdown);
            }
            events.restarts.push_back(
                {call, request.accepted ? "taken (not carried out)" : "refused"});
        });
    return events;
}

std::string valueText(const emu::RegValue &value) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        unsigned number = 0;
        std::memcpy(&number, value.data.data(), 4);
        return std::to_string(number);
    }
    std::string text(value.data.begin(), value.data.end());
    const auto end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

std::string hostPathOf(const std::string &path) {
    std::string host;
    if (!emu::hostPath(path, host)) {
        throw UsageError("not a path of the machine: " + path);
    }
    return host;
}

// The machine folder of a command: --machine, else $RADOZAVU_MACHINE, else
// ./machine. An empty name is refused wherever it comes from, never taken
// for the default.
std::string folderOf(const HostOptions &options) {
    if (!options.folder.empty()) {
        return options.folder;
    }
    const char *fromEnvironment = std::getenv("RADOZAVU_MACHINE");
    if (fromEnvironment != nullptr && *fromEnvironment == '\0') {
        throw UsageError("RADOZAVU_MACHINE needs a folder, not an empty name");
    }
    return fromEnvironment != nullptr ? fromEnvironment : "machine";
}

// The folder, after making sure it is a machine before its lock file is made.
std::string refuseUnlessMachine(std::string folder) {
    if (!emu::isMachineFolder(folder)) {
        throw emu::notAMachineFolder(folder);
    }
    return folder;
}

// The scripted user answers every box of a call the same way, for ever; a
// real one would give up. A call that keeps asking (the product's programs
// running and the answer closing none of them) is ended after this many
// boxes, rather than leaving the host running for good.
constexpr std::size_t kBoxesPerCallLimit = 100;

// Answers one call's message boxes as the script says, and ends the call,
// naming it, once it has asked kBoxesPerCallLimit times.
class BoundedUser {
public:
    explicit BoundedUser(const std::string &exportName) {
        emu::processes().user.responder =
            [exportName, boxes = std::size_t{0}](const emu::MessageBoxRecord &) mutable {
                const emu::ScriptedAnswer &scripted = emu::processes().user.scripted;
                if (++boxes > kBoxesPerCallLimit) {
                    throw HostError(exportName + " showed " + std::to_string(kBoxesPerCallLimit) +
                                    " message boxes in one call and the scripted answer (" +
                                    std::to_string(scripted.button) +
                                    ") never let it end: script one that does (answer NUMBER "
                                    "[closing TITLE ...])");
                }
                return emu::answerAsScripted(scripted);
            };
    }
    ~BoundedUser() { emu::processes().user.responder = nullptr; }
    BoundedUser(const BoundedUser &) = delete;
    BoundedUser &operator=(const BoundedUser &) = delete;
};

class EmulatedMachine final : public Machine {
public:
    EmulatedMachine(const HostOptions &options, const std::string &command)
        : folder_(refuseUnlessMachine(folderOf(options))), lock_(folder_, command, options.wait) {
        refuseUnlessPlainJournal(folder_);
        emu::loadMachine(folder_);
        loaded_ = Loaded{emu::writeSettings(), emu::registryEdits()};
        if (options.library.empty()) {
            return; // a machine subcommand: the library is not needed
        }
        library_ = dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) {
            throw HostError(std::string("cannot load the library: ") + dlerror());
        }
    }
    ~EmulatedMachine() override {
        if (library_ != nullptr) {
            dlclose(library_);
        }
    }
    EmulatedMachine(const EmulatedMachine &) = delete;
    EmulatedMachine &operator=(const EmulatedMachine &) = delete;

    [[nodiscard]] unsigned codePage() const override { return emu::machine().system.codePage; }

    Outcome call(const std::string &exportName, const CallArguments &arguments) override {
        checkCall(exportName, arguments);
        void *symbol = dlsym(library_, exportName.c_str());
        if (symbol == nullptr) {
            throw UsageError("the library does not export " + exportName);
        }
        Snapshot before = takeSnapshot();
        const LogMarks marks = logMarks();
        Outcome outcome;
        Snapshot after;
        {
            const TouchedPlaces touched;
            const BoundedUser user(exportName);
            outcome.result = callExport(*findExport(exportName), symbol, arguments);
            after = takeSnapshot();
            touched.addTo(before, after);
        }
        const CallEvents events = eventsSince(marks);
        outcome.changes = describeChanges(before, after, events);
        for (const BoxRecord &box : events.boxes) {
            outcome.boxTexts.push_back(box.text);
        }
        return outcome;
    }

    void setString(const std::string &key, const std::string &name,
                   const std::string &text) override {
        HKEY root = nullptr;
        const std::string path = storedKey(key, root);
        withinLimits([&] { registry().setString(root, path, name, text); });
    }
    void setDword(const std::string &key, const std::string &name, unsigned long value) override {
        HKEY root = nullptr;
        const std::string path = storedKey(key, root);
        withinLimits([&] { registry().setDword(root, path, name, static_cast<DWORD>(value)); });
    }
    std::optional<std::string> valueText(const std::string &key, const std::string &name) override {
        HKEY root = nullptr;
        const std::string path = storedKey(key, root);
        const emu::RegValue *value = registry().value(root, path, name);
        return value != nullptr ? std::optional(host::valueText(*value)) : std::nullopt;
    }
    bool keyExists(const std::string &key) override {
        HKEY root = nullptr;
        const std::string path = storedKey(key, root);
        return registry().keyExists(root, path);
    }
    void writeFile(const std::string &path, const std::string &content) override {
        const std::string host = hostPathOf(path);
        fs::create_directories(fs::path(host).parent_path());
        writeWholeFile(host, content, path);
    }
    std::optional<std::string> readFile(const std::string &path) override {
        std::string host;
        if (!emu::hostPath(path, host) || !fs::is_regular_file(host)) {
            return std::nullopt;
        }
        return hostFileContent(host);
    }
    void setAnswer(int button, const std::vector<std::string> &closingTitles) override {
        emu::processes().user.scripted = emu::ScriptedAnswer{button, closingTitles};
    }
    // Time passes only as far as the machine's clocks reach: a wait that
    // would take either past its maximum is refused, never cut short.
    void wait(unsigned long long milliseconds) override {
        emu::Machine &m = emu::machine();
        if (milliseconds > emu::kClockMaximum - m.kernel.clock.now()) {
            throw HostError("the machine's clock would pass its maximum, " +
                            std::to_string(emu::kClockMaximum) + " ms");
        }
        if (milliseconds >
            (emu::kSystemTimeMaximum - emu::systemTimeNow()) / emu::kFileTimeUnitsPerMillisecond) {
            throw HostError("the machine's system time would pass its maximum, " +
                            std::to_string(emu::kSystemTimeMaximum) +
                            " (a FILETIME in the year 30828)");
        }
        m.kernel.clock.advance(milliseconds);
    }
    // The stand-ins built beside this program go into a folder of the machine.
    void putSiblingLibraries(const std::string &folder) override {
        const std::string host = hostPathOf(folder);
        fs::create_directories(host);
        std::error_code error;
        const fs::path programFolder = fs::read_symlink("/proc/self/exe", error).parent_path();
        for (const char *library : {"Rezedev.dll", "ZepProj.dll"}) {
            fs::copy_file(programFolder / library, fs::path(host) / library,
                          fs::copy_options::overwrite_existing, error);
            if (error) {
                throw HostError(std::string("cannot copy ") + library + ": " + error.message());
            }
        }
    }
    // The machine tells of every key and file a call changes.
    void watch(const std::vector<std::string> &) override {}

    // The record goes into the journal before the state it tells of is
    // saved, its last line saying it is unfinished, and its end ("-> exit
    // status N") over that line after: a state of the machine is never
    // without the record of the command that made it. The lock notes each
    // step, so that the next command can tell which state survived a command
    // killed between them.
    void finish(const std::string &journal) override {
        if (library_ != nullptr) {
            dlclose(library_);
            library_ = nullptr;
        }
        killPointForTests("before-save");
        const std::size_t lastLine = journal.rfind('\n', journal.size() - 2);
        const std::size_t endAt = lastLine == std::string::npos ? 0 : lastLine + 1;
        const std::optional<long long> recorded = beginRecord(folder_, journal.substr(0, endAt));
        if (recorded) {
            lock_.reached(FolderLock::Stage::Recorded);
        }
        killPointForTests("journal-recorded");
        if (emu::writeSettings() != loaded_.settings || emu::registryEdits() != loaded_.edits) {
            const emu::SavedState now = emu::currentState();
            try {
                emu::saveMachine(folder_, now, [this](const char *step) {
                    killPointForTests(step);
                    if (std::strcmp(step, "save-written") == 0) {
                        lock_.reached(FolderLock::Stage::Saving);
                    } else if (std::strcmp(step, "save-swapped") == 0) {
                        lock_.reached(FolderLock::Stage::Saved);
                    }
                });
            } catch (const std::exception &error) {
                if (recorded) {
                    endRecord(folder_, *recorded,
                              "the machine's state was not saved: " + asWritten(error.what()) +
                                  "\n-> exit status 2\n");
                }
                throw;
            }
            loaded_ = Loaded{now.settings, emu::registryEdits()};
        }
        if (recorded) {
            endRecord(folder_, *recorded, journal.substr(endAt));
        }
        killPointForTests("journal-ended");
    }

private:
    static emu::Registry &registry() { return emu::machine().registry; }
    // Where a key a script names is stored: in the installer's (32-bit)
    // view, or the 64-bit one for a root such as HKLM64.
    static std::string storedKey(const std::string &key, HKEY &root) {
        const KeyName name = splitKey(key);
        root = name.root;
        return emu::storedKeyPath(root, name.path, !name.view64 && emu::uses32BitView(0));
    }
    // Sets a value as the script asks; a key or value name beyond Windows'
    // limits is the script's error (the name itself may be too long to show).
    template <class Set> static void withinLimits(Set set) {
        try {
            set();
        } catch (const emu::RegistryLimitError &refused) {
            throw UsageError(std::string("cannot set the value: ") + refused.what());
        }
    }

    std::string folder_;
    FolderLock lock_;
    // What the machine held as loaded (or last saved): its settings as
    // machine.conf has them, and the registry's count of changes then.
    struct Loaded {
        std::string settings;
        std::uint64_t edits = 0;
    } loaded_;
    void *library_ = nullptr;
};

// A machine subcommand's record in the journal: the command, each line it
// printed, and its end.
class SubcommandRecord {
public:
    explicit SubcommandRecord(std::string command) : text_(std::move(command) + "\n") {}
    void line(const std::string &text) {
        std::cout << text << "\n";
        text_ += "  " + asWritten(text) + "\n";
    }
    [[nodiscard]] std::string ended(int status) const {
        return text_ + "-> exit status " + std::to_string(status) + "\n";
    }
    [[nodiscard]] std::string failed(const std::string &error) const {
        return text_ + asWritten(error) + "\n-> exit status 2\n";
    }

private:
    std::string text_;
};

std::string commandText(const char *command, const std::vector<std::string> &words) {
    std::string text = std::string("machine ") + command;
    for (const std::string &word : words) {
        text += " \"" + asWritten(word, "\"") + "\"";
    }
    return text;
}

HostOptions withoutLibrary(HostOptions options) {
    options.library.clear();
    return options;
}

std::string readWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw HostError("cannot read " + path);
    }
    return hostFileContent(path);
}

// What a registry file asks for, told in one line.
std::string importSummary(const std::string &file, const std::vector<emu::RegFileOperation> &ops,
                          std::size_t skipped) {
    std::size_t counts[4] = {};
    for (const emu::RegFileOperation &operation : ops) {
        ++counts[operation.kind];
    }
    std::string text =
        "imported " + file + ": " + std::to_string(counts[emu::RegFileOperation::CreateKey]) +
        " keys, " + std::to_string(counts[emu::RegFileOperation::SetValue]) + " values set, " +
        std::to_string(counts[emu::RegFileOperation::DeleteKey]) + " keys and " +
        std::to_string(counts[emu::RegFileOperation::DeleteValue]) + " values deleted";
    return skipped == 0 ? text : text + " (" + std::to_string(skipped) + " refused: access denied)";
}

// The full name of a key as a registry file writes it.
std::string registryFileName(HKEY root, const std::string &stored) {
    const std::string rootText = emu::findRootName(root)->longName;
    return stored.empty() ? rootText : rootText + "\\" + stored;
}

// The key's path below its root with each name as stored.
std::string storedNames(const emu::RegKey &key) {
    std::string path;
    for (const emu::RegKey *at = &key; at->holder != nullptr; at = at->holder) {
        path = path.empty() ? at->name : at->name + "\\" + path;
    }
    return path;
}

} // namespace

void importRegistryFiles(const HostOptions &options, const std::vector<std::string> &files) {
    SubcommandRecord record(commandText("import", files));
    EmulatedMachine machine(withoutLibrary(options), commandText("import", files));
    std::vector<std::vector<emu::RegFileOperation>> parsed;
    try {
        for (const std::string &file : files) {
            emu::RegFileParse parse = emu::parseRegFile(readWholeFile(file));
            if (!parse.valid) {
                throw HostError(file + ": " + parse.problem + " (nothing was imported)");
            }
            for (emu::RegFileOperation &operation : parse.operations) {
                operation.keyPath = emu::storedKeyPath(operation.root, operation.keyPath, false);
            }
            parsed.push_back(std::move(parse.operations));
        }
    } catch (const HostError &error) {
        machine.finish(record.failed(error.what()));
        throw;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t skipped = emu::applyRegFile(emu::machine().registry, parsed[i]);
        record.line(importSummary(files[i], parsed[i], skipped));
    }
    machine.finish(record.ended(0));
}

void exportRegistryFile(const HostOptions &options, const std::string &file,
                        const std::string &key) {
    const std::vector<std::string> words =
        key.empty() ? std::vector<std::string>{file} : std::vector<std::string>{file, key};
    SubcommandRecord record(commandText("export", words));
    EmulatedMachine machine(withoutLibrary(options), commandText("export", words));
    emu::Registry &registry = emu::machine().registry;
    std::vector<std::pair<const emu::RegKey *, std::string>> keys;
    std::string text;
    try {
        if (key.empty()) {
            for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
                keys.emplace_back(registry.root(root).get(), registryFileName(root, ""));
            }
        } else {
            const KeyName name = splitKey(key);
            HKEY root = name.root;
            const std::string stored = emu::storedKeyPath(root, name.path, false);
            const auto found = registry.find(root, stored);
            if (!found) {
                throw HostError("no such key: " + key);
            }
            keys.emplace_back(found.get(), registryFileName(root, storedNames(*found)));
        }
        text = emu::exportRegistryKeys(keys);
        writeWholeFile(file, text, file);
    } catch (const std::exception &error) {
        machine.finish(record.failed(error.what()));
        throw HostError(error.what());
    }
    record.line("exported " + (key.empty() ? std::string("the registry") : key) + " to " + file +
                " (" + std::to_string(text.size()) + " bytes)");
    machine.finish(record.ended(0));
}

void putFolder(const HostOptions &options, const std::string &source,
               const std::string &machineFolder) {
    const std::vector<std::string> words{source, machineFolder};
    SubcommandRecord record(commandText("put", words));
    EmulatedMachine machine(withoutLibrary(options), commandText("put", words));
    std::size_t files = 0;
    std::size_t folders = 0;
    try {
        std::error_code error;
        if (!fs::is_directory(fs::symlink_status(source, error))) {
            throw HostError("not a folder: " + source);
        }
        std::string separated = machineFolder;
        std::replace(separated.begin(), separated.end(), '/', '\\');
        for (const std::string &name : emu::splitKeyPath(separated)) {
            if (name == "..") {
                throw HostError("the machine folder may not go up with \"..\": " + machineFolder);
            }
        }
        const std::string target = hostPathOf(machineFolder);
        std::vector<fs::path> entries;
        for (auto it = fs::recursive_directory_iterator(source, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            const fs::file_status status = it->symlink_status(error);
            if (!fs::is_directory(status) && !fs::is_regular_file(status)) {
                throw HostError("not a plain file or folder, nothing was copied: " +
                                it->path().string());
            }
            entries.push_back(it->path());
        }
        if (error) {
            throw HostError("cannot read " + source + ": " + error.message());
        }
        fs::create_directories(target);
        for (const fs::path &entry : entries) {
            const fs::path to = fs::path(target) / entry.lexically_relative(source);
            if (fs::is_directory(fs::symlink_status(entry))) {
                fs::create_directories(to);
                ++folders;
            } else {
                fs::copy_file(entry, to, fs::copy_options::overwrite_existing);
                ++files;
            }
        }
    } catch (const std::exception &error) {
        machine.finish(record.failed(error.what()));
        throw HostError(error.what());
    }
    record.line("copied " + source + " to " + machineFolder + ": " + std::to_string(files) +
                " files, " + std::to_string(folders) + " folders");
    machine.finish(record.ended(0));
}

std::unique_ptr<Machine> openMachine(const HostOptions &options, const std::string &command) {
    return std::make_unique<EmulatedMachine>(options, command);
}

// What a machine folder holds beside its drives: the state (and what a save
// leaves of it), the journal and the lock.
void refuseMachineFile(const std::string &path) {
    std::error_code error;
    const fs::path full = fs::weakly_canonical(fs::absolute(path), error);
    for (fs::path inside = full, folder = full.parent_path(); inside != folder;
         inside = folder, folder = folder.parent_path()) {
        const std::string name = inside.filename().string();
        if ((name == "state" || name == "state.new" || name == "state.old" ||
             name == "journal.log" || name == kLockFileName) &&
            emu::isMachineFolder(folder.string())) {
            throw UsageError(path + " is a file of the machine folder " + folder.string() +
                             ": writing there would damage the machine");
        }
    }
}

unsigned checkCodePage(const HostOptions &options) {
    const std::string folder = folderOf(options);
    if (!emu::isMachineFolder(folder)) {
        return 0;
    }
    const FolderLock lock(folder, "run --check", options.wait);
    emu::loadMachine(folder);
    return emu::machine().system.codePage;
}

} // namespace host
