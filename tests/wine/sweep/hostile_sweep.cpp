// Every export of the real DLL called as a careless or hostile caller would:
// texts that end at a no-access page, overlong and odd paths, nulls, odd
// numbers, garbage files, locked files, folders and devices in place of
// files, registry values of the wrong type, huge or without a terminator.
//
// The test (the parent) runs each case in a process of its own (the same
// program with --case N) under a time limit. The case process calls the
// export through a thunk that measures the stack, checks every heap
// afterwards, answers any message box, and compares snapshots of the
// registry areas and folders outside its scratch folder taken before and
// after the call. A window of the parent refuses the end of the session, so
// the restart export's request restarts nothing. The sibling-library
// stand-ins lie at the drive's root as a trap: a library loaded from there
// is a failure. --long adds a 50 MB file and a gzip bomb of 1 GiB.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "wine_support.h"

// Calls fn with count 32-bit arguments (args[0] first) and stores how far the
// stack pointer is off after the call: 0 when the export took exactly its
// arguments off the stack, as __stdcall requires.
extern "C" std::uint32_t sweepCall(const void *fn, const std::uint32_t *args, std::uint32_t count,
                                   std::int32_t *imbalance);
asm(R"(
    .text
    .globl _sweepCall
_sweepCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl %esp, %ebx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    movl %ebx, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

constexpr const char *kSweepFolder = "C:\\sweep\\";
constexpr DWORD kCaseLimitMs = 60000; // generous: a case takes well under a second
constexpr std::size_t kPage = 4096;

bool longMode = false;
const char *onlyExport = nullptr; // --export NAME: the cases of one export alone

// ---- The exports and what each is documented to change ----

// Argument kinds: T a text, R a SetupCallRecord, I a 32-bit number.
struct Export {
    const char *name;
    const char *arguments;
    std::vector<const char *> mayChange; // prefixes of snapshot entries
};

const std::vector<const char *> kProduct = {"HKLM\\Software\\Brevanta", "HKCU\\Software\\Brevanta"};
const std::vector<const char *> kProviderOrder = {
    "HKLM\\System\\CurrentControlSet\\Control\\NetworkProvider", "C:\\windows\\QLNQUILL.INI"};
const std::vector<const char *> kNone = {};

const std::vector<Export> &exports() {
    static const std::vector<Export> table = {
        {"GetValidateSettings", "T", kNone},
        {"GetInstallDirectory", "T", kNone},
        {"GetCreateDesktopIcon", "T", kNone},
        {"GetProgramGroup", "T", kNone},
        {"GetRasMessage", "T", kNone},
        {"GetAllowLocalSync", "T", kNone},
        {"GetAllowNetworkSync", "T", kNone},
        {"GetAllowOneWaySync", "T", kNone},
        {"GetAllowTwoWaySync", "T", kNone},
        {"GetRebootPrompt", "T", kNone},
        {"GetInitialPreferencesFile", "T", kNone},
        {"GetShowHelpAtStartUp", "T", kNone},
        {"GetDefaultWebSite", "T", kNone},
        {"GetCreateAgentIcon", "T", kNone},
        {"GetEnableVirtualNetworkProjects", "T", kNone},
        {"GetEnableBackupProjects", "T", kNone},
        {"GetCreateNetworkProviderEntries", "T", kNone},
        {"GetInitialRegFile", "T", kNone},
        {"GetAllowInstallOnNTServer", "T", kNone},
        {"GetInstallService", "T", kNone},
        {"GetSvcDependentServices", "T", kNone},
        {"GetUninstallRebootPrompt", "T", kNone},
        {"GetDefaultCacheLocation", "T", kNone},
        {"GetDefaultVirtualNetworkLocation", "T", kNone},
        {"GetUpgradeVersionCheck", "T", kNone},
        {"GetMultipleIniFiles", "T", kNone},
        {"GetExecuteOnCompletion", "T", kNone},
        {"GetExecutableCmdLineOptions", "T", kNone},
        {"RADOzavu_SetRegistryInfo", "TT", kNone},
        {"HKPerformPostInstallActions", "TT", kProduct},
        {"MoveInitialPreferencesFileEX", "TT", kNone},
        {"MoveAllINIFilesEX", "TT", kNone},
        {"ExecInitialRegFileEX", "T", kNone},
        {"HKSetupCleanUpOldFiles",
         "R",
         {"HKLM\\System\\CurrentControlSet\\Control\\Session Manager"}},
        {"HKUpdateSetupDateInRegistryEX", "", kProduct},
        {"HKUpdateSetupDateInRegistry", "R", kProduct},
        {"HKConfigureWriteMonitorPathsEX", "T", kNone},
        {"HKConfigureWriteMonitorPaths", "R", kNone},
        {"HKDelRegistryEntry", "ITT", kProduct},
        {"CancelUninstallEX", "", {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"}},
        {"EditCustomizedInstallPathEX", "T", kNone},
        {"EditRegistryOnReinstallEX", "T", kNone},
        {"DeleteRegPackageNameEX",
         "T",
         {"HKLM\\Software\\Classes\\Installer", "HKCU\\Software\\Microsoft\\Installer"}},
        {"QLNSetupCompressFile", "TTI", kNone},
        {"QLNSetupUncompressFile", "TT", kNone},
        {"HKGetStringFromNumber", "I", kNone},
        {"HKGetNumberFromString", "T", kNone},
        {"HKSetupValidateLocalDirectory", "R", kNone},
        {"HKSetupValidateLocalDirectoryEX", "T", kNone},
        {"HKIsWindows2000", "", kNone},
        {"HKIsWindowsXP", "", kNone},
        {"HKSetupGetDefaultInstallLocation", "", kNone},
        {"HKSetupGetCommonDesktopLocation", "", kNone},
        // Writes the desktop folder into the profile file the record names;
        // a bare name is a file of the Windows folder.
        {"HKSetupGetCommonDesktopFolderLocation", "R", {"C:\\windows\\"}},
        {"HKGetSetupExePath", "", kNone},
        {"HKSetupFindRunningApps", "R", kNone},
        {"HKServerSetupFindRunningApps", "R", kNone},
        {"HKSetupAreThereAnyRunningServerApps", "R", kNone},
        {"HKSetupStopRunningServerApps", "R", kNone},
        {"CreateServiceEX", "T", {"HKLM\\System\\CurrentControlSet\\Services"}},
        {"HKAdd2DependentServicesEX", "T", kNone},
        {"HKAdd2DependentServices", "R", kNone},
        {"HKSetupAddActionLog", "R", kNone},
        {"HKAddNetworkProvider", "R", kProviderOrder},
        {"HKAddNetworkProviderEX", "", kProviderOrder},
        {"HKRemoveNetworkProvider", "R", kProviderOrder},
        {"HKRemoveNetworkProviderEX", "", kProviderOrder},
        {"HKSetupRebootComputer", "R", {"HKCU\\Software\\Brevanta", "C:\\Program Files\\Brevanta"}},
    };
    return table;
}

// ---- Hostile values ----

std::string scratch(int caseNumber) { return kSweepFolder + std::to_string(caseNumber) + "\\"; }

// The texts a hostile caller passes; "%S" stands for the case's scratch
// folder (with its backslash). A null entry is the null pointer. The lists
// below name them by their labels.
struct HostileText {
    const char *label;
    const char *pattern; // nullptr: the null pointer
    std::size_t padTo;   // filled up with 'a' to this many characters
    bool terminated;
};

const std::vector<HostileText> &hostileTexts() {
    static const std::vector<HostileText> texts = {
        {"null", nullptr, 0, true},
        {"empty", "", 0, true},
        {"drive without folder", "C:", 0, true},
        {"scratch folder", "%S", 0, true},
        {"garbage file", "%Sgarbage.bin", 0, true},
        {"line of 70,000 characters", "%Slong-line.ini", 0, true},
        {"locked file", "%Slocked.bin", 0, true},
        {"folder as file", "%Sfolder", 0, true},
        {"device", "NUL", 0, true},
        {"long form", "\\\\?\\%Sgarbage.bin", 0, true},
        {"network path", "\\\\nowhere\\share\\file", 0, true},
        {"path of 260 characters", "%S", 260, true},
        {"path of 32767 characters", "%S", 32767, true},
        {"text of 64 KiB with bars", "%S|message|", 65536, true},
        {"high bytes", "%S\x82\x5c\x83\x5c\xff\xfe.ini", 0, true},
        {"new file", "%Snew.out", 0, true},
        {"unterminated", "%Sno-end", 0, false},
        // Only in --long runs.
        {"file of 50 MB", "%Sbig.bin", 0, true},
        {"gzip bomb of 1 GiB", "%Sbomb.gz", 0, true},
    };
    return texts;
}

// The place of the text with this label in hostileTexts(); a label that is
// not there stops the run.
std::int64_t textNamed(const char *label) {
    const auto &texts = hostileTexts();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (std::strcmp(texts[i].label, label) == 0) {
            return static_cast<std::int64_t>(i);
        }
    }
    std::fprintf(stderr, "no hostile text \"%s\"\n", label);
    std::abort();
}

std::vector<std::int64_t> textsNamed(std::initializer_list<const char *> labels) {
    std::vector<std::int64_t> places;
    for (const char *label : labels) {
        places.push_back(textNamed(label));
    }
    return places;
}

const std::int64_t kDriveText = textNamed("drive without folder");
const std::int64_t kScratchText = textNamed("scratch folder");
const std::int64_t kNewFileText = textNamed("new file");
const std::int64_t kBigFileText = textNamed("file of 50 MB");
const std::int64_t kGzipBombText = textNamed("gzip bomb of 1 GiB");
// Every text argument an export reads gets these: null, empty, a drive
// alone, the long form, 32767 characters, no terminator.
const std::vector<std::int64_t> kTextsForEveryReader =
    textsNamed({"null", "empty", "drive without folder", "long form", "path of 32767 characters",
                "unterminated"});
// The copies' files (and the getters' shared reader) get these too: files
// and things that are no files, a network path, a path of 260 characters,
// 64 KiB, high bytes, a new file. Other file arguments get a folder in place
// of a file.
const std::vector<std::int64_t> kTextsForFiles =
    textsNamed({"garbage file", "line of 70,000 characters", "locked file", "folder as file",
                "device", "network path", "path of 260 characters", "text of 64 KiB with bars",
                "high bytes", "new file"});
const std::vector<std::int64_t> kTextsForOtherFiles = textsNamed({"folder as file"});
// Texts that are not read (a record's text where only the owner counts):
// the text's ends.
const std::vector<std::int64_t> kTextsForTheRest =
    textsNamed({"null", "path of 32767 characters", "unterminated"});

const std::vector<std::int32_t> kHostileNumbers = {0, -1, INT32_MIN, INT32_MAX};

// Registry and file conditions set up before the call.
enum class Condition {
    Plain,
    GarbageSetup,  // QLNSETUP.INI and the other setup files of the scratch folder are garbage
    LongLineSetup, // QLNSETUP.INI holds a line of 70,000 characters
    WrongTypes,    // the product's and the provider order's values have the wrong types
    HugeValues,    // ... are 1 MB long
    Unterminated,  // ... are texts without a terminator
    BigFile,       // --long: a 50 MB file to copy
    GzipBomb,      // --long: a gzip file that expands to 1 GiB
};

struct Case {
    std::size_t exportIndex = 0;
    std::vector<std::int64_t> arguments; // text: index into hostileTexts(); number: its value
    Condition condition = Condition::Plain;
    std::string label;
    bool unterminated = false; // a crash is the caller's broken contract, not a failure
};

// What an export reads besides its arguments, for the conditions set up
// before a call: the setup folder's files, or registry values.
enum Reads { kNothingElse = 0, kSetupFiles = 1, kRegistry = 2 };

int readsBesides(const std::string &name) {
    static const std::vector<std::string> setupReaders = {
        "GetInstallDirectory", "HKPerformPostInstallActions", "MoveAllINIFilesEX",
        "HKSetupAddActionLog"};
    static const std::vector<std::string> registryReaders = {
        "HKSetupFindRunningApps", "HKSetupGetDefaultInstallLocation",
        "HKSetupRebootComputer",  "HKUpdateSetupDateInRegistryEX",
        "HKAddNetworkProviderEX", "HKRemoveNetworkProviderEX"};
    auto listed = [&name](const std::vector<std::string> &list) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    return (listed(setupReaders) ? kSetupFiles : 0) | (listed(registryReaders) ? kRegistry : 0);
}

const std::vector<std::int64_t> &textsFor(const std::string &name, std::size_t position) {
    static const std::vector<std::int64_t> forFiles = [] {
        std::vector<std::int64_t> texts = kTextsForEveryReader;
        texts.insert(texts.end(), kTextsForFiles.begin(), kTextsForFiles.end());
        return texts;
    }();
    static const std::vector<std::int64_t> forOtherFiles = [] {
        std::vector<std::int64_t> texts = kTextsForEveryReader;
        texts.insert(texts.end(), kTextsForOtherFiles.begin(), kTextsForOtherFiles.end());
        return texts;
    }();
    // The getters share one reader, which GetInstallDirectory's cases try
    // in full; the others are called with plain arguments.
    static const std::vector<std::int64_t> none;
    static const std::vector<std::string> fileTakers = {
        "MoveInitialPreferencesFileEX", "MoveAllINIFilesEX", "HKPerformPostInstallActions",
        "ExecInitialRegFileEX"};
    static const std::vector<std::string> ownerOnly = {"HKSetupFindRunningApps",
                                                       "HKServerSetupFindRunningApps",
                                                       "HKSetupAreThereAnyRunningServerApps",
                                                       "HKSetupStopRunningServerApps",
                                                       "HKUpdateSetupDateInRegistry",
                                                       "HKAddNetworkProvider",
                                                       "HKRemoveNetworkProvider",
                                                       "HKSetupRebootComputer"};
    auto listed = [&name](const std::vector<std::string> &list) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    if (name == "QLNSetupCompressFile" || name == "QLNSetupUncompressFile" ||
        name == "GetInstallDirectory") {
        return forFiles;
    }
    if (listed(fileTakers)) {
        return forOtherFiles;
    }
    const bool valueName = name == "HKDelRegistryEntry" && position == 2;
    if (name.rfind("Get", 0) == 0) {
        return none;
    }
    if (listed(ownerOnly) || valueName) {
        return kTextsForTheRest;
    }
    return kTextsForEveryReader;
}

// Each case changes one thing: one argument takes a hostile value while the
// others take the scratch folder or the number 6; or every argument is plain
// and the setup files or the registry values are hostile.
std::vector<Case> allCases() {
    std::vector<Case> cases;
    const auto &texts = hostileTexts();
    for (std::size_t e = 0; e < exports().size(); ++e) {
        const Export &entry = exports()[e];
        const std::string kinds = entry.arguments;
        const std::string name = entry.name;
        if (onlyExport != nullptr && name != onlyExport) {
            continue;
        }
        std::vector<std::int64_t> plain;
        for (char kind : kinds) {
            plain.push_back(kind == 'I' ? 6 : kScratchText);
        }
        if (name == "HKDelRegistryEntry") {
            plain[0] = 2; // the root it accepts
        }
        auto add = [&](std::vector<std::int64_t> arguments, Condition condition,
                       const std::string &label, bool unterminated) {
            cases.push_back({e, std::move(arguments), condition, name + " " + label, unterminated});
        };
        add(plain, Condition::Plain, "with plain arguments", false);
        const int reads = readsBesides(name);
        if ((reads & kSetupFiles) != 0) {
            add(plain, Condition::GarbageSetup, "with garbage setup files", false);
            add(plain, Condition::LongLineSetup, "with a setup file line of 70,000 characters",
                false);
        }
        if ((reads & kRegistry) != 0) {
            add(plain, Condition::WrongTypes, "with registry values of the wrong type", false);
            add(plain, Condition::HugeValues, "with registry values of 1 MB", false);
            add(plain, Condition::Unterminated, "with registry texts without a terminator", false);
        }
        for (std::size_t position = 0; position < kinds.size(); ++position) {
            const std::string argument = "argument " + std::to_string(position + 1);
            if (kinds[position] == 'I') {
                for (std::int32_t number : kHostileNumbers) {
                    auto arguments = plain;
                    arguments[position] = number;
                    add(arguments, Condition::Plain, argument + " = " + std::to_string(number),
                        false);
                }
                continue;
            }
            for (std::int64_t t : textsFor(name, position)) {
                const HostileText &text = texts[static_cast<std::size_t>(t)];
                auto arguments = plain;
                arguments[position] = t;
                add(arguments, Condition::Plain, argument + ": " + text.label, !text.terminated);
            }
        }
        if (longMode && name == "QLNSetupCompressFile") {
            add({kBigFileText, kNewFileText, 9}, Condition::BigFile, "file of 50 MB", false);
        } else if (longMode && name == "QLNSetupUncompressFile") {
            add({kGzipBombText, kNewFileText}, Condition::GzipBomb, "gzip bomb of 1 GiB", false);
        } else if (longMode && name == "GetInstallDirectory") {
            add(plain, Condition::BigFile, "setup file of 50 MB", false);
        }
    }
    return cases;
}

// ---- Memory at the end of a readable page, followed by a no-access page ----

void *guarded(const void *data, std::size_t size) {
    const std::size_t dataPages = (size + kPage - 1) / kPage + (size == 0 ? 1 : 0);
    auto *base = static_cast<char *>(
        VirtualAlloc(nullptr, (dataPages + 1) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    char *start = base + dataPages * kPage - size;
    std::memcpy(start, data, size);
    DWORD old = 0;
    VirtualProtect(base, dataPages * kPage, PAGE_READONLY, &old);
    VirtualProtect(base + dataPages * kPage, kPage, PAGE_NOACCESS, &old);
    return start;
}

std::string expand(const HostileText &text, const std::string &folder) {
    std::string value = text.pattern;
    if (const std::size_t at = value.find("%S"); at != std::string::npos) {
        value.replace(at, 2, folder);
    }
    if (value.size() < text.padTo) {
        value.append(text.padTo - value.size(), 'a');
    }
    return value;
}

const char *guardedText(const HostileText &text, const std::string &folder) {
    if (text.pattern == nullptr) {
        return nullptr;
    }
    const std::string value = expand(text, folder);
    return static_cast<const char *>(
        guarded(value.c_str(), value.size() + (text.terminated ? 1 : 0)));
}

// ---- Snapshots of what lies outside the case's scratch folder ----

using Snapshot = std::map<std::string, std::string>;

std::string digest(const BYTE *data, DWORD size) {
    std::uint32_t hash = 2166136261u;
    for (DWORD i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return std::to_string(size) + ":" + std::to_string(hash);
}

void snapshotKey(Snapshot &out, HKEY root, const std::string &rootName, const std::string &path,
                 int depth) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    const std::string name = rootName + "\\" + path;
    out[name] = "key";
    static std::vector<BYTE> data(1 << 21); // the largest value a case stores, and more
    static char valueName[16384];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof valueName;
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            break;
        }
        out[name + "\\[" + valueName + "]"] =
            std::to_string(type) + "/" + digest(data.data(), size);
    }
    // Subkeys are listed by name; only those within depth are looked into.
    std::vector<std::string> subkeys;
    char subkey[512];
    for (DWORD i = 0; RegEnumKeyA(key, i, subkey, sizeof subkey) == ERROR_SUCCESS; ++i) {
        subkeys.emplace_back(subkey);
        out[name + "\\" + subkey] = "key";
    }
    RegCloseKey(key);
    if (depth > 0) {
        for (const std::string &sub : subkeys) {
            snapshotKey(out, root, rootName, path + "\\" + sub, depth - 1);
        }
    }
}

void snapshotFolder(Snapshot &out, const std::string &folder, int depth, const std::string &skip) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    std::vector<std::string> subfolders;
    do {
        const std::string name = found.cFileName;
        const std::string path = folder + name;
        if (name == "." || name == ".." || lstrcmpiA((path + "\\").c_str(), skip.c_str()) == 0) {
            continue;
        }
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        out[path] = isFolder ? "folder"
                             : std::to_string(found.nFileSizeLow) + "@" +
                                   std::to_string(found.ftLastWriteTime.dwLowDateTime) + "/" +
                                   std::to_string(found.dwFileAttributes);
        if (isFolder && depth > 0) {
            subfolders.push_back(path + "\\");
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string &sub : subfolders) {
        snapshotFolder(out, sub, depth - 1, skip);
    }
}

Snapshot snapshot(const std::string &scratchFolder) {
    Snapshot out;
    const std::pair<HKEY, const char *> roots[] = {{HKEY_LOCAL_MACHINE, "HKLM"},
                                                   {HKEY_CURRENT_USER, "HKCU"}};
    for (const auto &[root, name] : roots) {
        snapshotKey(out, root, name, "Software", 0);
        snapshotKey(out, root, name, "Software\\Brevanta", 8);
        snapshotKey(out, root, name, "Software\\Microsoft\\Installer", 8);
    }
    snapshotKey(out, HKEY_LOCAL_MACHINE, "HKLM", "Software\\Classes\\Installer", 8);
    snapshotKey(out, HKEY_LOCAL_MACHINE, "HKLM",
                "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 2);
    snapshotKey(out, HKEY_LOCAL_MACHINE, "HKLM", "System\\CurrentControlSet\\Services", 0);
    snapshotKey(out, HKEY_LOCAL_MACHINE, "HKLM",
                "System\\CurrentControlSet\\Control\\NetworkProvider", 2);
    snapshotKey(out, HKEY_LOCAL_MACHINE, "HKLM",
                "System\\CurrentControlSet\\Control\\Session Manager", 0);
    snapshotFolder(out, "C:\\", 0, scratchFolder);
    snapshotFolder(out, "C:\\windows\\", 0, scratchFolder);
    snapshotFolder(out, "C:\\Program Files\\", 2, scratchFolder);
    snapshotFolder(out, kSweepFolder, 0, scratchFolder);
    snapshotFolder(out, wine::programFolder(), 0, scratchFolder);
    return out;
}

bool startsWith(const std::string &text, const char *prefix) {
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(length),
                          prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

// ---- The case process ----

enum Verdict : DWORD {
    kPassed = 0,
    kChangedOutside = 0xE5010001,
    kStackImbalance = 0xE5010002,
    kHeapInvalid = 0xE5010003,
    kTrapLoaded = 0xE5010004,
    kBadCase = 0xE5010005,
};

std::string verdictFile(int caseNumber) {
    return kSweepFolder + std::to_string(caseNumber) + ".txt";
}

// A crash ends the case process with the exception's code, before Wine's
// debugger could be asked to step in.
LONG WINAPI endOnCrash(EXCEPTION_POINTERS *exception) {
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

void writeGarbage(const std::string &path, std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u; // fixed seed: the same bytes every run
        byte = static_cast<char>(state >> 24);
    }
    wine::writeFile(path, bytes);
}

void setValue(HKEY root, const char *path, const char *name, DWORD type, const std::string &data) {
    HKEY key = nullptr;
    RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                   static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

void prepare(const Case &c, const std::string &folder, HMODULE library) {
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "folder").c_str(), nullptr);
    SetCurrentDirectoryA(folder.c_str());
    writeGarbage(folder + "garbage.bin", 65536);
    wine::writeFile(folder + "long-line.ini",
                    "[Configuration]\r\nInstallDirectory=" + std::string(70000, 'x') + "\r\n");
    wine::writeFile(folder + "locked.bin", "locked");
    wine::writeFile(folder + "QLNSETUP.INI",
                    "[Configuration]\r\nInstallActionLog=" + folder + "action.log\r\n");
    const std::string productKeys[] = {"Software\\Brevanta\\Quillane\\Preferences",
                                       "Software\\Brevanta\\Quillane\\Reserved"};
    const char *order = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
    auto setHostile = [&](DWORD type, const std::string &data) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (const std::string &key : productKeys) {
                for (const char *name : {"AllowRequestUserCloseApp", "InstallLocation",
                                         "ExitWindows", "LastSetupTime"}) {
                    setValue(root, key.c_str(), name, type, data);
                }
            }
            setValue(root, "Software\\Brevanta\\Quillane", "InstallLocation", type, data);
        }
        setValue(HKEY_LOCAL_MACHINE, order, "ProviderOrder", type, data);
    };
    switch (c.condition) {
    case Condition::Plain:
        break;
    case Condition::GarbageSetup:
        for (const char *name : {"QLNSETUP.INI", "QLNINIT.INI", "QLNCFG.REG"}) {
            writeGarbage(folder + name, 70000);
        }
        break;
    case Condition::LongLineSetup:
        wine::writeFile(folder + "QLNSETUP.INI",
                        "[Configuration]\r\n" + std::string(70000, '=') +
                            "\r\nInstallDirectory=" + std::string(70000, 'y') + "\r\n");
        break;
    case Condition::WrongTypes:
        setHostile(REG_BINARY, std::string("\x01\x02\x03", 3));
        break;
    case Condition::HugeValues:
        setHostile(REG_SZ, std::string(1 << 20, 'Q') + '\0');
        break;
    case Condition::Unterminated:
        setHostile(REG_SZ, "QLNNET,X,QLNNET,no terminator");
        break;
    case Condition::BigFile:
        writeGarbage(folder + "big.bin", 50u << 20);
        writeGarbage(folder + "QLNSETUP.INI", 50u << 20);
        break;
    case Condition::GzipBomb: {
        // 1 GiB of zeros (a sparse file, made at once), compressed by the DLL itself.
        const std::string zeros = folder + "zeros.bin";
        HANDLE out =
            CreateFileA(zeros.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LONG high = 0;
        SetFilePointer(out, 1 << 30, &high, FILE_BEGIN);
        SetEndOfFile(out);
        CloseHandle(out);
        using Compress = const char *(RADOZAVU_CALL *)(const char *, const char *, int);
        reinterpret_cast<Compress>(reinterpret_cast<void (*)()>(GetProcAddress(
            library, "QLNSetupCompressFile")))(zeros.c_str(), (folder + "bomb.gz").c_str(), 9);
        DeleteFileA(zeros.c_str());
        break;
    }
    }
}

std::uint32_t argumentValue(const Case &c, std::size_t position, char kind,
                            const std::string &folder) {
    const std::int64_t value = c.arguments[position];
    if (kind == 'I') {
        return static_cast<std::uint32_t>(value);
    }
    const HostileText &text = hostileTexts()[static_cast<std::size_t>(value)];
    const char *pointer = guardedText(text, folder);
    if (kind == 'T') {
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
    }
    SetupCallRecord record{};
    record.OwnerWindow = reinterpret_cast<HWND>(0x7ff0); // no window
    record.ParamText = pointer;
    return static_cast<std::uint32_t>(
        reinterpret_cast<std::uintptr_t>(guarded(&record, sizeof record)));
}

// A drive alone ("C:") given as a folder names the drive's root itself: a
// library loaded from there is the one the caller named.
bool namesTheDrive(const Case &c) {
    const std::string kinds = exports()[c.exportIndex].arguments;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (kinds[i] != 'I' && c.arguments[i] == kDriveText) {
            return true;
        }
    }
    return false;
}

bool heapsValid() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!HeapValidate(heaps[i], 0, nullptr)) {
            return false;
        }
    }
    return true;
}

