// radozavu: runs the library's exports the way the installer calls them,
// against an emulated Windows machine kept in a folder or, on Windows, the
// computer it runs on, and tells what each call changed on the machine.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "emulator/persistence/lossless_text.h"
#include "junit_report.h"
#include "machine.h"
#include "script.h"
#include "transcript.h"

namespace fs = std::filesystem;

namespace {

using namespace host;

// The usage, with the platform's option for the library and its machine.
std::string usage() {
    return std::string("usage: radozavu [") + kLibraryOption + R"( FILE] COMMAND ...
       radozavu --version | --help

Commands:
)" + kMachineSummary +
           R"(  call [--machine DIR] EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]
                 call one export and print its result and what it changed
  run [--machine DIR] [--check] [--junit FILE] SCRIPT ...
                 check installer scripts whole, then run them in turn (one
                 call a line, expect lines); SCRIPT - reads standard input
  exports        list every export with its arguments and result

)" + kMachineHelp +
           R"(Every option takes its value as --opt VALUE or --opt=VALUE. call and run
take --allow-restart: a restart the library asks for goes through to the
system instead of being refused. )" +
           kLibraryOption + R"( FILE loads another build of the library.
'radozavu COMMAND --help' tells more.

Exit status: 0 done (every expectation held), 1 an expectation failed,
2 an error (usage, a script refused, a machine folder missing, damaged or in
use with --no-wait). Errors and failed expectations go to standard error.
)";
}

constexpr const char *kCallUsage =
    "usage: radozavu call [--machine DIR] [--no-wait] EXPORT [ARG ...] [--param TEXT] [--owner N]\n"
    "                     [--no-record]\n"
    "Calls one export (radozavu exports lists them) and prints its result and what it\n"
    "changed. Text is UTF-8, converted to the machine's code page; \\x{NN} is one byte.\n";
constexpr const char *kRunUsage =
    "usage: radozavu run [--machine DIR] [--no-wait] [--check] [--junit FILE] SCRIPT ...\n"
    "Checks every script, then runs each in turn, each to its end or its first failure;\n"
    "the exit status is the worst of theirs. SCRIPT - reads the script from standard\n"
    "input. --check only checks the scripts (against the machine's code page when the\n"
    "folder is a machine) and runs nothing. --junit FILE writes a JUnit XML report: a\n"
    "test suite per script, a test case per expectation.\n\n";
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

HostOptions takeHostOptions(std::vector<std::string> &words, const std::string &library) {
    HostOptions options;
    options.library = library;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--param" || words[i] == "--owner") {
            rest.push_back(words[i]);
            if (i + 1 < words.size()) {
                rest.push_back(words[++i]);
            }
        } else if (optionValue(words, i, "--machine", options.folder)) {
            if (options.folder.empty()) {
                throw UsageError("--machine needs a folder, not an empty name");
            }
        } else if (words[i] == "--no-wait") {
            options.wait = false;
        } else if (words[i] == "--check") {
            options.check = true;
        } else if (words[i] == "--allow-restart") {
            options.allowRestart = true;
        } else if (optionValue(words, i, "--junit", options.junitReport)) {
            if (options.junitReport.empty()) {
                throw UsageError("--junit needs a file name");
            }
        } else {
            rest.push_back(words[i]);
        }
    }
    words = rest;
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

// A word of the command line (UTF-8) in the machine's code page.
std::string machineWord(const std::string &word, unsigned codePage) {
    try {
        return emu::toMachine(word, codePage);
    } catch (const emu::TextError &error) {
        throw UsageError(word + ": " + error.what());
    }
}

