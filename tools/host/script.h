// Installer scripts for the host: one call a line, with expectations that
// stop the script when they fail, so that a script doubles as a test. A
// script is read and checked whole before any line of it runs.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "exports_table.h"
#include "session.h"

namespace host {

// Splits a line into words: blanks separate, double quotes group (a quoted
// word may be empty), # outside quotes starts a comment; backslashes are
// ordinary characters.
std::vector<std::string> splitWords(const std::string &line);

// Whether words[i] is the option name with its value, given as "name VALUE"
// or "name=VALUE"; i then indexes the value's word. Throws UsageError when
// the value is missing.
bool optionValue(const std::vector<std::string> &words, std::size_t &i, const std::string &name,
                 std::string &value);

// Reads --param, --owner and --no-record (an option's value after a blank or
// "=") out of the words after an export name; what remains are the plain
// arguments.
CallArguments parseCallArguments(const std::vector<std::string> &words, std::size_t first);

// One line of a script, its words in the machine's code page.
struct Statement {
    int line = 0;
    std::string source; // the line as written, for the transcript
    std::vector<std::string> words;
    std::string content; // write: the here-document's lines, CRLF ends
};

struct Script {
    std::vector<Statement> statements;
    std::vector<std::string> problems; // "NAME:LINE: problem", in line order
};

// Reads and checks a whole script: quotes, here-documents, escapes, text the
// code page lacks (codePage 0: UTF-8 only), known commands and exports,
// argument counts and numbers.
Script readScript(std::istream &in, const std::string &name, unsigned codePage);

// Runs a checked script against the session; returns 0 when every line ran
// and every expectation held, 1 at the first failed expectation, 2 at the
// first line that could not run. The transcript goes to out, the failure to
// err, and both to journal.
int runScript(const Script &script, const std::string &name, Session &session, std::ostream &out,
              std::ostream &err, std::ostream &journal);

// The script language, for run --help.
extern const char *const kScriptHelp;

} // namespace host
