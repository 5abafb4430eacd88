// radozavu: runs the library's exports against an emulated Windows machine
// kept in a folder, the way the installer calls them, and tells what each
// call changed on the machine.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/machine.h"
#include "emulator/persistence/lossless_text.h"
#include "emulator/persistence/machine_folder.h"
#include "emulator/persistence/number_text.h"
#include "folder_lock.h"
#include "new_machine.h"
#include "script.h"
#include "session.h"

namespace fs = std::filesystem;

namespace {

using namespace host;

constexpr const char *kUsage = R"(usage: radozavu [--library FILE] COMMAND ...
       radozavu --version | --help

Commands:
  machine new DIR [--windows VERSION] [--codepage N] [--with-product-running]
                 create an emulated machine in DIR (VERSION: 95 98 me nt4 nt4sp6
                 2000 xp 2003 vista; default xp; code page 1252 or 932 ...),
                 optionally with Quillane installed and its programs running
  call [--machine DIR] EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]
                 call one export and print its result and what it changed
  run [--machine DIR] [--check] SCRIPT
                 check an installer script whole, then run it (one call a
                 line, expect lines); SCRIPT - reads standard input
  exports        list every export with its arguments and result

The machine folder defaults to $RADOZAVU_MACHINE, else ./machine. A command
holds the folder for its whole run; another waits for it, or with --no-wait
fails at once. Every option takes its value as --opt VALUE or --opt=VALUE.
--library FILE loads another build of the library (default: libRADOZAVU.so
beside this program). 'radozavu COMMAND --help' tells more.

Exit status: 0 done (every expectation held), 1 an expectation failed,
2 an error (usage, a script refused, a machine folder missing, damaged or in
use with --no-wait). Errors and failed expectations go to standard error.
)";

constexpr const char *kMachineUsage =
    "usage: radozavu machine new DIR [--windows VERSION] [--codepage N] [--with-product-running]\n"
    "                            [--no-wait]\n"
    "VERSION: 95 98 me nt4 nt4sp6 2000 xp 2003 vista (default xp); N: 1252 (default), 932,\n"
    "936, 949 or 950.\n";
constexpr const char *kCallUsage =
    "usage: radozavu call [--machine DIR] [--no-wait] EXPORT [ARG ...] [--param TEXT] [--owner N]\n"
    "                     [--no-record]\n"
    "Calls one export (radozavu exports lists them) and prints its result and what it\n"
    "changed. Text is UTF-8, converted to the machine's code page; \\x{NN} is one byte.\n";
constexpr const char *kRunUsage =
    "usage: radozavu run [--machine DIR] [--no-wait] [--check] SCRIPT\n"
    "SCRIPT - reads the script from standard input. --check only checks the script\n"
    "(against the machine's code page when the folder is a machine) and runs nothing.\n\n";
constexpr const char *kExportsUsage =
    "usage: radozavu exports\nLists every export with its arguments and result.\n";

int failure(const std::string &message) {
    std::cerr << "radozavu: " << message << "\n";
    return 2;
}

bool wantsHelp(const std::vector<std::string> &words) {
    for (const std::string &word : words) {
        if (word == "--help" || word == "-h") {
            return true;
        }
    }
    return false;
}

// The host's own options of call and run, taken out of the words wherever
// they stand (but never as the value of --param or --owner).
struct HostOptions {
    std::string folder;
    bool wait = true;
    bool check = false;
};

HostOptions takeHostOptions(std::vector<std::string> &words) {
    HostOptions options;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--param" || words[i] == "--owner") {
            rest.push_back(words[i]);
            if (i + 1 < words.size()) {
                rest.push_back(words[++i]);
            }
        } else if (optionValue(words, i, "--machine", options.folder)) {
            continue;
        } else if (words[i] == "--no-wait") {
            options.wait = false;
        } else if (words[i] == "--check") {
            options.check = true;
        } else {
            rest.push_back(words[i]);
        }
    }
    words = rest;
    if (options.folder.empty()) {
        const char *fromEnvironment = std::getenv("RADOZAVU_MACHINE");
        options.folder =
            fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "machine";
    }
    return options;
}

int listExports(const std::vector<std::string> &words) {
    if (wantsHelp(words)) {
        std::cout << kExportsUsage;
        return 0;
    }
    if (!words.empty()) {
        return failure("exports takes no arguments");
    }
    for (const ExportInfo &info : exportTable()) {
        std::string arguments = info.arguments;
        if (info.signature == Signature::Record && arguments.rfind("--", 0) != 0) {
            arguments = "(call record; " + arguments.substr(1);
        }
        std::cout << info.name << "  " << (arguments.empty() ? "(no arguments)" : arguments)
                  << "  -> " << resultKind(info.signature) << "\n";
    }
    return 0;
}