DWORD runCase(int number) {
    SetUnhandledExceptionFilter(endOnCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    const std::vector<Case> cases = allCases();
    if (number < 0 || static_cast<std::size_t>(number) >= cases.size()) {
        return kBadCase;
    }
    const Case &c = cases[static_cast<std::size_t>(number)];
    const Export &entry = exports()[c.exportIndex];
    const std::string folder = scratch(number);
    HMODULE library = LoadLibraryA((wine::programFolder() + "RADOZAVU.DLL").c_str());
    prepare(c, folder, library);
    HANDLE locked = CreateFileA((folder + "locked.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    const std::string trapRecord = folder + "trap.txt";
    SetEnvironmentVariableA("RADOZAVU_STANDIN_RECORD", trapRecord.c_str());

    const void *function = reinterpret_cast<const void *>(GetProcAddress(library, entry.name));
    if (function == nullptr) {
        return kBadCase;
    }
    std::vector<std::uint32_t> arguments;
    const std::string kinds = entry.arguments;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        arguments.push_back(argumentValue(c, i, kinds[i], folder));
    }
    const Snapshot before = snapshot(folder);
    std::int32_t imbalance = 0;
    {
        wine::BoxWatcher boxes("", kCaseLimitMs);
        sweepCall(function, arguments.data(), static_cast<std::uint32_t>(arguments.size()),
                  &imbalance);
        boxes.finish();
    }
    CloseHandle(locked);
    std::string report;
    DWORD verdict = kPassed;
    if (imbalance != 0) {
        verdict = kStackImbalance;
        report = "the stack is " + std::to_string(imbalance) + " bytes off";
    } else if (!heapsValid()) {
        verdict = kHeapInvalid;
        report = "a heap no longer validates";
    } else if (wine::fileExists(trapRecord) && !namesTheDrive(c)) {
        verdict = kTrapLoaded;
        report =
            "a sibling library was loaded from the drive's root: " + wine::readFile(trapRecord);
    } else {
        const Snapshot after = snapshot(folder);
        std::map<std::string, std::string> changed;
        for (const auto &[path, state] : before) {
            const auto found = after.find(path);
            if (found == after.end() || found->second != state) {
                changed[path] = state + " -> " + (found == after.end() ? "gone" : found->second);
            }
        }
        for (const auto &[path, state] : after) {
            if (before.count(path) == 0) {
                changed[path] = "new " + state;
            }
        }
        for (const auto &[path, change] : changed) {
            bool documented = false;
            for (const char *prefix : entry.mayChange) {
                documented = documented || startsWith(path, prefix);
            }
            if (!documented) {
                verdict = kChangedOutside;
                report += path + ": " + change + "\n";
            }
        }
    }
    wine::writeFile(verdictFile(number), report);
    return verdict;
}

// ---- The parent ----

LRESULT CALLBACK refuseEndOfSession(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_QUERYENDSESSION ? FALSE : DefWindowProcA(window, message, wParam, lParam);
}

// A window that refuses the end of the session, on a thread that answers
// its messages for as long as the sweep runs: the restart export's request
// is refused, as in the restart test.
class SessionKeeper {
public:
    SessionKeeper() {
        thread_ = std::thread([this] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = refuseEndOfSession;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "SweepSessionKeeper";
            RegisterClassA(&windowClass);
            window_ = CreateWindowA("SweepSessionKeeper", "Sweep session keeper", WS_OVERLAPPED, 0,
                                    0, 10, 10, nullptr, nullptr, windowClass.hInstance, nullptr);
            threadId_ = GetCurrentThreadId();
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) {
                DispatchMessageA(&message);
            }
            DestroyWindow(window_);
        });
        while (threadId_ == 0) {
            Sleep(10);
        }
    }
    ~SessionKeeper() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    SessionKeeper(const SessionKeeper &) = delete;
    SessionKeeper &operator=(const SessionKeeper &) = delete;

private:
    std::thread thread_;
    HWND window_ = nullptr;
    std::atomic<DWORD> threadId_{0};
};

