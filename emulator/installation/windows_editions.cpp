#include "emulator/installation/windows_editions.h"

#include <filesystem>
#include <fstream>
#include <utility>

#include "emulator/machine.h"
#include "emulator/wow64/registry_views.h"
#include "emulator/wow64/wow64.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr const char *kXpOrder = "RDPNP,LanmanWorkstation,WebClient";
constexpr const char *kSevenOrder = "RDPNP,LanmanWorkstation,webclient";
// Windows 10 (since version 1903) and 11 list the provider of the Linux
// subsystem's file shares first.
constexpr const char *kTenOrder = "P9NP,RDPNP,LanmanWorkstation,webclient";
constexpr const char *kNo64 = "Windows had no 64-bit edition of this version";

const std::vector<WindowsEdition> kEditions = {
    {"95", k9x, 4, 0, 950, "", true, false, 0, 0, 0, kXpOrder, kNo64},
    {"98", k9x, 4, 10, 1998, " A ", true, false, 0, 0, 0, kXpOrder, kNo64},
    {"me", k9x, 4, 90, 3000, " ", true, false, 0, 0, 0, kXpOrder, kNo64},
    {"nt4", kNt, 4, 0, 1381, "Service Pack 1", true, false, 0, 0, 0, kXpOrder, kNo64},
    {"nt4sp6", kNt, 4, 0, 1381, "Service Pack 6a", true, false, 0, 0, 0, kXpOrder, kNo64},
    {"2000", kNt, 5, 0, 2195, "Service Pack 4", true, false, 0, 0, 0, kXpOrder, kNo64},
    {"xp", kNt, 5, 1, 2600, "Service Pack 2", true, true, 0, 0, 0, kXpOrder, ""},
    {"2003", kNt, 5, 2, 3790, "Service Pack 1", true, true, 0, 0, 0, kXpOrder, ""},
    {"vista", kNt, 6, 0, 6000, "", true, false, 0, 0, 0, kXpOrder,
     "the emulated Vista keeps the folders of XP and is modelled 32-bit only"},
    {"7", kNt, 6, 1, 7601, "Service Pack 1", true, true, 0, 0, 0, kSevenOrder, ""},
    {"8.1", kNt, 6, 2, 9200, "", true, true, 6, 3, 9600, kSevenOrder, ""},
    {"10", kNt, 6, 2, 9200, "", true, true, 10, 0, 19045, kTenOrder, ""},
    {"11", kNt, 6, 2, 9200, "", false, true, 10, 0, 22631, kTenOrder, ""},
};

// The 64-bit editions of XP and Server 2003 were one system, 5.2 build 3790.
constexpr DWORD kXp64Minor = 2;
constexpr DWORD kXp64Build = 3790;

void makeFolders(const std::string &hostFolder, std::initializer_list<std::string> folders) {
    for (const std::string &folder : folders) {
        fs::create_directories(fs::path(hostFolder) / folder);
    }
}

// An empty file stands for a program: the machine knows programs by path.
void makeProgram(const std::string &hostFolder, const std::string &path) {
    const std::ofstream program(fs::path(hostFolder) / path, std::ios::binary);
}

// The environment a 32-bit process is told of on a 64-bit Windows.
void addWow64Environment(bool programW6432) {
    for (const auto &[name, value] : wow64Environment(programW6432)) {
        machine().system.environment[name] = value;
    }
}

// What every layout holds: drive C: in hostFolder, the Windows folder of
// that name with its registry editor (and on a 64-bit machine SysWOW64 with
// the 32-bit one), and the setup program's file.
void installWindowsFolder(const std::string &hostFolder, const std::string &windows, bool x64) {
    Machine &m = machine();
    makeProgram(hostFolder, windows + "/regedit.exe");
    if (x64) {
        makeFolders(hostFolder, {windows + "/SysWOW64"});
        makeProgram(hostFolder, windows + "/SysWOW64/regedit.exe");
    }
    m.files.drives['C'] = Drive{hostFolder, DriveFixed};
    m.files.currentDirectory = "C:\\";
    m.system.windowsFolder = "C:\\" + windows;
    m.processes.programFile = "C:\\Setup\\SETUP.EXE";
}

