// The report of a run command in the JUnit XML form that CI systems read: a
// test suite per script, a test case per expectation (named by its line),
// with the failure's message, and the calls and changes the transcript shows
// as each case's system-out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "script.h"

namespace host {

// One script of a run command as the report tells it.
struct ScriptReport {
    std::string name;             // as the transcript and the messages name it
    const Script *script;         // its lines, or its problems when it was refused
    std::optional<ScriptRun> run; // none: refused, or not run because another script was
    // run --windows: the edition it ran on (its suite is "NAME on EDITION"),
    // and why that edition's machine could not run it.
    std::string edition;
    std::string couldNotRun;
};

// Text as XML or HTML character data (inAttribute: as an attribute value in
// double quotes): &, < and > (and " in an attribute) escaped. Control
// characters, which XML 1.0 does not allow or a reader may take apart, the
// non-characters U+FFFE and U+FFFF and bytes that are no UTF-8 are shown
// \x{NN} byte by byte; a line break stays one in character data.
std::string markupText(const std::string &text, bool inAttribute);

// The report as XML 1.0 in UTF-8. It is well-formed whatever the text: a
// control character (but a line break between lines of text) and a byte that
// is no UTF-8 are shown \x{NN}, as the transcript shows them.
std::string junitReport(const std::vector<ScriptReport> &scripts);

// Throws UsageError when the report's file is one of the command's inputs
// (a script, the library) or a machine's own file: the report must never
// take the place of either.
void refuseReportPlace(const std::string &path, const std::vector<std::string> &inputs);

// Writes the report into the file path, whole or not at all; throws
// HostError, with the cause, when it cannot.
void writeJunitReport(const std::string &path, const std::vector<ScriptReport> &scripts);

} // namespace host
