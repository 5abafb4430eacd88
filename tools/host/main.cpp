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
#include "emulator/persistence/number_text.h"
#include "html_report.h"
#include "junit_report.h"
#include "machine.h"
#include "matrix.h"
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
  run [--machine DIR] [--check] [--junit FILE] [--report html=FILE] SCRIPT ...
                 check installer scripts whole, then run them in turn (one
                 call a line, expect lines); SCRIPT - reads standard input
  run --windows VERSION,... [--arch x86,x64] [--editions DIR] ... SCRIPT ...
                 run them on a machine of each edition, side by side, and
                 tell what differs (run --help)
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
    "usage: radozavu run [--machine DIR] [--no-wait] [--check] [--junit FILE]\n"
    "                    [--report html=FILE] SCRIPT ...\n"
    "Checks every script, then runs each in turn, each to its end or its first failure;\n"
    "the exit status is the worst of theirs. SCRIPT - reads the script from standard\n"
    "input. --check only checks the scripts (against the machine's code page when the\n"
    "folder is a machine) and runs nothing. --junit FILE writes a JUnit XML report: a\n"
    "test suite per script, a test case per expectation. --report html=FILE writes\n"
    "the run as one HTML page to look at.\n\n"
    "usage: radozavu run --windows VERSION,... [--arch x86,x64] [--editions DIR]\n"
    "                    [--machine DIR | --codepage N --with-product-running]\n"
    "                    [--fold-folders] [--junit FILE] [--report html=FILE] SCRIPT ...\n"
    "Runs the scripts on a machine of each edition (each VERSION in each --arch;\n"
    "default: the version's own), side by side on the computer's processors, and\n"
    "ends with a table of editions by script and what differs between them; the\n"
    "exit status is the worst of all. Editions that never existed are skipped with\n"
    "a note. Each edition's machine is new (--codepage, --with-product-running as\n"
    "for machine new) or, with --machine, a copy of that folder told the edition's\n"
    "version. DIR/EDITION/ keeps its machine and journal, DIR/EDITION.txt its\n"
    "transcript (--editions, default ./editions, absent or empty). --fold-folders\n"
    "folds the lines that differ only in the folders each edition names its own\n"
    "way. --junit gives a test suite per script and edition.\n\n";
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

// A list of names separated by commas ("xp,7,10"), none of them empty.
std::vector<std::string> commaList(const std::string &option, const std::string &value) {
    std::vector<std::string> names;
    std::istringstream list(value);
    for (std::string name; std::getline(list, name, ',');) {
        names.push_back(name);
    }
    if (names.empty() || value.back() == ',' ||
        std::find(names.begin(), names.end(), "") != names.end()) {
        throw UsageError(option + " takes names separated by commas, not \"" + value + "\"");
    }
    return names;
}

// The options of run --windows, the matrix of editions.
bool takeMatrixOption(const std::vector<std::string> &words, std::size_t &i, HostOptions &options) {
    std::string value;
    if (optionValue(words, i, "--windows", value)) {
        options.windows = commaList("--windows", value);
    } else if (optionValue(words, i, "--arch", value)) {
        options.arches = commaList("--arch", value);
    } else if (optionValue(words, i, "--editions", options.editionsFolder)) {
        if (options.editionsFolder.empty()) {
            throw UsageError("--editions needs a folder, not an empty name");
        }
    } else if (optionValue(words, i, "--codepage", value)) {
        const auto number = emu::readUnsigned(value, 65535);
        if (!number || *number == 0) {
            throw UsageError(
                "--codepage takes a code page number (1252, 932, 936, 949 or 950), not " + value);
        }
        options.codePage = static_cast<unsigned>(*number);
    } else if (words[i] == "--with-product-running") {
        options.withProductRunning = true;
    } else if (words[i] == "--fold-folders") {
        options.foldFolders = true;
    } else {
        return false;
    }
    return true;
}

