#include "emulator/persistence/machine_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "emulator/machine.h"
#include "emulator/persistence/machine_settings.h"
#include "emulator/persistence/registry_base.h"
#include "emulator/persistence/registry_export.h"
#include "emulator/registry/reg_file.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

std::string statePath(const std::string &folder) { return (fs::path(folder) / "state").string(); }

void writeWhole(const fs::path &path, const std::string &content) {
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        throw MachineError("cannot write " + path.string() + ": " + std::strerror(errno));
    }
    const bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size() &&
                    std::fflush(out) == 0 && ::fsync(fileno(out)) == 0;
    const int error = errno; // the cause, before fclose can change it
    if (std::fclose(out) != 0 || !ok) {
        throw MachineError("cannot write " + path.string() + ": " +
                           std::strerror(ok ? errno : error));
    }
}

std::string readWhole(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw MachineError("cannot read " + path.string());
    }
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// The registry as the machine folder it was loaded from keeps it: the
// registry file read a key at a time (none: the registry was read whole, or
// never loaded from a folder), and the changes since that file was written,
// those loaded first, then each edit of this command as it is made.
struct LoadedRegistry {
    std::shared_ptr<const RegistryBase> base;
    std::string changes;
    std::weak_ptr<RegKey> root; // the loaded registry's, to know it from a machine made since
};

LoadedRegistry &loadedRegistry() {
    static LoadedRegistry loaded;
    return loaded;
}

constexpr const char *kChangesHeader = "REGEDIT4\r\n\r\n";

void keepEdit(const RegistryEdit &edit) {
    std::string &changes = loadedRegistry().changes;
    if (changes.empty()) {
        changes = kChangesHeader;
    }
    writeEdit(edit, changes);
}

// Applies a registry file of the state folder; damage names the file.
void applyStateFile(const std::string &name, const std::string &text, RegFileSource source) {
    const RegFileParse parsed = parseRegFile(text, source);
    if (!parsed.valid) {
        throw MachineError(name + " is damaged: " + parsed.problem);
    }
    applyRegFile(machine().registry, parsed.operations);
}

// Gives a state folder being written the registry file (and its index) of
// the state it replaces, as hard links: they are never changed in place.
void linkRegistryFile(const fs::path &from, const fs::path &to) {
    for (const char *name : {"registry.reg", "registry.idx"}) {
        if (::link((from / name).c_str(), (to / name).c_str()) != 0) {
            throw MachineError("cannot link " + (from / name).string() + " into " + to.string() +
                               ": " + std::strerror(errno));
        }
    }
}

} // namespace

void syncFolder(const std::string &path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    if (!ok) {
        throw MachineError("cannot flush " + path + " to the disk: " + std::strerror(errno));
    }
}

std::string driveFolder(const std::string &folder, char letter) {
    return (fs::path(folder) / "drives" / std::string(1, letter)).string();
}

SavedState currentState() {
    SavedState state;
    state.settings = writeSettings();
    const LoadedRegistry &loaded = loadedRegistry();
    if (loaded.base && loaded.root.lock() == machine().registry.root(HKEY_LOCAL_MACHINE) &&
        loaded.changes.size() <= loaded.base->size() / 64 + 65536) {
        state.wholeRegistry = false;
        state.changes = (loaded.changes.empty() ? kChangesHeader : loaded.changes) +
                        kMachineChangesEndLine + "\r\n";
    } else {
        state.registry = exportRegistry(machine().registry, &state.keyLines);
    }
    return state;
}

