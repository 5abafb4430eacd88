#include "machine_folder.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "platform/emulated/machine.h"
#include "platform/emulated/reg_file.h"
#include "platform/emulated/registry_export.h"

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

const std::map<UINT, std::string> kDriveTypeNames = {
    {emu::DriveUnknown, "unknown"}, {emu::DriveNoRootDir, "none"},   {emu::DriveRemovable, "removable"},
    {emu::DriveFixed, "fixed"},     {emu::DriveRemote, "remote"},    {emu::DriveCdrom, "cdrom"},
    {emu::DriveRamdisk, "ramdisk"},
};

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

std::string readWhole(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw MachineError("cannot read " + path.string());
    }
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string trim(const std::string &text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The settings file: sections of "name = value" lines, # comments.
using Settings = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

Settings parseSettings(const std::string &text, const std::string &file) {
    Settings settings;
    std::string section;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        line = trim(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            settings[section];
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos || section.empty()) {
            throw MachineError(file + ":" + std::to_string(number) + ": not a setting: " + line);
        }
        settings[section].emplace_back(trim(line.substr(0, equals)), trim(line.substr(equals + 1)));
    }
    return settings;
}

std::string setting(const Settings &settings, const std::string &section, const std::string &name,
                    const std::string &file) {
    auto it = settings.find(section);
    if (it != settings.end()) {
        for (const auto &[key, value] : it->second) {
            if (key == name) {
                return value;
            }
        }
    }
    throw MachineError(file + ": missing setting " + name + " in [" + section + "]");
}

unsigned long number(const std::string &text, const std::string &what) {
    char *end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') {
        throw MachineError("machine.conf: " + what + " is not a number: " + text);
    }
    return value;
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

std::string driveFolder(const std::string &folder, char letter) {
    return (fs::path(folder) / "drives" / std::string(1, letter)).string();
}

void createMachine(const std::string &folder, const std::string &windows, unsigned codePage) {
    const WindowsVersion *version = nullptr;
    for (const WindowsVersion &candidate : kVersions) {
        if (windows == candidate.name) {
            version = &candidate;
        }
    }
    if (version == nullptr) {
        throw MachineError("unknown Windows version: " + windows);
    }
    if (codePage != 1252 && codePage != 932 && codePage != 936 && codePage != 949 &&
        codePage != 950) {
        throw MachineError("unsupported code page: " + std::to_string(codePage));
    }
    std::error_code error;
    if (fs::exists(folder, error) && !fs::is_empty(folder, error)) {
        throw MachineError("refusing to create a machine in a folder that is not empty: " + folder);
    }
    fs::create_directories(folder);
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
    saveMachine(folder);
}

void saveMachine(const std::string &folder) {
    emu::Machine &m = emu::machine();
    std::ostringstream conf;
    conf << "# An emulated Windows machine of the RADOZAVU host. Edit with care.\n"
         << "[machine]\n"
         << "platform = " << m.version.platform << "\n"
         << "major = " << m.version.major << "\n"
         << "minor = " << m.version.minor << "\n"
         << "build = " << m.version.build << "\n"
         << "service-pack = " << m.version.servicePack << "\n"
         << "codepage = " << m.codePage << "\n"
         << "clock = " << m.clock.now() << "\n"
         << "current-directory = " << m.currentDirectory << "\n"
         << "windows-folder = " << m.windowsFolder << "\n"
         << "\n[drives]\n";
    for (const auto &[letter, drive] : m.drives) {
        conf << letter << " = " << kDriveTypeNames.at(drive.type) << "\n";
    }
    conf << "\n[environment]\n";
    for (const auto &[name, value] : m.environment) {
        conf << name << " = " << value << "\n";
    }

    const fs::path state = statePath(folder);
    const fs::path next = state.string() + ".new";
    const fs::path previous = state.string() + ".old";
    fs::remove_all(next);
    fs::create_directories(next);
    writeWhole(next / "machine.conf", conf.str());
    writeWhole(next / "registry.reg", emu::exportRegistry(m.registry));
    fs::remove_all(previous);
    if (fs::exists(state)) {
        fs::rename(state, previous);
    }
    fs::rename(next, state);
    fs::remove_all(previous);
}

void loadMachine(const std::string &folder) {
    fs::path state = statePath(folder);
    const fs::path previous = state.string() + ".old";
    std::error_code error;
    if (!fs::is_directory(state, error) && fs::is_directory(previous, error)) {
        state = previous; // a save was cut off after setting the old state aside
    }
    if (!fs::is_regular_file(state / "machine.conf", error) ||
        !fs::is_regular_file(state / "registry.reg", error)) {
        throw MachineError("not a machine folder (no state/machine.conf and state/registry.reg): " +
                           folder);
    }
    const Settings settings = parseSettings(readWhole(state / "machine.conf"), "machine.conf");
    emu::resetMachine();
    emu::Machine &m = emu::machine();
    const auto get = [&](const char *name) {
        return setting(settings, "machine", name, "machine.conf");
    };
    m.version.platform = static_cast<DWORD>(number(get("platform"), "platform"));
    m.version.major = static_cast<DWORD>(number(get("major"), "major"));
    m.version.minor = static_cast<DWORD>(number(get("minor"), "minor"));
    m.version.build = static_cast<DWORD>(number(get("build"), "build"));
    m.version.servicePack = get("service-pack");
    m.codePage = static_cast<UINT>(number(get("codepage"), "codepage"));
    m.clock.advance(number(get("clock"), "clock") - m.clock.now());
    m.currentDirectory = get("current-directory");
    m.windowsFolder = get("windows-folder");
    if (auto drives = settings.find("drives"); drives != settings.end()) {
        for (const auto &[letter, typeName] : drives->second) {
            UINT type = emu::DriveUnknown;
            bool known = false;
            for (const auto &[value, name] : kDriveTypeNames) {
                if (name == typeName) {
                    type = value;
                    known = true;
                }
            }
            if (letter.size() != 1 || !known) {
                throw MachineError("machine.conf: bad drive line: " + letter + " = " + typeName);
            }
            const std::string host = driveFolder(folder, letter[0]);
            if (!fs::is_directory(host, error)) {
                throw MachineError("machine folder is damaged: drive " + letter +
                                   " has no folder " + host);
            }
            m.drives[letter[0]] = emu::Drive{host, type};
        }
    }
    if (auto environment = settings.find("environment"); environment != settings.end()) {
        for (const auto &[name, value] : environment->second) {
            m.environment[name] = value;
        }
    }
    const emu::RegFileParse parsed = emu::parseRegFile(readWhole(state / "registry.reg"));
    if (!parsed.valid) {
        throw MachineError("registry.reg is damaged: " + parsed.problem);
    }
    emu::applyRegFile(m.registry, parsed.operations);
}

void appendJournal(const std::string &folder, const std::string &text) {
    std::ofstream(fs::path(folder) / "journal.log", std::ios::app) << text;
}

} // namespace host
