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
#include "html_report.h"
#include "junit_report.h"
#include "host_machine.h"
#include "matrix.h"
#include "options.h"
#include "script.h"
#include "transcript.h"

namespace fs = std::filesystem;

namespace {

using namespace host;

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

int listExports(const std::vector<std::string> &words, const std::string & /*library*/) {
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

int callOne(const std::vector<std::string> &commandWords, const std::string &library) {
    std::vector<std::string> words = commandWords;
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
int runScripts(const std::vector<std::string> &commandWords, const std::string &library) {
    std::vector<std::string> words = commandWords;
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

int machineSubcommand(const std::vector<std::string> &words, const std::string & /*library*/) {
    return machineCommand(words);
}

// One command of the host: its name, its lines of the host's usage, its
// --help, and how it runs on the words after its name (the library's file
// given). The machine's subcommands are the platform's (machine.h).
struct HostCommand {
    const char *name;
    std::string (*summary)();
    std::string (*help)();
    int (*run)(const std::vector<std::string> &words, const std::string &library);
};

const HostCommand kHostCommands[] = {
    {"machine", machineSummary, machineUsage, machineSubcommand},
    {"call",
     [] {
         return std::string(
             "  call [--machine DIR] EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]\n"
             "                 call one export and print its result and what it changed\n");
     },
     [] { return std::string(kCallUsage); }, callOne},
    {"run",
     [] {
         return std::string(
             "  run [--machine DIR] [--check] [--junit FILE] [--report html=FILE] SCRIPT ...\n"
             "                 check installer scripts whole, then run them in turn (one\n"
             "                 call a line, expect lines); SCRIPT - reads standard input\n"
             "  run --windows VERSION,... [--arch x86,x64] [--editions DIR] ... SCRIPT ...\n"
             "                 run them on a machine of each edition, side by side, and\n"
             "                 tell what differs (run --help)\n");
     },
     [] { return kRunUsage + scriptHelp(); }, runScripts},
    {"exports",
     [] {
         return std::string("  exports        list every export with its arguments and result\n");
     },
     [] { return std::string(kExportsUsage); }, listExports},
};

// The usage: every command's lines, with the platform's option for the
// library and its machine.
std::string usage() {
    std::string text = std::string("usage: radozavu [") + kLibraryOption +
                       " FILE] COMMAND ...\n"
                       "       radozavu --version | --help\n\n"
                       "Commands:\n";
    for (const HostCommand &command : kHostCommands) {
        text += command.summary();
    }
    return text + "\n" + kMachineHelp +
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
        const std::string name = words[0];
        words.erase(words.begin());
        for (const HostCommand &command : kHostCommands) {
            if (name == command.name) {
                if (wantsHelp(words)) {
                    std::cout << command.help();
                    return 0;
                }
                return command.run(words, library);
            }
        }
        return failure("unknown command: " + name + " (radozavu --help)");
    } catch (const std::exception &error) {
        return failure(error.what());
    }
}