int newMachine(const std::vector<std::string> &words) {
    if (wantsHelp(words)) {
        std::cout << kMachineUsage;
        return 0;
    }
    std::string folder;
    std::string windows = "xp";
    unsigned codePage = 1252;
    bool withProductRunning = false;
    bool wait = true;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string value;
        if (words[i] == "--with-product-running") {
            withProductRunning = true;
        } else if (words[i] == "--no-wait") {
            wait = false;
        } else if (optionValue(words, i, "--windows", value)) {
            windows = value;
        } else if (optionValue(words, i, "--codepage", value)) {
            const auto number = emu::readUnsigned(value, 65535);
            if (!number) {
                return failure(
                    "--codepage takes a code page number (1252, 932, 936, 949 or 950), not " +
                    value);
            }
            codePage = static_cast<unsigned>(*number);
        } else if (words[i].rfind("--", 0) == 0) {
            return failure("unknown option for machine new: " + words[i]);
        } else if (folder.empty()) {
            folder = words[i];
        } else {
            return failure("machine new takes one folder");
        }
    }
    if (folder.empty()) {
        return failure("machine new needs a folder");
    }
    createMachine(folder, windows, codePage, withProductRunning, wait);
    std::cout << "created a Windows " << windows << " machine in " << folder
              << (withProductRunning ? ", Quillane installed and running" : "") << "\n";
    return 0;
}

// A word of the command line (UTF-8) in the machine's code page.
std::string machineWord(const std::string &word) {
    try {
        return emu::toMachine(word, emu::machine().codePage);
    } catch (const emu::TextError &error) {
        throw UsageError(word + ": " + error.what());
    }
}

int callOne(std::vector<std::string> words, const std::string &library) {
    if (wantsHelp(words)) {
        std::cout << kCallUsage;
        return 0;
    }
    const HostOptions options = takeHostOptions(words);
    if (words.empty()) {
        return failure("call needs an export name");
    }
    if (options.check) {
        return failure("--check is an option of run");
    }
    const std::string &name = words[0];
    std::string record = "call " + name;
    for (std::size_t i = 1; i < words.size(); ++i) {
        record += " \"" + words[i] + "\"";
    }
    checkCall(name, parseCallArguments(words, 1));
    Session session(options.folder, library, record, options.wait);
    std::vector<std::string> converted(words.size());
    std::transform(words.begin(), words.end(), converted.begin(), machineWord);
    const std::string transcript =
        describeOutcome(name, session.call(name, parseCallArguments(converted, 1)));
    std::cout << transcript;
    session.finish(record + "\n" + transcript + "-> exit status 0\n");
    return 0;
}

std::string readScriptText(const std::string &path) {
    if (path == "-") {
        return {std::istreambuf_iterator<char>(std::cin), {}};
    }
    std::error_code error;
    if (fs::is_directory(path, error)) {
        throw UsageError("cannot read script " + path + ": it is a folder");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw UsageError("cannot read script " + path);
    }
    return {std::istreambuf_iterator<char>(file), {}};
}

// The code page of the machine folder when it is a machine, else 0 (the
// script is then only checked to be UTF-8).
unsigned codePageOf(const std::string &folder, bool wait) {
    if (!emu::isMachineFolder(folder)) {
        return 0;
    }
    const FolderLock lock(folder, "run --check", wait);
    emu::loadMachine(folder);
    return emu::machine().codePage;
}

int reportProblems(const Script &script) {
    for (const std::string &problem : script.problems) {
        std::cerr << problem << "\n";
    }
    return script.problems.empty() ? 0 : 2;
}

int runOne(std::vector<std::string> words, const std::string &library) {
    if (wantsHelp(words)) {
        std::cout << kRunUsage << kScriptHelp;
        return 0;
    }
    const HostOptions options = takeHostOptions(words);
    if (words.size() != 1) {
        return failure("run takes one script (- for standard input)");
    }
    const std::string &path = words[0];
    const std::string name = path == "-" ? "(standard input)" : path;
    std::istringstream text(readScriptText(path));
    if (options.check) {
        const Script script = readScript(text, name, codePageOf(options.folder, options.wait));
        const int status = reportProblems(script);
        if (status == 0) {
            std::cout << name << ": no problems found\n";
        }
        return status;
    }
    Session session(options.folder, library, "run " + name, options.wait);
    const Script script = readScript(text, name, emu::machine().codePage);
    if (const int status = reportProblems(script); status != 0) {
        std::cerr << "radozavu: the script was not run\n";
        return status;
    }
    std::ostringstream journal;
    journal << "run " << name << "\n";
    const int status = runScript(script, name, session, std::cout, std::cerr, journal);
    journal << "-> exit status " << status << "\n";
    session.finish(journal.str());
    return status;
}

int showVersion() {
    std::cout << "radozavu " RADOZAVU_HOST_VERSION " (the command-line host)\n"
                 "library version record: file version " RADOZAVU_FILE_VERSION
                 ", product version " RADOZAVU_PRODUCT_VERSION "\n";
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string library = defaultLibraryPath();
    try {
        std::size_t first = 0;
        if (!words.empty() && optionValue(words, first, "--library", library)) {
            words.erase(words.begin(), words.begin() + static_cast<long>(first) + 1);
        }
        if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
            std::cout << kUsage;
            return words.empty() ? 2 : 0;
        }
        if (words[0] == "--version") {
            return showVersion();
        }
        const std::string command = words[0];
        words.erase(words.begin());
        if (command == "exports") {
            return listExports(words);
        }
        if (command == "machine") {
            if (wantsHelp(words) && (words.empty() || words[0] != "new")) {
                std::cout << kMachineUsage;
                return 0;
            }
            if (words.empty() || words[0] != "new") {
                return failure("machine takes the subcommand new (radozavu machine --help)");
            }
            words.erase(words.begin());
            return newMachine(words);
        }
        if (command == "call") {
            return callOne(words, library);
        }
        if (command == "run") {
            return runOne(words, library);
        }
        return failure("unknown command: " + command + " (radozavu --help)");
    } catch (const std::exception &error) {
        return failure(error.what());
    }
}