// What every case finds: no product keys, the provider order as Wine has it,
// no debug log.
void resetBetweenCases(const std::string &order, bool hadOrder) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        wine::deleteTree(root, "Software\\Brevanta");
    }
    const char *orderKey = wine::ProviderOrderKeeper::kOrderKey;
    if (hadOrder) {
        wine::setString(HKEY_LOCAL_MACHINE, orderKey, "ProviderOrder", order);
    }
    wine::deleteTree(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\QLNSvc40");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    DeleteFileA((std::string(windows) + "\\QLNQUILL.INI").c_str());
}

std::string describe(DWORD code) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

TEST(HostileSweep, EveryExportSurvivesHostileInput) {
    const std::vector<Case> cases = allCases();
    std::vector<bool> exportCalled(exports().size(), false);
    for (const Case &c : cases) {
        exportCalled[c.exportIndex] = true;
    }
    if (onlyExport == nullptr) {
        EXPECT_EQ(std::count(exportCalled.begin(), exportCalled.end(), true), 68);
    }

    CreateDirectoryA(kSweepFolder, nullptr);
    for (const char *library : {"Rezedev.dll", "ZepProj.dll"}) {
        ASSERT_TRUE(CopyFileA((wine::programFolder() + library).c_str(),
                              (std::string("C:\\") + library).c_str(), FALSE));
    }
    std::string order;
    const bool hadOrder = wine::readString(HKEY_LOCAL_MACHINE, wine::ProviderOrderKeeper::kOrderKey,
                                           "ProviderOrder", order);
    const SessionKeeper keeper;
    const DWORD start = GetTickCount();
    int crashesOnUnterminatedText = 0;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const Case &c = cases[n];
        resetBetweenCases(order, hadOrder);
        wine::Program caseProcess(wine::besideProgram(
            "radozavu_hostile_sweep.exe",
            std::string(longMode ? "--long " : "") +
                (onlyExport != nullptr ? "--export " + std::string(onlyExport) + " " : "") +
                "--case " + std::to_string(n)));
        const DWORD caseStart = GetTickCount();
        DWORD code = caseProcess.exitCode(kCaseLimitMs);
        if (GetTickCount() - caseStart > 2000) {
            std::printf("slow: %s %lu ms\n", c.label.c_str(),
                        static_cast<unsigned long>(GetTickCount() - caseStart));
        }
        const std::string report = wine::readFile(verdictFile(static_cast<int>(n)));
        if (code == STILL_ACTIVE) {
            ADD_FAILURE() << c.label << ": still running after " << kCaseLimitMs << " ms";
        } else if (code >= 0xC0000000 && code < 0xD0000000) {
            if (c.unterminated) {
                ++crashesOnUnterminatedText;
            } else {
                ADD_FAILURE() << c.label << ": crashed with " << describe(code);
            }
        } else if (code != kPassed) {
            ADD_FAILURE() << c.label << ": " << describe(code) << " " << report;
        }
    }
    resetBetweenCases(order, hadOrder);
    std::printf("%zu cases in %lu s; %d crashed on an unterminated text\n", cases.size(),
                static_cast<unsigned long>((GetTickCount() - start) / 1000),
                crashesOnUnterminatedText);
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0) {
            longMode = true;
        }
        if (std::strcmp(argv[i], "--export") == 0 && i + 1 < argc) {
            onlyExport = argv[i + 1];
        }
        if (std::strcmp(argv[i], "--case") == 0 && i + 1 < argc) {
            return static_cast<int>(runCase(std::atoi(argv[i + 1])));
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