// The new state is written in full beside the current one as state.new and
// flushed; the current state is set aside as state.old and the new one takes
// its name. Killed between the two renames, the folder holds state.old and no
// state, and loading uses state.old; a save finds that case and renames it
// back first, so state.old is only ever removed while a whole state exists.
void saveMachine(const std::string &folder, const SavedState &saved, const SaveSteps &reached) {
    const fs::path state = statePath(folder);
    const fs::path next = state.string() + ".new";
    const fs::path previous = state.string() + ".old";
    fs::remove_all(next);
    fs::create_directories(next);
    writeWhole(next / "machine.conf", saved.settings);
    reached("save-settings-written");
    if (saved.wholeRegistry) {
        writeWhole(next / "registry.reg", saved.registry);
        writeWhole(next / "registry.idx", indexRegistry(saved.keyLines, next / "registry.reg"));
    } else {
        linkRegistryFile(state, next);
        writeWhole(next / "changes.reg", saved.changes);
    }
    syncFolder(next.string());
    reached("save-written");
    if (!fs::exists(state) && fs::exists(previous)) {
        fs::rename(previous, state);
    }
    fs::remove_all(previous);
    if (fs::exists(state)) {
        fs::rename(state, previous);
    }
    reached("save-set-aside");
    fs::rename(next, state);
    syncFolder(folder);
    reached("save-swapped");
    fs::remove_all(previous);
}

bool cutOffSaveCommitted(const std::string &folder) {
    std::error_code error;
    return !fs::exists(statePath(folder) + ".new", error);
}

MachineError notAMachineFolder(const std::string &folder) {
    return MachineError("not a machine folder (no state/machine.conf and state/registry.reg): " +
                        folder);
}

bool isMachineFolder(const std::string &folder) {
    std::error_code error;
    const std::string state = statePath(folder);
    return fs::is_directory(state, error) || fs::is_directory(state + ".old", error);
}

void loadMachine(const std::string &folder) {
    fs::path state = statePath(folder);
    const fs::path previous = state.string() + ".old";
    std::error_code error;
    if (!fs::is_directory(state, error) && fs::is_directory(previous, error)) {
        // A save was cut off after setting the old state aside: it is the
        // machine's state again (or, in a read-only folder, read where it is).
        fs::rename(previous, state, error);
        state = error ? previous : state;
    }
    // What a save cut off left beside a whole state goes, where it can.
    fs::remove_all(state.string() + ".new", error);
    if (state != previous) {
        fs::remove_all(previous, error);
    }
    if (!fs::is_regular_file(state / "machine.conf", error) ||
        !fs::is_regular_file(state / "registry.reg", error)) {
        throw notAMachineFolder(folder);
    }
    resetMachine();
    Machine &m = machine();
    int format = 0;
    try {
        format =
            readSettings(readWhole(state / "machine.conf"), (fs::path(folder) / "drives").string());
    } catch (const MachineError &error) {
        // The reader names machine.conf and the line; the message names the file where it is.
        throw MachineError((state / error.what()).string());
    }
    for (const auto &[letter, drive] : m.files.drives) {
        if (!fs::is_directory(drive.hostFolder, error)) {
            throw MachineError("machine folder is damaged: drive " + std::string(1, letter) +
                               ": has no folder " + drive.hostFolder);
        }
    }
    LoadedRegistry &loaded = loadedRegistry();
    setRegistryEditSink(nullptr);
    loaded =
        LoadedRegistry{RegistryBase::open(state.string()), {}, m.registry.root(HKEY_LOCAL_MACHINE)};
    if (loaded.base) {
        attachBase(m.registry, loaded.base);
    } else {
        applyStateFile("registry.reg", readWhole(state / "registry.reg"),
                       format == kStateFormat ? RegFileSource::MachineState
                                              : RegFileSource::EarlierMachineState);
    }
    if (fs::is_regular_file(state / "changes.reg", error)) {
        const std::string changes = readWhole(state / "changes.reg");
        applyStateFile("changes.reg", changes, RegFileSource::MachineChanges);
        // The edits of this command go on after those loaded, before the end line.
        loaded.changes = changes.substr(0, changes.rfind(kMachineChangesEndLine));
    }
    if (loaded.base) {
        setRegistryEditSink(keepEdit);
    }
}

} // namespace emu
