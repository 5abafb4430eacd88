// The host's machine on Linux: an emulated Windows machine kept in a folder,
// locked for the command, loaded, with the library loaded into it (dlopen),
// saved when something changed and its journal appended.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <utility>

#include "changes.h"
#include "emulated/folder_lock.h"
#include "emulated/journal.h"
#include "kill_points.h"
#include "emulator/machine.h"
#include "emulator/persistence/machine_folder.h"
#include "emulator/persistence/machine_settings.h"
#include "emulator/registry/wow64_registry.h"
#include "machine.h"
#include "registry_path.h"
#include "transcript.h"

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

// The values of the registry's keys as the report compares them, kept from
// one snapshot to the next: a key whose values did not change since (the
// same key, the same valuesVersion) gives the same KeyValues again, so a
// snapshot describes only what changed and the report compares only that.
class KeyValuesCache {
public:
    std::shared_ptr<const KeyValues> of(const emu::RegKey &key) {
        Entry &entry = next_[&key];
        const auto kept = entries_.find(&key);
        if (kept != entries_.end() && kept->second.version == key.valuesVersion) {
            entry = kept->second;
        } else {
            auto values = std::make_shared<KeyValues>();
            for (const auto &[name, value] : key.values) {
                (*values)[value.name] =
                    describeValue(value.type, std::string(value.data.begin(), value.data.end()));
            }
            entry = Entry{key.valuesVersion, std::move(values)};
        }
        return entry.values;
    }
    // Ends a snapshot: keys no longer in the registry are forgotten.
    void endSnapshot() { entries_ = std::exchange(next_, {}); }

private:
    struct Entry {
        std::uint64_t version = 0;
        std::shared_ptr<const KeyValues> values;
    };
    std::map<const emu::RegKey *, Entry> entries_; // as of the last snapshot
    std::map<const emu::RegKey *, Entry> next_;    // the snapshot being taken
};

void snapshotKey(const emu::RegKey &top, const std::string &topPath, KeyValuesCache &cache,
                 Snapshot &snapshot) {
    emu::walkKeys(
        top, topPath, [](const emu::RegKey &key) { return key.name; },
        [&](const emu::RegKey &key, const std::string &path) {
            snapshot.keys[path] = true;
            snapshot.values[path] = cache.of(key);
        });
}