int callOne(std::vector<std::string> words, const std::string &library) {
    if (wantsHelp(words)) {
        std::cout << kCallUsage;
        return 0;
    }
    const HostOptions options = takeHostOptions(words, library);
    if (words.empty()) {
        return failure("call needs an export name");
    }
    if (options.check || !options.junitReport.empty()) {
        return failure("--check and --junit are options of run");
    }
    const std::string &name = words[0];
    std::string record = "call " + asWritten(name);
    for (std::size_t i = 1; i < words.size(); ++i) {
        record += " \"" + asWritten(words[i], "\"") + "\"";
    }
    checkCall(name, parseCallArguments(words, 1));
    const std::unique_ptr<Machine> machine = openMachine(options, record);
    const unsigned codePage = machine->codePage();
    std::vector<std::string> converted(words.size());
    std::transform(words.begin(), words.end(), converted.begin(),
                   [codePage](const std::string &word) { return machineWord(word, codePage); });
    const CallArguments arguments = parseCallArguments(converted, 1);
    std::vector<std::string> places = arguments.plain;
    places.push_back(arguments.param);
    machine->watch(places);
    const std::string transcript = describeOutcome(name, machine->call(name, arguments), codePage);
    std::cout << transcript;
    machine->finish(record + "\n" + transcript + "-> exit status 0\n");
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

int reportProblems(const Script &script) {
    for (const std::string &problem : script.problems) {
        std::cerr << problem << "\n";
    }
    return script.problems.empty() ? 0 : 2;
}

// Runs the scripts one after the other on one machine, in one command: every
// script is checked before the first runs, and each runs to its end or its
// first failure. The status is the worst of theirs.
int runScripts(std::vector<std::string> words, const std::string &library) {
    if (wantsHelp(words)) {
        std::cout << kRunUsage << scriptHelp();
        return 0;
    }
    const HostOptions options = takeHostOptions(words, library);
    if (words.empty() || std::count(words.begin(), words.end(), "-") > 1) {
        return failure("run takes one script or more (- for standard input, once)");
    }
    if (options.check && !options.junitReport.empty()) {
        return failure("--junit reports a run, and --check runs nothing");
    }
    if (!options.junitReport.empty()) {
        std::vector<std::string> inputs = words;
        inputs.push_back(library);
        refuseReportPlace(options.junitReport, inputs);
    }
    std::vector<ScriptReport> reports;
    std::vector<std::string> texts;
    std::string names;
    for (const std::string &path : words) {
        reports.push_back(
            {path == "-" ? "(standard input)" : asWritten(path), nullptr, std::nullopt});
        texts.push_back(readScriptText(path));
        names += (names.empty() ? "" : " ") + reports.back().name;
    }
    std::unique_ptr<Machine> machine;
    if (!options.check) {
        machine = openMachine(options, "run " + names);
    }
    const unsigned codePage = machine ? machine->codePage() : checkCodePage(options);
    std::vector<Script> scripts;
    int status = 0;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        std::istringstream text(texts[i]);
        scripts.push_back(readScript(text, reports[i].name, codePage));
        const int problems = reportProblems(scripts.back());
        if (options.check && problems == 0) {
            std::cout << reports[i].name << ": no problems found\n";
        }
        status = std::max(status, problems);
    }
    if (options.check) {
        return status;
    }
    for (std::size_t i = 0; i < reports.size(); ++i) {
        reports[i].script = &scripts[i];
    }
    if (status != 0) {
        std::cerr << "radozavu: "
                  << (reports.size() == 1 ? "the script was not run" : "no script was run") << "\n";
        if (!options.junitReport.empty()) {
            writeJunitReport(options.junitReport, reports);
        }
        return status;
    }
    std::ostringstream journal;
    journal << "run " << names << "\n";
    for (ScriptReport &report : reports) {
        if (reports.size() > 1) {
            const std::string header = "== " + report.name + "\n";
            std::cout << header;
            journal << header;
        }
        report.run =
            runScript(*report.script, report.name, *machine, std::cout, std::cerr, journal);
        status = std::max(status, report.run->status);
    }
    if (!options.junitReport.empty()) {
        try {
            writeJunitReport(options.junitReport, reports);
        } catch (const HostError &error) {
            std::cerr << "radozavu: " << error.what() << "\n";
            journal << error.what() << "\n";
            status = 2;
        }
    }
    journal << "-> exit status " << status << "\n";
    machine->finish(journal.str());
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
        if (!words.empty() && optionValue(words, first, kLibraryOption, library)) {
            words.erase(words.begin(), words.begin() + static_cast<long>(first) + 1);
        }
        if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
            std::cout << usage();
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
            if (wantsHelp(words)) {
                std::cout << kMachineUsage;
                return 0;
            }
            return machineCommand(words);
        }
        if (command == "call") {
            return callOne(words, library);
        }
        if (command == "run") {
            return runScripts(words, library);
        }
        return failure("unknown command: " + command + " (radozavu --help)");
    } catch (const std::exception &error) {
        return failure(error.what());
    }
}
