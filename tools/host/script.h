// Installer scripts for the host: one call a line, with expectations that
// stop the script when they fail, so that a script doubles as a test. A
// script is read and checked whole before any line of it runs.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "exports_table.h"
#include "host_machine.h"

namespace host {

// Splits a line into words: blanks separate, double quotes group (a quoted
// word may be empty), # outside quotes starts a comment; backslashes are
// ordinary characters.
std::vector<std::string> splitWords(const std::string &line);

// Reads --param, --owner and --no-record (an option's value after a blank or
// "=") out of the words after an export name; what remains are the plain
// arguments.
CallArguments parseCallArguments(const std::vector<std::string> &words, std::size_t first);

// One line of a script, its words in the machine's code page.
// A line may carry a platform mark before its command, with its reason:
//   on emulated "REASON" LINE   on windows "REASON" LINE
// runs the line on that machine only (another machine skips it and says so);
//   differs "REASON" LINE
// runs it on every machine, and the comparison of the machines' transcripts
// lets its result and changes differ.
struct Statement {
    int line = 0;
    std::string source;             // the line as written, for the transcript
    std::vector<std::string> words; // without the mark
    std::string content;            // write: the here-document's lines, CRLF ends
    std::string onlyOn;             // "emulated" or "windows"; empty: every machine
    std::string reason;             // why the line is marked
};

// The machines a line can be marked for.
constexpr const char *kMachineNames[] = {"emulated", "windows"};

struct Script {
    std::vector<Statement> statements;
    std::vector<std::string> problems; // "NAME:LINE: problem", in line order
};

// Reads and checks a whole script: quotes, here-documents, escapes, text the
// code page lacks (codePage 0: UTF-8 only), known commands and exports,
// argument counts and numbers.
Script readScript(std::istream &in, const std::string &name, unsigned codePage);

// The paths and registry keys a script names, for Machine::watch: the call
// lines' arguments, the paths written and expected, the keys set and expected.
std::vector<std::string> namedPlaces(const Script &script);

// How a run of a script went, line by line, for the reports of the run.
struct ScriptRun {
    // 0 when every line ran and every expectation held, 1 at the first failed
    // expectation, 2 at the first line that could not run.
    int status = 0;
    // What each line that ran printed, one entry per statement in the
    // script's order, the line that stopped the script included.
    std::vector<std::string> printed;
    std::string failure; // what stopped the script, without its name and line
};

// Runs a checked script against the machine. The transcript goes to out, the
// failure to err, and both to journal.
ScriptRun runScript(const Script &script, const std::string &name, Machine &machine,
                    std::ostream &out, std::ostream &err, std::ostream &journal);

// The script language, for run --help: a line for each command.
std::string scriptHelp();

} // namespace host
