#include "new_machine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <utility>

#include "emulated/folder_commands.h"
#include "emulated/folder_lock.h"
#include "emulated/product_programs.h"
#include "emulator/code_page.h"
#include "emulator/installation/windows_editions.h"
#include "emulator/machine.h"
#include "emulator/persistence/machine_folder.h"
#include "emulator/persistence/machine_settings.h"
#include "host_machine.h"
#include "kill_points.h"
#include "options.h"

namespace fs = std::filesystem;

namespace host {
namespace {

// The builds of machine new beside a target: ".NAME.new-XXXXXX".
std::string buildPrefix(const fs::path &target) {
    return "." + target.filename().string() + ".new-";
}

// Removes the builds of earlier machine new commands for the same target
// that were killed part-way: those whose lock nobody holds. (A build killed
// in the instant between making its folder and its lock is taken for one
// just begun, and is left.)
void removeAbandonedBuilds(const fs::path &target) {
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(target.parent_path(), error)) {
        if (entry.path().filename().string().rfind(buildPrefix(target), 0) != 0) {
            continue;
        }
        const int descriptor =
            ::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (descriptor >= 0 && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
            fs::exists(entry.path() / kLockFileName, error)) {
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

const emu::WindowsEdition &editionOf(const std::string &windows) {
    const emu::WindowsEdition *edition = emu::findWindowsEdition(windows);
    if (edition == nullptr) {
        throw UsageError("unknown Windows version: " + windows +
                         " (known: " + emu::windowsEditionNames() + ")");
    }
    return *edition;
}

bool is64Bit(const emu::WindowsEdition &edition, const std::string &arch) {
    if (arch.empty()) {
        return emu::x64ByDefault(edition);
    }
    if (arch != "x86" && arch != "x64") {
        throw UsageError("--arch takes x86 or x64, not " + arch);
    }
    const std::string missing = emu::missingEdition(edition, arch == "x64");
    if (!missing.empty()) {
        throw UsageError(missing);
    }
    return arch == "x64";
}

namespace {

// Builds a new machine in the folder build and saves it there.
void buildMachine(const std::string &build, const emu::WindowsEdition &edition, bool x64,
                  unsigned codePage, bool withProductRunning) {
    emu::resetMachine();
    emu::configureWindows(emu::driveFolder(build, 'C'), edition, x64);
    emu::Machine &m = emu::machine();
    m.system.codePage = codePage;
    for (const auto &[letter, type] :
         {std::pair{'A', emu::DriveRemovable}, std::pair{'D', emu::DriveCdrom},
          std::pair{'Z', emu::DriveRemote}}) {
        fs::create_directories(emu::driveFolder(build, letter));
        m.files.drives[letter] = emu::Drive{emu::driveFolder(build, letter), type};
    }
    if (withProductRunning) {
        startProductPrograms();
    }
    emu::saveMachine(build, emu::currentState(), killPointForTests);
}

} // namespace

// The machine is built in a folder of its own beside the target, saved
// there, and renamed into place, which succeeds only over a folder that is
// absent or empty: a machine new that fails part-way (a full disk) removes
// its build, one killed part-way leaves the target as it was, and the next
// one for that target removes the abandoned build.
void createMachine(const std::string &folder, const std::string &windows, const std::string &arch,
                   unsigned codePage, bool withProductRunning) {
    const emu::WindowsEdition &edition = editionOf(windows);
    const bool x64 = is64Bit(edition, arch);
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
    try {
        FolderLock lock(build, "machine new", true);
        buildMachine(build, edition, x64, codePage, withProductRunning);
        lock.reached(FolderLock::Stage::Saved);
        killPointForTests("new-built");
        std::error_code error;
        fs::remove(target / kLockFileName, error); // a lock left by an earlier host
        fs::rename(build, target, error);
        if (error) {
            throw HostError(error == std::errc::directory_not_empty ||
                                    error == std::errc::file_exists
                                ? "refusing to create a machine in a folder that is not empty: " +
                                      target.string()
                                : "cannot put the new machine in place at " + target.string() +
                                      ": " + error.message());
        }
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(build, ignored); // nothing of a failed build stays
        throw;
    }
    emu::syncFolder(target.parent_path().string());
}

namespace {

// The text in lines of at most 84 characters, each after indent blanks.
std::string wrapped(const std::string &text, std::size_t indent) {
    constexpr std::size_t kWidth = 84;
    std::string lines;
    std::string line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!line.empty() && indent + line.size() + 1 + word.size() > kWidth) {
            lines += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return lines + std::string(indent, ' ') + line + "\n";
}

// "a, b and c".
std::string listed(const std::vector<std::string> &names, const char *last) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0                  ? ""
                 : i + 1 == names.size() ? std::string(" ") + last + " "
                                         : ", ") +
                names[i];
    }
    return text;
}

// The versions with an edition of each kind, by name.
std::vector<std::string> editionNames(bool (*kind)(const emu::WindowsEdition &edition)) {
    std::vector<std::string> names;
    for (const emu::WindowsEdition &edition : emu::windowsEditions()) {
        if (kind(edition)) {
            names.emplace_back(edition.name);
        }
    }
    return names;
}

std::vector<std::string> codePageNames() {
    std::vector<std::string> names;
    for (const unsigned codePage : emu::kSupportedCodePages) {
        names.push_back(std::to_string(codePage));
    }
    return names;
}

} // namespace

std::string machineUsage() {
    const std::vector<std::string> x64Only =
        editionNames([](const emu::WindowsEdition &edition) { return emu::x64ByDefault(edition); });
    std::vector<std::string> codePages = codePageNames();
    codePages.front() += " (default)";
    return "usage: radozavu machine new DIR [--windows VERSION] [--arch x86|x64] [--codepage N]\n"
           "                            [--with-product-running] [--no-wait]\n" +
           wrapped("VERSION: " + emu::windowsEditionNames() + " (default " + emu::kDefaultEdition +
                       "); --arch x64 for " +
                       listed(editionNames([](const emu::WindowsEdition &edition) {
                                  return edition.has64Bit;
                              }),
                              "and") +
                       " (" + listed(x64Only, "and") + (x64Only.size() == 1 ? " is" : " are") +
                       " x64 only; default x86 where there was one); N: " +
                       listed(codePages, "or") + ".",
                   0) +
           "       radozavu machine import DIR FILE.reg ... [--no-wait]\n"
           "       radozavu machine export DIR FILE.reg [KEY] [--no-wait]\n"
           "       radozavu machine put DIR FOLDER C:\\PATH [--no-wait]\n"
           "import merges registry files (REGEDIT4, or Version 5.00 in UTF-16) as a 64-bit\n"
           "registry editor would (WOW6432Node is the 32-bit view); export writes KEY (default:\n"
           "the whole registry) as a REGEDIT4 file; put copies a folder tree onto a drive.\n";
}

std::string machineSummary() {
    const std::vector<std::string> codePages = codePageNames();
    return "  machine new DIR [--windows VERSION] [--arch x86|x64] [--codepage N]\n"
           "                 [--with-product-running]\n" +
           wrapped("create an emulated machine in DIR (VERSION: " + emu::windowsEditionNames() +
                       "; default " + emu::kDefaultEdition + "; code page " + codePages[0] +
                       " or " + codePages[1] +
                       " ...), optionally with Quillane installed and its programs running",
                   17) +
           "  machine import DIR FILE.reg ...   merge registry files into the machine's registry\n"
           "  machine export DIR FILE.reg [KEY] write the registry, or a key, as a registry file\n"
           "  machine put DIR FOLDER C:\\PATH   copy a folder tree onto a drive of the machine\n";
}

const char *const kMachineHelp =
    "The machine folder defaults to $RADOZAVU_MACHINE, else ./machine. A command\n"
    "holds the folder for its whole run; another waits for it, or with --no-wait\n"
    "fails at once. The library is libRADOZAVU.so beside this program.\n";

namespace {

// machine import, export and put: the folder, then the subcommand's own
// words (at least least of them, at most most).
int folderCommand(const std::string &subcommand, const std::vector<std::string> &arguments,
                  std::size_t least, std::size_t most) {
    HostOptions options;
    std::vector<std::string> words;
    for (const std::string &word : arguments) {
        if (word == "--no-wait") {
            options.wait = false;
        } else if (word.rfind("--", 0) == 0) {
            throw UsageError("unknown option for machine " + subcommand + ": " + word);
        } else if (options.folder.empty()) {
            options.folder = word;
        } else {
            words.push_back(word);
        }
    }
    if (options.folder.empty() || words.size() < least || words.size() > most) {
        throw UsageError("usage: " + machineUsage());
    }
    if (subcommand == "import") {
        importRegistryFiles(options, words);
    } else if (subcommand == "export") {
        exportRegistryFile(options, words[0], words.size() > 1 ? words[1] : "");
    } else {
        putFolder(options, words[0], words[1]);
    }
    return 0;
}

int newMachine(const std::vector<std::string> &words) {
    std::string folder;
    std::string windows = emu::kDefaultEdition;
    std::string arch;
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
        } else if (optionValue(words, i, "--arch", value)) {
            arch = value;
        } else if (optionValue(words, i, "--codepage", value)) {
            codePage = codePageOption(value);
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
    createMachine(folder, windows, arch, codePage, withProductRunning);
    std::cout << "created a Windows " << windows << (emu::machine().system.x64 ? " x64" : "")
              << " machine in " << folder
              << (withProductRunning ? ", Quillane installed and running" : "") << "\n";
    return 0;
}

// machine's subcommands: the name and how it runs on the words after it.
struct MachineSubcommand {
    const char *name;
    int (*run)(const std::vector<std::string> &words);
};

const MachineSubcommand kMachineSubcommands[] = {
    {"new", newMachine},
    {"import",
     [](const std::vector<std::string> &words) {
         return folderCommand("import", words, 1, SIZE_MAX);
     }},
    {"export",
     [](const std::vector<std::string> &words) { return folderCommand("export", words, 1, 2); }},
    {"put",
     [](const std::vector<std::string> &words) { return folderCommand("put", words, 2, 2); }},
};

} // namespace

int machineCommand(const std::vector<std::string> &arguments) {
    std::vector<std::string> names;
    for (const MachineSubcommand &subcommand : kMachineSubcommands) {
        if (!arguments.empty() && arguments[0] == subcommand.name) {
            return subcommand.run({arguments.begin() + 1, arguments.end()});
        }
        names.emplace_back(subcommand.name);
    }
    throw UsageError("machine takes the subcommands " + listed(names, "and") +
                     " (radozavu machine --help)");
}

} // namespace host