// Windows 7 and later: C:\Windows, C:\Users, C:\ProgramData.
void configureUsersLayout(const std::string &hostFolder, bool x64) {
    Machine &m = machine();
    makeFolders(hostFolder,
                {"Windows/System32/drivers/etc", "Program Files/Common Files", "ProgramData",
                 "Users/Public/Desktop", "Users/Public/Documents", "Users/Administrator/Desktop",
                 "Users/Administrator/AppData/Roaming", "Users/Administrator/AppData/Local/Temp"});
    if (x64) {
        makeFolders(hostFolder, {"Program Files (x86)/Common Files"});
    }
    installWindowsFolder(hostFolder, "Windows", x64);
    const std::string profile = "C:\\Users\\Administrator";
    const std::string temp = profile + "\\AppData\\Local\\Temp";
    m.system.environment = {
        {"windir", "C:\\Windows"},
        {"SystemRoot", "C:\\Windows"},
        {"SystemDrive", "C:"},
        {"ProgramFiles", "C:\\Program Files"},
        {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {"ProgramData", "C:\\ProgramData"},
        {"ALLUSERSPROFILE", "C:\\ProgramData"},
        {"PUBLIC", "C:\\Users\\Public"},
        {"USERPROFILE", profile},
        {"APPDATA", profile + "\\AppData\\Roaming"},
        {"LOCALAPPDATA", profile + "\\AppData\\Local"},
        {"TEMP", temp},
        {"TMP", temp},
        {"PROCESSOR_ARCHITECTURE", "x86"},
        {"COMPUTERNAME", "SETUPTEST"},
        {"USERNAME", "Administrator"},
    };
    if (x64) {
        addWow64Environment(true);
    }
    const std::string programFiles = m.system.environment["ProgramFiles"];
    // The system folder keeps its name under WOW64 (the file system
    // redirects it); the 32-bit programs' own is SysWOW64.
    const std::string system = "C:\\Windows\\system32";
    const std::string systemX86 = x64 ? "C:\\Windows\\SysWOW64" : system;
    m.system.specialFolders = {
        {CSIDL_DESKTOP, profile + "\\Desktop"},
        {CSIDL_DRIVES, ""},
        {CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\Users\\Public\\Desktop"},
        {CSIDL_APPDATA, profile + "\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, profile + "\\AppData\\Local"},
        {CSIDL_COMMON_APPDATA, "C:\\ProgramData"},
        {CSIDL_WINDOWS, "C:\\Windows"},
        {CSIDL_SYSTEM, system},
        {CSIDL_SYSTEMX86, systemX86},
        {CSIDL_PROGRAM_FILES, programFiles},
        {CSIDL_PROGRAM_FILESX86, programFiles},
        {CSIDL_PROGRAM_FILES_COMMON, m.system.environment["CommonProgramFiles"]},
    };
}

// The versions before Windows 7: C:\WINDOWS, C:\Documents and Settings;
// on XP and Server 2003 x64 with the 32-bit programs' own folders.
void configureDocumentsLayout(const std::string &hostFolder, bool x64) {
    Machine &m = machine();
    makeFolders(hostFolder,
                {"WINDOWS/system32", "Program Files", "Documents and Settings/All Users/Desktop",
                 "Documents and Settings/Administrator/Desktop"});
    if (x64) {
        makeFolders(hostFolder, {"Program Files (x86)"});
    }
    installWindowsFolder(hostFolder, "WINDOWS", x64);
    m.system.environment = {
        {"WINDIR", "C:\\WINDOWS"},     {"SystemRoot", "C:\\WINDOWS"},
        {"SystemDrive", "C:"},         {"ProgramFiles", "C:\\Program Files"},
        {"TEMP", "C:\\WINDOWS\\TEMP"}, {"TMP", "C:\\WINDOWS\\TEMP"},
        {"COMPUTERNAME", "SETUPTEST"}, {"USERNAME", "Administrator"},
    };
    if (x64) {
        addWow64Environment(false);
    }
    const std::string commonDesktop = "C:\\Documents and Settings\\All Users\\Desktop";
    m.system.specialFolders = {
        {CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktop},
        {CSIDL_DESKTOP, "C:\\Documents and Settings\\Administrator\\Desktop"},
        {CSIDL_DRIVES, ""}, // My Computer, outside the file system
    };
    m.registry.setString(HKEY_LOCAL_MACHINE,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "Common Desktop", commonDesktop);
}

// The registry paths of SOFTWARE as each view stores them: the 64-bit
// view's own, then the 32-bit view's below WOW6432Node; on a 32-bit
// machine its one view.
std::vector<std::string> softwareKeys(bool x64) {
    if (!x64) {
        return {"SOFTWARE"};
    }
    return {"SOFTWARE", std::string("SOFTWARE\\") + kWow64Node};
}

// The values of a fresh installation that the library, the host and the
// installer's scripts look at.
void applyDefaultRegistry(const WindowsEdition &edition, bool x64) {
    Registry &r = machine().registry;
    const HKEY machineRoot = HKEY_LOCAL_MACHINE;
    const HKEY user = HKEY_CURRENT_USER;
    const bool users = hasUsersFolder(edition);
    const std::string windows = users ? "C:\\Windows" : "C:\\WINDOWS";
    if (users) {
        // Made first, so that the keys are named as Windows names them.
        r.create(machineRoot, "SYSTEM\\CurrentControlSet\\Control");
        for (const std::string &software : softwareKeys(x64)) {
            r.setString(machineRoot,
                        software + "\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        "Common Desktop", "C:\\Users\\Public\\Desktop");
        }
    }
    r.setString(machineRoot, "System\\CurrentControlSet\\Control\\NetworkProvider\\Order",
                "ProviderOrder", edition.providerOrder);
    r.setString(user, "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders",
                "Desktop",
                users ? "C:\\Users\\Administrator\\Desktop"
                      : "C:\\Documents and Settings\\Administrator\\Desktop");
    for (const std::string &software : softwareKeys(x64)) {
        r.create(machineRoot, software + "\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
    }
    r.create(machineRoot, "SOFTWARE\\Classes\\Installer\\Products");
    r.create(user, "Software\\Microsoft\\Installer\\Products");
    r.create(machineRoot, "SYSTEM\\CurrentControlSet\\Services");
    r.create(machineRoot, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    for (const std::string &software : softwareKeys(x64)) {
        r.setString(machineRoot, software + "\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot",
                    windows);
    }
    if (!users && !x64) {
        return; // the earlier versions as this model has always made them
    }
    // Where programs go, as each view tells it.
    for (const std::string &software : softwareKeys(x64)) {
        const std::string key = software + "\\Microsoft\\Windows\\CurrentVersion";
        const bool view32 = x64 && software != "SOFTWARE";
        const std::string native = "C:\\Program Files";
        const std::string programFiles = view32 ? "C:\\Program Files (x86)" : native;
        r.setString(machineRoot, key, "ProgramFilesDir", programFiles);
        r.setString(machineRoot, key, "CommonFilesDir", programFiles + "\\Common Files");
        if (x64) {
            r.setString(machineRoot, key, "ProgramFilesDir (x86)", "C:\\Program Files (x86)");
            r.setString(machineRoot, key, "CommonFilesDir (x86)",
                        "C:\\Program Files (x86)\\Common Files");
            if (users) {
                r.setString(machineRoot, key, "ProgramW6432Dir", native);
                r.setString(machineRoot, key, "CommonW6432Dir", native + "\\Common Files");
            }
        }
    }
}

// The system's services that a fresh installation of Windows 7 or later
// runs and that the library's service functions may meet.
void addStandardServices() {
    Machine &m = machine();
    const std::pair<const char *, const char *> running[] = {
        {"EventLog", "Windows Event Log"},
        {"LanmanWorkstation", "Workstation"},
        {"RpcSs", "Remote Procedure Call (RPC)"},
        {"Winmgmt", "Windows Management Instrumentation"},
    };
    for (const auto &[name, display] : running) {
        Service &service = m.services.add(name, SERVICE_RUNNING);
        service.displayName = display;
        service.acceptsStop = std::string(name) != "RpcSs";
        m.registry.create(HKEY_LOCAL_MACHINE,
                          std::string("SYSTEM\\CurrentControlSet\\Services\\") + name);
    }
    Service &webClient = m.services.add("WebClient", SERVICE_STOPPED);
    webClient.displayName = "WebClient";
    m.registry.create(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\WebClient");
}

} // namespace

const std::vector<WindowsEdition> &windowsEditions() { return kEditions; }

const WindowsEdition &defaultEdition() { return *findWindowsEdition(kDefaultEdition); }

const WindowsEdition *findWindowsEdition(const std::string &name) {
    for (const WindowsEdition &edition : kEditions) {
        if (name == edition.name) {
            return &edition;
        }
    }
    return nullptr;
}

std::string windowsEditionNames() {
    std::string names;
    for (const WindowsEdition &edition : kEditions) {
        names += (names.empty() ? "" : " ") + std::string(edition.name);
    }
    return names;
}

bool x64ByDefault(const WindowsEdition &edition) { return !edition.has32Bit; }

std::string missingEdition(const WindowsEdition &edition, bool x64) {
    const std::string name = edition.name;
    if (x64 && !edition.has64Bit) {
        return "no x64 machine of Windows " + name + ": " + edition.no64BitReason;
    }
    if (!x64 && !edition.has32Bit) {
        return "no x86 machine of Windows " + name + ": Windows " + name + " is 64-bit only";
    }
    return "";
}

bool hasUsersFolder(const WindowsEdition &edition) {
    return edition.platform == VER_PLATFORM_WIN32_NT &&
           (edition.major > 6 || (edition.major == 6 && edition.minor >= 1));
}

VersionInfo editionVersion(const WindowsEdition &edition, bool x64) {
    VersionInfo version{edition.platform, edition.major,       edition.minor,
                        edition.build,    edition.servicePack, false};
    if (x64 && !hasUsersFolder(edition)) {
        version.minor = kXp64Minor;
        version.build = kXp64Build;
    }
    version.manifestedMajor = edition.manifestedMajor;
    version.manifestedMinor = edition.manifestedMinor;
    version.manifestedBuild = edition.manifestedBuild;
    return version;
}

void configureWindows(const std::string &hostFolder, const WindowsEdition &edition, bool x64) {
    if (hasUsersFolder(edition)) {
        configureUsersLayout(hostFolder, x64);
    } else {
        configureDocumentsLayout(hostFolder, x64);
    }
    Machine &m = machine();
    m.system.x64 = x64;
    m.system.version = editionVersion(edition, x64);
    applyDefaultRegistry(edition, x64);
    if (hasUsersFolder(edition)) {
        addStandardServices();
    }
}

} // namespace emu
