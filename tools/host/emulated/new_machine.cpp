#include "new_machine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <utility>

#include "emulated/folder_lock.h"
#include "kill_points.h"
#include "emulated/product_programs.h"
#include "emulator/machine.h"
#include "emulator/persistence/machine_folder.h"
#include "emulator/persistence/machine_settings.h"
#include "emulator/persistence/number_text.h"
#include "machine.h"
#include "script.h"

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

// The builds of machine new beside a target: ".NAME.new-XXXXXX".
std::string buildPrefix(const fs::path &target) {
    return "." + target.filename().string() + ".new-";
}

// Removes the builds of earlier machine new commands for the same target
// that were killed part-way: those whose lock nobody holds. (A build killed
// in the instant between making its folder and its lock has no lock, and is
// left: nothing tells it from one just begun.)
void removeAbandonedBuilds(const fs::path &target) {
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(target.parent_path(), error)) {
        if (entry.path().filename().string().rfind(buildPrefix(target), 0) != 0) {
            continue;
        }
        const int descriptor =
            ::open((entry.path() / kLockFileName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            fs::remove_all(entry.path(), error);
        }
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
}

// Refuses a target that holds anything but a lock file.
void refuseUnlessEmpty(const fs::path &target) {
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(target, error)) {
        if (entry.path().filename() != kLockFileName) {
            throw HostError("refusing to create a machine in a folder that is not empty: " +
                            target.string());
        }
    }
}

} // namespace

// The machine is built in a folder of its own beside the target, saved
// there, and renamed into place, which succeeds only over a folder that is
// absent or empty: a machine new killed part-way leaves the target as it
// was, and the next one for that target removes the abandoned build.
void createMachine(const std::string &folder, const std::string &windows, unsigned codePage,
                   bool withProductRunning) {
    const WindowsVersion *version = nullptr;
    for (const WindowsVersion &candidate : kVersions) {
        if (windows == candidate.name) {
            version = &candidate;
        }
    }
    if (version == nullptr) {
        throw UsageError("unknown Windows version: " + windows);
    }
    if (!emu::isSupportedCodePage(codePage)) {
        throw UsageError("unsupported code page: " + std::to_string(codePage));
    }
    const fs::path target = fs::weakly_canonical(fs::absolute(folder));
    refuseUnlessEmpty(target);
    fs::create_directories(target.parent_path());
    removeAbandonedBuilds(target);
    std::string pattern = (target.parent_path() / (buildPrefix(target) + "XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw HostError("cannot make a folder beside " + target.string() + ": " +
                        std::strerror(errno));
    }
    const std::string build = pattern;
    {
        FolderLock lock(build, "machine new", true);
        emu::resetMachine();
        emu::configureStandardMachine(emu::driveFolder(build, 'C'));
        emu::Machine &m = emu::machine();
        m.version = emu::VersionInfo{version->platform, version->major,       version->minor,
                                     version->build,    version->servicePack, false};
        m.codePage = codePage;
        for (const auto &[letter, type] :
             {std::pair{'A', emu::DriveRemovable}, std::pair{'D', emu::DriveCdrom},
              std::pair{'Z', emu::DriveRemote}}) {
            fs::create_directories(emu::driveFolder(build, letter));
            m.drives[letter] = emu::Drive{emu::driveFolder(build, letter), type};
        }
        applyDefaultRegistry();
        emu::setUserAnswer(IDOK, {});
        if (withProductRunning) {
            startProductPrograms();
        }
        emu::saveMachine(build, emu::currentState(), killPointForTests);
        lock.reached(FolderLock::Stage::Saved);
        killPointForTests("new-built");
        std::error_code error;
        fs::remove(target / kLockFileName, error); // a lock left by an earlier host
        fs::rename(build, target, error);
        if (error) {
            fs::remove_all(build);
            throw HostError(error == std::errc::directory_not_empty ||
                                    error == std::errc::file_exists
                                ? "refusing to create a machine in a folder that is not empty: " +
                                      target.string()
                                : "cannot put the new machine in place at " + target.string() +
                                      ": " + error.message());
        }
        emu::syncFolder(target.parent_path().string());
    }
}

const char *const kMachineUsage =
    "usage: radozavu machine new DIR [--windows VERSION] [--codepage N] [--with-product-running]\n"
    "                            [--no-wait]\n"
    "VERSION: 95 98 me nt4 nt4sp6 2000 xp 2003 vista (default xp); N: 1252 (default), 932,\n"
    "936, 949 or 950.\n";

const char *const kMachineSummary =
    "  machine new DIR [--windows VERSION] [--codepage N] [--with-product-running]\n"
    "                 create an emulated machine in DIR (VERSION: 95 98 me nt4 nt4sp6\n"
    "                 2000 xp 2003 vista; default xp; code page 1252 or 932 ...),\n"
    "                 optionally with Quillane installed and its programs running\n";
const char *const kMachineHelp =
    "The machine folder defaults to $RADOZAVU_MACHINE, else ./machine. A command\n"
    "holds the folder for its whole run; another waits for it, or with --no-wait\n"
    "fails at once. The library is libRADOZAVU.so beside this program.\n";

int machineCommand(const std::vector<std::string> &arguments) {
    if (arguments.empty() || arguments[0] != "new") {
        throw UsageError("machine takes the subcommand new (radozavu machine --help)");
    }
    const std::vector<std::string> words(arguments.begin() + 1, arguments.end());
    std::string folder;
    std::string windows = "xp";
    unsigned codePage = 1252;
    bool withProductRunning = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string value;
        if (words[i] == "--with-product-running") {
            withProductRunning = true;
        } else if (words[i] == "--no-wait") {
            continue; // machine new never waits (createMachine)
        } else if (optionValue(words, i, "--windows", value)) {
            windows = value;
        } else if (optionValue(words, i, "--codepage", value)) {
            const auto number = emu::readUnsigned(value, 65535);
            if (!number) {
                throw UsageError(
                    "--codepage takes a code page number (1252, 932, 936, 949 or 950), not " +
                    value);
            }
            codePage = static_cast<unsigned>(*number);
        } else if (words[i].rfind("--", 0) == 0) {
            throw UsageError("unknown option for machine new: " + words[i]);
        } else if (folder.empty()) {
            folder = words[i];
        } else {
            throw UsageError("machine new takes one folder");
        }
    }
    if (folder.empty()) {
        throw UsageError("machine new needs a folder");
    }
    createMachine(folder, windows, codePage, withProductRunning);
    std::cout << "created a Windows " << windows << " machine in " << folder
              << (withProductRunning ? ", Quillane installed and running" : "") << "\n";
    return 0;
}

} // namespace host
