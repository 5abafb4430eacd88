#include "junit_report.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "emulator/persistence/lossless_text.h"
#include "host_machine.h"
#include "whole_file.h"

namespace host {
namespace {

enum class Verdict { Passed, Failed, Error, Skipped };

struct TestCase {
    std::string name;
    int line = 0;
    Verdict verdict = Verdict::Passed;
    std::string message; // why it failed, could not run or was skipped
    std::string body;    // a failure or error as standard error shows it
    std::string output;  // what the lines since the case before printed, its own included
};

struct Suite {
    std::vector<TestCase> cases;
    std::string output; // what the lines after the last case printed
};

// The code point of the UTF-8 character of length bytes at text[at]
// (emu::utf8CharacterAt has found it whole and valid).
unsigned codePoint(const std::string &text, std::size_t at, std::size_t length) {
    const auto lead = static_cast<unsigned char>(text[at]);
    unsigned point = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        point = point << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
    }
    return point;
}

} // namespace

std::string markupText(const std::string &text, bool inAttribute) {
    std::string xml;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = emu::utf8CharacterAt(text, at);
        const unsigned point = length == 0 ? 0 : codePoint(text, at, length);
        const bool control =
            point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0xFFFE || point == 0xFFFF;
        if (length == 0 || (control && (inAttribute || point != '\n'))) {
            for (std::size_t end = at + std::max<std::size_t>(length, 1); at < end; ++at) {
                xml += emu::escapedByte(static_cast<unsigned char>(text[at]));
            }
            continue;
        }
        switch (point) {
        case '&':
            xml += "&amp;";
            break;
        case '<':
            xml += "&lt;";
            break;
        case '>':
            xml += "&gt;";
            break;
        case '"':
            xml += inAttribute ? "&quot;" : "\"";
            break;
        default:
            xml.append(text, at, length);
        }
        at += length;
    }
    return xml;
}

namespace {

std::string attribute(const std::string &name, const std::string &value) {
    return " " + name + "=\"" + markupText(value, true) + "\"";
}

// The cases of a script: one per expectation, and one for a line that
// stopped the script without being an expectation (or, for a script refused
// by its check, one for the check).
Suite suiteOf(const ScriptReport &report) {
    Suite suite;
    const Script &script = *report.script;
    if (!report.couldNotRun.empty()) {
        suite.cases.push_back({"the edition's machine", 0, Verdict::Error,
                               "the machine of " + report.edition + " could not run",
                               report.couldNotRun, ""});
        return suite;
    }
    if (!script.problems.empty()) {
        TestCase check{"the script's check",
                       0,
                       Verdict::Error,
                       "the script was refused: " + std::to_string(script.problems.size()) +
                           " problem(s)",
                       "",
                       ""};
        for (const std::string &problem : script.problems) {
            check.body += problem + "\n";
        }
        suite.cases.push_back(check);
        return suite;
    }
    const ScriptRun notRun;
    const ScriptRun &run = report.run ? *report.run : notRun;
    const std::size_t ranLines = run.printed.size();
    const bool stopped = run.status != 0 && ranLines > 0;
    for (std::size_t i = 0; i < script.statements.size(); ++i) {
        const Statement &statement = script.statements[i];
        const bool ran = i < ranLines;
        if (ran) {
            suite.output += run.printed[i];
        }
        const bool stoppedHere = stopped && i + 1 == ranLines;
        if (statement.words[0] != "expect" && !stoppedHere) {
            continue;
        }
        TestCase test{"line " + std::to_string(statement.line) + ": " + statement.source,
                      statement.line,
                      Verdict::Passed,
                      "",
                      "",
                      std::exchange(suite.output, {})};
        if (stoppedHere) {
            test.verdict = run.status == 1 ? Verdict::Failed : Verdict::Error;
            test.message = run.failure;
            test.body = report.name + ":" + std::to_string(statement.line) + ": " + run.failure;
        } else if (!ran) {
            test.verdict = Verdict::Skipped;
            test.message = stopped ? "not run: the script stopped at line " +
                                         std::to_string(script.statements[ranLines - 1].line)
                                   : std::string("not run: another script of the command was "
                                                 "refused by its check");
        } else if (!statement.onlyOn.empty() && statement.onlyOn != kPlatformName) {
            test.verdict = Verdict::Skipped;
            test.message = "only on the " + statement.onlyOn + " machine: " + statement.reason;
        }
        suite.cases.push_back(test);
    }
    return suite;
}

// The counts of a suite or of all of them, as attributes.
struct Counts {
    std::size_t tests = 0;
    std::size_t failures = 0;
    std::size_t errors = 0;
    std::size_t skipped = 0;

    void add(const std::vector<TestCase> &cases) {
        for (const TestCase &test : cases) {
            ++tests;
            failures += test.verdict == Verdict::Failed ? 1 : 0;
            errors += test.verdict == Verdict::Error ? 1 : 0;
            skipped += test.verdict == Verdict::Skipped ? 1 : 0;
        }
    }
    [[nodiscard]] std::string attributes() const {
        return attribute("tests", std::to_string(tests)) +
               attribute("failures", std::to_string(failures)) +
               attribute("errors", std::to_string(errors)) +
               attribute("skipped", std::to_string(skipped));
    }
};

std::string systemOut(const std::string &output, const char *indent) {
    return output.empty() ? std::string()
                          : indent + std::string("<system-out>") + markupText(output, false) +
                                "</system-out>\n";
}

std::string caseXml(const std::string &suiteName, const std::string &scriptName,
                    const TestCase &test) {
    std::string xml = "    <testcase" + attribute("classname", suiteName) +
                      attribute("name", test.name) + attribute("file", scriptName) +
                      (test.line > 0 ? attribute("line", std::to_string(test.line)) : "") + ">\n";
    if (test.verdict == Verdict::Skipped) {
        xml += "      <skipped" + attribute("message", test.message) + "/>\n";
    } else if (test.verdict != Verdict::Passed) {
        const char *element = test.verdict == Verdict::Failed ? "failure" : "error";
        xml += std::string("      <") + element + attribute("message", test.message) + ">" +
               markupText(test.body, false) + "</" + element + ">\n";
    }
    return xml + systemOut(test.output, "      ") + "    </testcase>\n";
}

} // namespace

std::string junitReport(const std::vector<ScriptReport> &scripts) {
    Counts total;
    std::string suites;
    for (const ScriptReport &report : scripts) {
        const Suite suite = suiteOf(report);
        Counts counts;
        counts.add(suite.cases);
        total.add(suite.cases);
        const std::string name =
            report.edition.empty() ? report.name : report.name + " on " + report.edition;
        suites += "  <testsuite" + attribute("name", name) + counts.attributes() + ">\n";
        for (const TestCase &test : suite.cases) {
            suites += caseXml(name, report.name, test);
        }
        suites += systemOut(suite.output, "    ") + "  </testsuite>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" +
           attribute("name", "radozavu run") + total.attributes() + ">\n" + suites +
           "</testsuites>\n";
}

void refuseReportPlace(const std::string &path, const std::vector<std::string> &inputs) {
    for (const std::string &input : inputs) {
        std::error_code error;
        if (input != "-" && std::filesystem::equivalent(path, input, error)) {
            throw UsageError("--junit " + path + " is " + input +
                             ", an input of the command: the report would replace it");
        }
    }
    refuseMachineFile(path);
}

void writeJunitReport(const std::string &path, const std::vector<ScriptReport> &scripts) {
    writeWholeFile(path, junitReport(scripts), "the JUnit report " + path);
}

} // namespace host
