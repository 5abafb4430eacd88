#include "new_machine.h"

#include <filesystem>
#include <utility>

#include "emulator/machine.h"
#include "emulator/persistence/machine_folder.h"
#include "emulator/persistence/machine_settings.h"
#include "folder_lock.h"
#include "kill_points.h"
#include "product_programs.h"

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

} // namespace

void createMachine(const std::string &folder, const std::string &windows, unsigned codePage,
                   bool withProductRunning, bool wait) {
    const WindowsVersion *version = nullptr;
    for (const WindowsVersion &candidate : kVersions) {
        if (windows == candidate.name) {
            version = &candidate;
        }
    }
    if (version == nullptr) {
        throw emu::MachineError("unknown Windows version: " + windows);
    }
    if (!emu::isSupportedCodePage(codePage)) {
        throw emu::MachineError("unsupported code page: " + std::to_string(codePage));
    }
    const auto refuseUnlessEmpty = [&folder] {
        std::error_code error;
        for (const auto &entry : fs::directory_iterator(folder, error)) {
            if (entry.path().filename() != kLockFileName) {
                throw emu::MachineError(
                    "refusing to create a machine in a folder that is not empty: " + folder);
            }
        }
    };
    refuseUnlessEmpty();
    fs::create_directories(folder);
    const FolderLock lock(folder, "machine new", wait);
    refuseUnlessEmpty(); // another command may have made it a machine meanwhile
    emu::resetMachine();
    emu::configureStandardMachine(emu::driveFolder(folder, 'C'));
    emu::Machine &m = emu::machine();
    m.version = emu::VersionInfo{version->platform, version->major,       version->minor,
                                 version->build,    version->servicePack, false};
    m.codePage = codePage;
    for (const auto &[letter, type] :
         {std::pair{'A', emu::DriveRemovable}, std::pair{'D', emu::DriveCdrom},
          std::pair{'Z', emu::DriveRemote}}) {
        fs::create_directories(emu::driveFolder(folder, letter));
        m.drives[letter] = emu::Drive{emu::driveFolder(folder, letter), type};
    }
    applyDefaultRegistry();
    emu::setUserAnswer(IDOK, {});
    if (withProductRunning) {
        startProductPrograms();
    }
    emu::saveMachine(folder, emu::currentState(), killPointForTests);
}

} // namespace host
