// Installer scripts for the host: one call a line, with expectations that
// stop the script when they fail, so that a script doubles as a test.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "exports_table.h"
#include "session.h"

namespace host {

// Splits a line into words: blanks separate, double quotes group (a quoted
// word may be empty); backslashes are ordinary characters.
std::vector<std::string> splitWords(const std::string &line);

// Reads --param, --owner and --no-record out of the words after an export
// name; what remains are the plain arguments.
CallArguments parseCallArguments(const std::vector<std::string> &words, std::size_t first);

// Runs a script against the session; returns 0 when every line ran and
// every expectation held, 1 at the first failed expectation, 2 for a
// malformed line. Output and failures go to out.
int runScript(std::istream &script, const std::string &scriptName, Session &session,
              std::ostream &out);

} // namespace host