HostOptions takeHostOptions(std::vector<std::string> &words, const std::string &library) {
    HostOptions options;
    options.library = library;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string value;
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
        } else if (optionValue(words, i, "--report", value)) {
            if (value.rfind("html=", 0) != 0 || value.size() == 5) {
                throw UsageError("--report takes html=FILE, not " + value);
            }
            options.htmlReport = value.substr(5);
        } else if (!takeMatrixOption(words, i, options)) {
            rest.push_back(words[i]);
        }
    }
    words = rest;
    const bool matrixOnly = !options.arches.empty() || !options.editionsFolder.empty() ||
                            options.codePage != 0 || options.withProductRunning ||
                            options.foldFolders;
    if (matrixOnly && options.windows.empty()) {
        throw UsageError("--arch, --editions, --codepage, --with-product-running and "
                         "--fold-folders go with run --windows");
    }
    if (!options.folder.empty() && !options.windows.empty() &&
        (!options.arches.empty() || options.codePage != 0 || options.withProductRunning)) {
        throw UsageError("the copies of --machine keep its architecture, code page and "
                         "programs: --arch, --codepage and --with-product-running make new "
                         "machines");
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
    if (options.check || !options.junitReport.empty() || !options.htmlReport.empty() ||
        !options.windows.empty()) {
        return failure("--check, --junit, --report and --windows are options of run");
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

// Writes the reports the options ask for; what could not be written, said on
// standard error, or nothing.
std::string writeReports(const HostOptions &options, const std::vector<ScriptReport> &junit,
                         const MatrixRun &run) {
    try {
        if (!options.junitReport.empty()) {
            writeJunitReport(options.junitReport, junit);
        }
        if (!options.htmlReport.empty()) {
            writeHtmlReport(options.htmlReport, run);
        }
    } catch (const HostError &error) {
        std::cerr << "radozavu: " << error.what() << "\n";
        return error.what();
    }
    return "";
}

// Runs the checked scripts on every edition asked for, then tells how each
// went, what differs, and where each edition's machine and transcript are.
int runMatrix(const HostOptions &options, const std::vector<ScriptReport> &scripts) {
    const MatrixRun matrix = runEditions(options, scripts);
    std::vector<ScriptReport> suites;
    for (const EditionRun &edition : matrix.editions) {
        for (std::size_t s = 0; s < scripts.size(); ++s) {
            const std::optional<ScriptRun> &run = edition.runs[s];
            suites.push_back(
                {scripts[s].name, scripts[s].script, run, edition.name, edition.couldNotRun});
            if (run && run->status != 0) {
                std::cerr << edition.name << ": " << scripts[s].name << ":"
                          << scripts[s].script->statements[run->printed.size() - 1].line << ": "
                          << run->failure << "\n";
            }
        }
    }
    std::cout << describeMatrix(matrix) << "(each edition's machine and journal are in "
              << (options.editionsFolder.empty() ? "editions" : options.editionsFolder)
              << "/EDITION/, its transcript in EDITION.txt)\n";
    const bool written = writeReports(options, suites, matrix).empty();
    return written ? worstStatus(matrix) : 2;
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
            {path == "-" ? "(standard input)" : asWritten(path), nullptr, std::nullopt, "", ""});
        texts.push_back(readScriptText(path));
        names += (names.empty() ? "" : " ") + reports.back().name;
    }
    const bool matrix = !options.windows.empty();
    std::unique_ptr<Machine> machine;
    if (!options.check && !matrix) {
        machine = openMachine(options, "run " + names);
    }
    const unsigned codePage = machine ? machine->codePage()
                              : matrix && options.folder.empty()
                                  ? (options.codePage == 0 ? 1252 : options.codePage)
                                  : checkCodePage(options);
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
    if (matrix) {
        return runMatrix(options, reports);
    }
    std::ostringstream journal;
    journal << "run " << names << "\n";
    status = runInTurn(reports, *machine, std::cout, std::cerr, journal);
    EditionRun one{kPlatformName + std::string(" machine"), "", {}};
    for (const ScriptReport &report : reports) {
        one.runs.push_back(report.run);
    }
    const std::string unwritten = writeReports(options, reports, {reports, {one}, {}, false});
    if (!unwritten.empty()) {
        journal << unwritten << "\n";
        status = 2;
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
