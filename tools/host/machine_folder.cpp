#include "machine_folder.h"
#include "folder_lock.h"
#include "machine_settings.h"
#include "product_programs.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "emulator/machine.h"
#include "emulator/registry/reg_file.h"
#include "emulator/persistence/registry_export.h"

namespace fs = std::filesystem;

namespace host {
namespace {

struct WindowsVersion {
    const char *name;
    DWORD platform, major, minor, build;
    const char *servicePack;
};

const WindowsVersion kVersions[] = {
    {"95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, ""},
    {"98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, " A "},
    {"me", VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3000, " "},
    {"nt4", VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 1"},
    {"nt4sp6", VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6a"},
    {"2000", VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4"},
    {"xp", VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 2"},
    {"2003", VER_PLATFORM_WIN32_NT, 5, 2, 3790, "Service Pack 1"},
    {"vista", VER_PLATFORM_WIN32_NT, 6, 0, 6000, ""},
};

const char *const kWindowsNames[] = {"95", "98", "me", "nt4", "nt4sp6", "2000", "xp", "2003",
                                     "vista", nullptr};

std::string statePath(const std::string &folder) { return (fs::path(folder) / "state").string(); }

void writeWhole(const fs::path &path, const std::string &content) {
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        throw MachineError("cannot write " + path.string() + ": " + std::strerror(errno));
    }
    const bool ok = std::fwrite(content.data(), 1, content.size(), out) == content.size() &&
                    std::fflush(out) == 0 && ::fsync(fileno(out)) == 0;
    if (std::fclose(out) != 0 || !ok) {
        throw MachineError("cannot write " + path.string());
    }
}

// Makes the entries of a folder (new, renamed or removed) durable.
void syncFolder(const fs::path &path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    if (!ok) {
        throw MachineError("cannot flush " + path.string() + " to the disk: " + std::strerror(errno));
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

void applyDefaultRegistry() {
    emu::Registry &r = emu::machine().registry;
    const HKEY machine = HKEY_LOCAL_MACHINE;
    const HKEY user = HKEY_CURRENT_USER;
    r.setString(machine, "System\\CurrentControlSet\\Control\\NetworkProvider\\Order",
                "ProviderOrder", "RDPNP,LanmanWorkstation,WebClient");
    r.setString(user, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders",
                "Desktop", "C:\\Documents and Settings\\Administrator\\Desktop");
    r.create(machine, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    r.create(machine, "SOFTWARE\\Classes\\Installer\\Products");
    r.create(user, "Software\\Microsoft\\Installer\\Products");
    r.create(machine, "SYSTEM\\CurrentControlSet\\Services");
    r.create(machine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    r.setString(machine, "Software\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot",
                "C:\\WINDOWS");
}

} // namespace

const char *const *windowsNames() { return kWindowsNames; }

bool isSupportedCodePage(unsigned codePage) {
    for (const unsigned supported : {1252u, 932u, 936u, 949u, 950u}) {
        if (codePage == supported) {
            return true;
        }
    }
    return false;
}

std::string driveFolder(const std::string &folder, char letter) {
    return (fs::path(folder) / "drives" / std::string(1, letter)).string();
}

void createMachine(const std::string &folder, const std::string &windows, unsigned codePage,
                   bool withProductRunning, bool wait) {
    const WindowsVersion *version = nullptr;
    for (const WindowsVersion &candidate : kVersions) {
        if (windows == candidate.name) {
            version = &candidate;
        }
    }
    if (version == nullptr) {
        throw MachineError("unknown Windows version: " + windows);
    }
    if (!isSupportedCodePage(codePage)) {
        throw MachineError("unsupported code page: " + std::to_string(codePage));
    }
    const auto refuseUnlessEmpty = [&folder] {
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(folder, error)) {
            if (entry.path().filename() != kLockFileName) {
                throw MachineError("refusing to create a machine in a folder that is not empty: " +
                                   folder);
            }
        }
    };
    refuseUnlessEmpty();
    fs::create_directories(folder);
    const FolderLock lock(folder, "machine new", wait);
    refuseUnlessEmpty(); // another command may have made it a machine meanwhile
    emu::resetMachine();
    emu::configureStandardMachine(driveFolder(folder, 'C'));
    emu::Machine &m = emu::machine();
    m.version = emu::VersionInfo{version->platform, version->major, version->minor, version->build,
                                 version->servicePack, false};
    m.codePage = codePage;
    for (const auto &[letter, type] : {std::pair{'A', emu::DriveRemovable},
                                       std::pair{'D', emu::DriveCdrom},
                                       std::pair{'Z', emu::DriveRemote}}) {
        fs::create_directories(driveFolder(folder, letter));
        m.drives[letter] = emu::Drive{driveFolder(folder, letter), type};
    }
    applyDefaultRegistry();
    setUserAnswer(IDOK, {});
    if (withProductRunning) {
        startProductPrograms();
    }
    saveMachine(folder, currentState());
}

SavedState currentState() {
    return SavedState{writeSettings(), emu::exportRegistry(emu::machine().registry)};
}

// The new state is written in full beside the current one as state.new and
// flushed; the current state is set aside as state.old and the new one takes
// its name. Killed between the two renames, the folder holds state.old and no
// state, and loading uses state.old; a save finds that case and renames it
// back first, so state.old is only ever removed while a whole state exists.
void saveMachine(const std::string &folder, const SavedState &saved) {
    const fs::path state = statePath(folder);
    const fs::path next = state.string() + ".new";
    const fs::path previous = state.string() + ".old";
    fs::remove_all(next);
    fs::create_directories(next);
    writeWhole(next / "machine.conf", saved.settings);
    killPointForTests("save-settings-written");
    writeWhole(next / "registry.reg", saved.registry);
    syncFolder(next);
    killPointForTests("save-written");
    if (!fs::exists(state) && fs::exists(previous)) {
        fs::rename(previous, state);
    }
    fs::remove_all(previous);
    if (fs::exists(state)) {
        fs::rename(state, previous);
    }
    killPointForTests("save-set-aside");
    fs::rename(next, state);
    syncFolder(folder);
    killPointForTests("save-swapped");
    fs::remove_all(previous);
}

void killPointForTests(const char *point) {
    const char *killAt = std::getenv("RADOZAVU_HOST_KILL_AT");
    if (killAt != nullptr && std::strcmp(killAt, point) == 0) {
        std::raise(SIGKILL);
    }
}

MachineError notAMachineFolder(const std::string &folder) {
    return MachineError("not a machine folder (no state/machine.conf and state/registry.reg): " + folder);
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
    emu::resetMachine();
    emu::Machine &m = emu::machine();
    readSettings(readWhole(state / "machine.conf"), (fs::path(folder) / "drives").string());
    for (const auto &[letter, drive] : m.drives) {
        if (!fs::is_directory(drive.hostFolder, error)) {
            throw MachineError("machine folder is damaged: drive " + std::string(1, letter) +
                               ": has no folder " + drive.hostFolder);
        }
    }
    const emu::RegFileParse parsed = emu::parseRegFile(readWhole(state / "registry.reg"), emu::RegFileSource::MachineState);
    if (!parsed.valid) {
        throw MachineError("registry.reg is damaged: " + parsed.problem);
    }
    emu::applyRegFile(m.registry, parsed.operations);
}

void appendJournal(const std::string &folder, const std::string &text) {
    const std::string path = (fs::path(folder) / "journal.log").string();
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    const bool ok = descriptor >= 0 &&
                    ::write(descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
                    ::fsync(descriptor) == 0;
    const int error = errno;
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    if (!ok) {
        std::cerr << "radozavu: warning: cannot write " << path << ": " << std::strerror(error) << "\n";
    }
}

} // namespace host