std::string fileContent(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The whole machine: its registry, its drives, its processes, windows and
// services.
Snapshot takeSnapshot(KeyValuesCache &cache) {
    emu::Machine &m = emu::machine();
    Snapshot snapshot;
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
        const auto key = m.registry.root(root);
        for (const auto &[childName, child] : key->subkeys) {
            snapshotKey(*child, std::string(rootName(root)) + "\\" + child->name, cache, snapshot);
        }
    }
    cache.endSnapshot();
    for (const auto &[letter, drive] : m.drives) {
        std::error_code error;
        // Only plain files are read: a link (a junction included, whose
        // folder is walked where it lies) or a FIFO, socket or device is
        // neither followed nor opened, and a drive folder that is one is
        // not walked at all.
        if (fs::is_symlink(drive.hostFolder, error)) {
            continue;
        }
        for (auto it = fs::recursive_directory_iterator(drive.hostFolder, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            std::string relative = fs::relative(it->path(), drive.hostFolder).string();
            for (char &c : relative) {
                c = c == '/' ? '\\' : c;
            }
            const std::string machinePath = std::string(1, letter) + ":\\" + relative;
            const fs::file_status status = it->symlink_status(error);
            snapshot.files[machinePath] = fs::is_directory(status) ? std::string("folder")
                                          : fs::is_regular_file(status)
                                              ? describeFile(fileContent(it->path()))
                                          : fs::is_symlink(status) ? std::string("link")
                                                                   : std::string("special file");
        }
    }
    for (const auto &[id, process] : m.processes) {
        snapshot.processes[id] =
            ProcessState{process->image, process->exited, process->terminated, process->exitCode};
    }
    for (const auto &window : m.desktop.windows) {
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
    return {m.user.messageBoxes.size(), m.desktop.messages.size(),  m.startedPrograms.size(),
            m.libraries.size(),         m.services.controls.size(), m.restartRequests.size()};
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
    eachSince(m.user.messageBoxes, marks.messageBoxes, [&](const emu::MessageBoxRecord &box) {
        events.boxes.push_back(
            {static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(box.owner)),
             box.style,
             box.answer,
             box.caption,
             box.text,
             {}});
    });
    eachSince(m.desktop.messages, marks.windowMessages, [&](const emu::DeliveredMessage &message) {
        events.windowMessages.push_back({message.sent, message.message,
                                         static_cast<unsigned long>(message.wParam),
                                         static_cast<long>(message.lParam), message.title});
    });
    eachSince(m.startedPrograms, marks.startedPrograms, [&](const emu::StartedProgram &program) {
        events.startedPrograms.push_back({program.image, program.startedBy, program.commandLine});
    });
    eachSince(m.libraries, marks.libraries, [&](const emu::LoadedLibrary &library) {
        events.libraries.push_back(library.machinePath);
    });
    eachSince(m.services.controls, marks.serviceControls,
              [&](const emu::ServiceControlRecord &control) {
                  if (control.control == SERVICE_CONTROL_STOP) {
                      events.serviceStops.push_back({control.service, control.error});
                  }
              });
    eachSince(m.restartRequests, marks.restartRequests, [&](const emu::RestartRequest &request) {
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
        events.restarts.push_back({call, request.accepted ? "taken (not carried out)" : "refused"});
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
// ./machine.
std::string folderOf(const HostOptions &options) {
    if (!options.folder.empty()) {
        return options.folder;
    }
    const char *fromEnvironment = std::getenv("RADOZAVU_MACHINE");
    return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "machine";
}

// The folder, after making sure it is a machine before its lock file is made.
std::string refuseUnlessMachine(std::string folder) {
    if (!emu::isMachineFolder(folder)) {
        throw emu::notAMachineFolder(folder);
    }
    return folder;
}

class EmulatedMachine final : public Machine {
public:
    EmulatedMachine(const HostOptions &options, const std::string &command)
        : folder_(refuseUnlessMachine(folderOf(options))), lock_(folder_, command, options.wait) {
        emu::loadMachine(folder_);
        loaded_ = emu::currentState();
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

    [[nodiscard]] unsigned codePage() const override { return emu::machine().codePage; }

    Outcome call(const std::string &exportName, const CallArguments &arguments) override {
        checkCall(exportName, arguments);
        void *symbol = dlsym(library_, exportName.c_str());
        if (symbol == nullptr) {
            throw UsageError("the library does not export " + exportName);
        }
        const Snapshot before = takeSnapshot(keyValues_);
        const LogMarks marks = logMarks();
        Outcome outcome{callExport(*findExport(exportName), symbol, arguments), {}, {}};
        const CallEvents events = eventsSince(marks);
        outcome.changes = describeChanges(before, takeSnapshot(keyValues_), events);
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
        std::ofstream file(host, std::ios::binary);
        if (!(file << content) || !file.flush()) {
            throw HostError("cannot write " + path);
        }
    }
    std::optional<std::string> readFile(const std::string &path) override {
        std::string host;
        if (!emu::hostPath(path, host) || !fs::is_regular_file(host)) {
            return std::nullopt;
        }
        return fileContent(host);
    }
    void setAnswer(int button, const std::vector<std::string> &closingTitles) override {
        emu::setUserAnswer(button, closingTitles);
    }
    void wait(unsigned long long milliseconds) override {
        emu::machine().clock.advance(milliseconds);
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
    // The snapshot covers the whole machine.
    void watch(const std::vector<std::string> &) override {}

    // The record goes into the journal before the state it tells of is
    // saved, and its end ("-> exit status N") after: a state of the machine
    // is never without the record of the command that made it. The lock
    // notes each step, so that the next command can tell which state
    // survived a command killed between them.
    void finish(const std::string &journal) override {
        if (library_ != nullptr) {
            dlclose(library_);
            library_ = nullptr;
        }
        killPointForTests("before-save");
        const std::size_t lastLine = journal.rfind('\n', journal.size() - 2);
        const std::size_t endAt = lastLine == std::string::npos ? 0 : lastLine + 1;
        const bool recorded = appendJournal(folder_, journal.substr(0, endAt));
        if (recorded) {
            lock_.reached(FolderLock::Stage::Recorded);
        }
        killPointForTests("journal-recorded");
        if (const emu::SavedState now = emu::currentState(); now != loaded_) {
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
                    appendJournal(folder_, "the machine's state was not saved: " +
                                               asWritten(error.what()) + "\n-> exit status 2\n");
                }
                throw;
            }
            loaded_ = now;
        }
        if (recorded) {
            appendJournal(folder_, journal.substr(endAt));
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
    emu::SavedState loaded_;
    void *library_ = nullptr;
    KeyValuesCache keyValues_;
};

} // namespace

std::unique_ptr<Machine> openMachine(const HostOptions &options, const std::string &command) {
    return std::make_unique<EmulatedMachine>(options, command);
}

unsigned checkCodePage(const HostOptions &options) {
    const std::string folder = folderOf(options);
    if (!emu::isMachineFolder(folder)) {
        return 0;
    }
    const FolderLock lock(folder, "run --check", options.wait);
    emu::loadMachine(folder);
    return emu::machine().codePage;
}

} // namespace host
