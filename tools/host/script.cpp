#include "script.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

#include "emulator/persistence/lossless_text.h"
#include "emulator/persistence/number_text.h"
#include "kill_points.h"
#include "options.h"
#include "registry_path.h"
#include "transcript.h"

namespace host {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The word that begins at or after line[at] (blanks skipped before it), with
// at moved past it; nothing at the end of the line or at a comment.
std::optional<std::string> nextWord(const std::string &line, std::size_t &at) {
    while (at < line.size() && isBlank(line[at])) {
        ++at;
    }
    if (at >= line.size() || line[at] == '#') {
        return std::nullopt;
    }
    std::string word;
    bool quoted = false;
    while (at < line.size() && (quoted || (!isBlank(line[at]) && line[at] != '#'))) {
        if (line[at] == '"') {
            quoted = !quoted;
        } else {
            word += line[at];
        }
        ++at;
    }
    if (quoted) {
        throw UsageError("unclosed double quote");
    }
    return word;
}

} // namespace

std::vector<std::string> splitWords(const std::string &line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (std::optional<std::string> word = nextWord(line, at)) {
        words.push_back(std::move(*word));
    }
    return words;
}

CallArguments parseCallArguments(const std::vector<std::string> &words, std::size_t first) {
    CallArguments arguments;
    for (std::size_t i = first; i < words.size(); ++i) {
        std::string value;
        if (optionValue(words, i, "--param", value)) {
            arguments.hasParam = true;
            arguments.param = value;
        } else if (optionValue(words, i, "--owner", value)) {
            const auto owner = emu::readUnsigned(value, 0xFFFFFFFFu);
            if (!owner) {
                throw UsageError("--owner takes a window number, " +
                                 emu::numberRange(0, 0xFFFFFFFFu) + ", not " + value);
            }
            arguments.owner = static_cast<unsigned long>(*owner);
        } else if (words[i] == "--no-record") {
            arguments.noRecord = true;
        } else {
            arguments.plain.push_back(words[i]);
        }
    }
    return arguments;
}

namespace {

struct ScriptFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Words = std::vector<std::string>;

bool holdsResult(const std::string &word) { return word.find("$result") != std::string::npos; }

void need(const Words &words, std::size_t count, const char *form) {
    if (words.size() != count) {
        throw UsageError(std::string("expected: ") + form);
    }
}

// A number argument of a command: refused with the command, the range and
// the text.
unsigned long long numberArgument(const std::string &command, const std::string &text,
                                  unsigned long long high) {
    const auto value = emu::readUnsigned(text, high);
    if (!value) {
        throw UsageError(command + " takes " + emu::numberRange(0, high) + ", not " + text);
    }
    return *value;
}

// A number argument as a script's check sees it: one that holds $result is
// checked when its line runs.
void checkNumberArgument(const std::string &command, const std::string &text,
                         unsigned long long high) {
    if (!holdsResult(text)) {
        numberArgument(command, text, high);
    }
}

constexpr unsigned long long kDwordMax = 0xFFFFFFFFu;
constexpr unsigned long long kLastButton = 11; // IDCONTINUE

// The words after the command: every one may name a path or a registry key.
Words everyArgument(const Words &words) { return Words(words.begin() + 1, words.end()); }
Words firstArgument(const Words &words) { return {words[1]}; }
Words noPlaces(const Words & /*words*/) { return {}; }

class Runner;

// What the word after an expectation's kind is: checked when the script is
// read (a registry root, a number) and watched when it is a place.
enum class Subject { Text, Number, Key, Path };

// One expectation: its kind, its number of words with "expect", how it is
// written, how run --help writes it and what ends its line there (nothing:
// the next expectation follows on the same line), what it is about and how
// it is judged.
struct Expectation {
    const char *kind;
    std::size_t words;
    const char *form;
    const char *shown;
    const char *lineEnd;
    Subject subject;
    void (Runner::*judge)(const Words &words);
};

// One script command: its lines of run --help (none where another
// command's line tells it; expect's come from kExpectations), whether the transcript shows the line
// before it runs, the checks that need no machine (words holding $result are checked when run), how
// it runs, and which of its words may name places the change report watches.
struct Command {
    const char *name;
    const char *help;
    bool echoed;
    void (*check)(const Words &words);
    void (Runner::*run)(const Statement &statement, const Words &words);
    Words (*places)(const Words &words);
};

const Command &commandFor(const std::string &name);
const Expectation &expectationFor(const Words &words);

// The checks of one line that need no machine: the command, its form, its
// registry roots and numbers. Words holding $result are checked when run.
void checkStatement(const Words &words) { commandFor(words[0]).check(words); }

class Runner {
public:
    Runner(Machine &machine, std::ostream &out, std::ostream &journal)
        : machine_(machine), out_(out), journal_(journal) {}

    void run(const Statement &statement) {
        if (!statement.onlyOn.empty() && statement.onlyOn != kPlatformName) {
            say("  (skipped: only on the " + statement.onlyOn + " machine, " +
                visible(statement.reason, machine_.codePage()) + ": " +
                asWritten(statement.source) + ")\n");
            return;
        }
        Words words = statement.words;
        for (std::string &word : words) {
            for (auto at = word.find("$result"); at != std::string::npos;
                 at = word.find("$result", at)) {
                word.replace(at, 7, lastResult_);
                at += lastResult_.size();
            }
        }
        if (words != statement.words) {
            checkStatement(words);
        }
        const Command &command = commandFor(words[0]);
        if (command.echoed) {
            say("> " + asWritten(statement.source) + "\n");
        }
        if (!statement.reason.empty()) {
            const std::string reason = visible(statement.reason, machine_.codePage());
            say(statement.onlyOn.empty()
                    ? "  (may differ between the machines: " + reason + ")\n"
                    : "  (only on the " + statement.onlyOn + " machine: " + reason + ")\n");
        }
        (this->*command.run)(statement, words);
    }

    // What the lines run since the last call printed.
    std::string takePrinted() { return std::exchange(printed_, {}); }

    // The commands.
    void callExport(const Statement & /*statement*/, const Words &words) {
        const Outcome outcome = machine_.call(words[0], parseCallArguments(words, 1));
        say(describeOutcome(words[0], outcome, machine_.codePage()));
        lastResult_ = outcome.result.describe();
        lastChanges_ = outcome.changes;
        lastBoxTexts_ = outcome.boxTexts;
    }
    void expect(const Statement & /*statement*/, const Words &words) {
        (this->*expectationFor(words).judge)(words);
    }
    void write(const Statement &statement, const Words &words) {
        machine_.writeFile(words[1], statement.content);
        report("  (wrote " + words[1] + ", " + std::to_string(statement.content.size()) +
               " bytes)");
    }
    void setString(const Statement & /*statement*/, const Words &words) {
        machine_.setString(words[1], words[2], words[3]);
        reportSet(words);
    }
    void setDword(const Statement & /*statement*/, const Words &words) {
        machine_.setDword(
            words[1], words[2],
            static_cast<unsigned long>(numberArgument(words[0], words[3], kDwordMax)));
        reportSet(words);
    }
    void answer(const Statement & /*statement*/, const Words &words) {
        machine_.setAnswer(static_cast<int>(numberArgument(words[0], words[1], kLastButton)),
                           Words(words.begin() + std::min<std::ptrdiff_t>(
                                                     3, static_cast<std::ptrdiff_t>(words.size())),
                                 words.end()));
    }
    void wait(const Statement & /*statement*/, const Words &words) {
        const unsigned long long milliseconds = numberArgument(words[0], words[1], kDwordMax);
        machine_.wait(milliseconds);
        report("  (the machine's clock moved on " + std::to_string(milliseconds) + " ms)");
    }
    void putSiblingLibraries(const Statement & /*statement*/, const Words &words) {
        machine_.putSiblingLibraries(words[1]);
        report("  (put Rezedev.dll and ZepProj.dll into " + words[1] + ")");
    }

    // The expectations.
    void resultIs(const Words &words) {
        check(lastResult_ == words[2], "result is " + words[2], lastResult_);
    }
    void resultIsNot(const Words &words) {
        check(lastResult_ != words[2], "result is not " + words[2], lastResult_);
    }
    void valueIs(const Words &words) {
        const std::optional<std::string> value = machine_.valueText(words[2], words[3]);
        check(value == words[4], words[2] + " \"" + words[3] + "\" is \"" + words[4] + "\"",
              valueSeen(value));
    }
    void noValue(const Words &words) {
        const std::optional<std::string> value = machine_.valueText(words[2], words[3]);
        check(!value, words[2] + " has no value \"" + words[3] + "\"", valueSeen(value));
    }
    void keyExists(const Words &words) {
        const bool exists = machine_.keyExists(words[2]);
        check(exists, "key " + words[2] + " exists", exists ? "exists" : "absent");
    }
    void noKey(const Words &words) {
        const bool exists = machine_.keyExists(words[2]);
        check(!exists, "key " + words[2] + " does not exist", exists ? "exists" : "absent");
    }
    void fileExists(const Words &words) {
        const bool exists = machine_.readFile(words[2]).has_value();
        check(exists, "file " + words[2] + " exists", exists ? "exists" : "absent");
    }
    void noFile(const Words &words) {
        const bool exists = machine_.readFile(words[2]).has_value();
        check(!exists, "file " + words[2] + " does not exist", exists ? "exists" : "absent");
    }
    void fileContains(const Words &words) {
        const std::optional<std::string> content = machine_.readFile(words[2]);
        check(content && content->find(words[3]) != std::string::npos,
              words[2] + " contains \"" + words[3] + "\"",
              content ? "\"" + content->substr(0, 200) + "\"" : "no file");
    }
    void boxes(const Words &words) {
        checkCount(lastBoxTexts_.size(), words,
                   "the last call showed " + words[2] + " message box(es)");
    }
    void changes(const Words &words) {
        checkCount(lastChanges_.size(), words, "the last call made " + words[2] + " change(s)");
    }
    void boxText(const Words &words) {
        std::string seen;
        for (const std::string &text : lastBoxTexts_) {
            seen += "\"" + text + "\" ";
        }
        check(mentions(lastBoxTexts_, words[2]), "the last call's boxes say \"" + words[2] + "\"",
              seen.empty() ? "nothing" : seen);
    }
    void change(const Words &words) {
        check(mentions(lastChanges_, words[2]),
              "the last call's changes mention \"" + words[2] + "\"",
              std::to_string(lastChanges_.size()) + " changes");
    }

private:
    // Text already in UTF-8, to the transcript and the journal.
    void say(const std::string &text) {
        out_ << text << std::flush;
        journal_ << text;
        printed_ += text;
    }
    // A line of the machine's code page, shown in UTF-8.
    void report(const std::string &line) { say(visible(line, machine_.codePage()) + "\n"); }
    void reportSet(const Words &words) { report("  (set " + words[1] + " \"" + words[2] + "\")"); }

    void check(bool holds, const std::string &what, const std::string &got) {
        if (!holds) {
            throw ScriptFailure("expectation failed: " + what + " (got: " + got + ")");
        }
        report("  ok: " + what);
    }
    void checkCount(std::size_t count, const Words &words, const std::string &what) {
        const unsigned long long wanted = numberArgument("expect " + words[1], words[2], kDwordMax);
        check(count == wanted, what, std::to_string(count));
    }
    static std::string valueSeen(const std::optional<std::string> &value) {
        return value ? "\"" + *value + "\"" : std::string("no value");
    }
    static bool mentions(const Words &texts, const std::string &part) {
        return std::any_of(texts.begin(), texts.end(), [&part](const std::string &text) {
            return text.find(part) != std::string::npos;
        });
    }

    Machine &machine_;
    std::ostream &out_;
    std::ostream &journal_;
    std::string lastResult_;
    Words lastChanges_;
    Words lastBoxTexts_;
    std::string printed_;
};

const Expectation kExpectations[] = {
    {"result", 3, "expect result TEXT", "expect result TEXT", nullptr, Subject::Text,
     &Runner::resultIs},
    {"result-not", 3, "expect result-not TEXT", "expect result-not TEXT", "\n", Subject::Text,
     &Runner::resultIsNot},
    {"value", 5, "expect value KEY NAME TEXT", "expect value KEY NAME TEXT",
     "        (REG_SZ text, or a REG_DWORD in decimal)\n", Subject::Key, &Runner::valueIs},
    {"no-value", 4, "expect no-value KEY NAME", "expect no-value KEY NAME", nullptr, Subject::Key,
     &Runner::noValue},
    {"key", 3, "expect key KEY", "expect key KEY", nullptr, Subject::Key, &Runner::keyExists},
    {"no-key", 3, "expect no-key KEY", "expect no-key KEY", "\n", Subject::Key, &Runner::noKey},
    {"file", 3, "expect file PATH", "expect file PATH", nullptr, Subject::Path,
     &Runner::fileExists},
    {"no-file", 3, "expect no-file PATH", "expect no-file PATH", nullptr, Subject::Path,
     &Runner::noFile},
    {"file-contains", 4, "expect file-contains PATH TEXT", "expect file-contains PATH TEXT", "\n",
     Subject::Path, &Runner::fileContains},
    {"boxes", 3, "expect boxes NUMBER", "expect boxes N", nullptr, Subject::Number, &Runner::boxes},
    {"box-text", 3, "expect box-text TEXT", "expect box-text TEXT",
     "                 (of the last call)\n", Subject::Text, &Runner::boxText},
    {"changes", 3, "expect changes NUMBER", "expect changes N", nullptr, Subject::Number,
     &Runner::changes},
    {"change", 3, "expect change TEXT", "expect change TEXT",
     "                 (of the last call)\n", Subject::Text, &Runner::change},
};

// The expectations' lines of run --help, from the table.
std::string expectationsHelp() {
    std::string help;
    bool lineBegun = false;
    for (const Expectation &expectation : kExpectations) {
        help += (lineBegun ? " | " : "  ") + std::string(expectation.shown);
        lineBegun = expectation.lineEnd == nullptr;
        help += lineBegun ? "" : expectation.lineEnd;
    }
    return help;
}

// The kinds of expectation, for the error of an "expect" without one.
std::string expectationKinds() {
    std::string kinds;
    for (const Expectation &expectation : kExpectations) {
        kinds += (kinds.empty() ? "" : ", ") + std::string(expectation.kind);
    }
    return kinds;
}

const Expectation &expectationFor(const Words &words) {
    if (words.size() >= 2) {
        for (const Expectation &expectation : kExpectations) {
            if (words[1] == expectation.kind) {
                return expectation;
            }
        }
    }
    throw UsageError(words.size() < 2 ? "expect what? (" + expectationKinds() + ")"
                                      : "unknown expectation: " + words[1]);
}

void checkExpect(const Words &words) {
    const Expectation &expectation = expectationFor(words);
    need(words, expectation.words, expectation.form);
    std::string rest;
    if (expectation.subject == Subject::Key) {
        splitRoot(words[2], rest);
    } else if (expectation.subject == Subject::Number) {
        checkNumberArgument("expect " + words[1], words[2], kDwordMax);
    }
}

// An expectation's key or path (the word after its kind).
Words expectedPlaces(const Words &words) {
    const Subject subject = expectationFor(words).subject;
    return subject == Subject::Key || subject == Subject::Path ? Words{words[2]} : Words();
}

void checkWrite(const Words &words) {
    need(words, 3, "write PATH <<MARK, then the lines, then MARK");
    if (words[2].rfind("<<", 0) != 0 || words[2].size() < 3) {
        throw UsageError("expected: write PATH <<MARK");
    }
}

void checkSet(const Words &words) {
    need(words, 4, "set-sz|set-dword KEY NAME VALUE");
    std::string rest;
    splitRoot(words[1], rest);
}

void checkSetDword(const Words &words) {
    checkSet(words);
    checkNumberArgument(words[0], words[3], kDwordMax);
}

void checkAnswer(const Words &words) {
    if (words.size() < 2 || (words.size() > 2 && words[2] != "closing")) {
        throw UsageError("expected: answer NUMBER [closing TITLE ...]");
    }
    checkNumberArgument(words[0], words[1], kLastButton);
}

void checkWait(const Words &words) {
    need(words, 2, "wait MILLISECONDS");
    checkNumberArgument(words[0], words[1], kDwordMax);
}

void checkPutSiblingLibraries(const Words &words) {
    need(words, 2, "put-sibling-libraries FOLDER");
}

void checkCallLine(const Words &words) {
    if (findExport(words[0]) == nullptr) {
        throw UsageError("unknown command or export: " + words[0] +
                         " (radozavu run --help, radozavu exports)");
    }
    checkCall(words[0], parseCallArguments(words, 1));
}

// Any line whose first word is no command below: a call of the export of
// that name.
const Command kExportCall = {
    nullptr,
    "  EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]\n"
    "                                    call an export ($result: the last result)\n",
    true,
    checkCallLine,
    &Runner::callExport,
    everyArgument};

const Command kCommands[] = {
    {"expect", nullptr, false, checkExpect, &Runner::expect, expectedPlaces},
    {"write", "  write PATH <<END ... END          write a file on the machine (CRLF lines)\n",
     true, checkWrite, &Runner::write, everyArgument},
    {"set-sz", "  set-sz KEY NAME TEXT | set-dword KEY NAME NUMBER (0 to 4294967295)\n", true,
     checkSet, &Runner::setString, firstArgument},
    {"set-dword", nullptr, true, checkSetDword, &Runner::setDword, firstArgument},
    {"answer",
     "  answer NUMBER [closing TITLE ...] the user answers every message box so (0 to\n"
     "                                    11), after closing the programs of those windows\n",
     true, checkAnswer, &Runner::answer, noPlaces},
    {"put-sibling-libraries",
     "  put-sibling-libraries FOLDER      copy Rezedev.dll and ZepProj.dll there\n", true,
     checkPutSiblingLibraries, &Runner::putSiblingLibraries, everyArgument},
    {"wait",
     "  wait MILLISECONDS                 time passes on the machine's clock (0 to 4294967295)\n",
     true, checkWait, &Runner::wait, noPlaces},
};

const Command &commandFor(const std::string &name) {
    for (const Command &command : kCommands) {
        if (name == command.name) {
            return command;
        }
    }
    return kExportCall;
}

} // namespace

std::string scriptHelp() {
    std::string help =
        "Script lines (# outside double quotes starts a comment; blank lines are skipped):\n";
    help += kExportCall.help;
    for (const Command &command : kCommands) {
        help += command.name == std::string("expect") ? expectationsHelp()
                : command.help != nullptr             ? command.help
                                                      : "";
    }
    return help + R"(KEY: HKLM\..., HKCU\... or HKU\...   Words with blanks go in double quotes.
Text is UTF-8, converted to the machine's code page; \x{NN} is one byte exactly.
The whole script is checked before its first line runs; a script with problems
is refused with every problem listed (exit status 2). A failed expectation
stops the script with exit status 1.
)";
}

namespace {

// The text of a line after its first count words, read by splitWords' rules,
// and the blanks after them.
std::string afterWords(const std::string &line, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t words = 0; words < count && nextWord(line, at); ++words) {
    }
    while (at < line.size() && isBlank(line[at])) {
        ++at;
    }
    return line.substr(at);
}

// Takes a platform mark off the front of a line's words and source into the
// statement.
void takeMark(Statement &statement) {
    std::vector<std::string> &words = statement.words;
    std::size_t markWords = 0;
    if (words[0] == "on") {
        if (words.size() < 4 || std::none_of(std::begin(kMachineNames), std::end(kMachineNames),
                                             [&](const char *name) { return words[1] == name; })) {
            throw UsageError("expected: on emulated|windows \"REASON\" LINE");
        }
        statement.onlyOn = words[1];
        statement.reason = words[2];
        markWords = 3;
    } else if (words[0] == "differs") {
        if (words.size() < 3) {
            throw UsageError("expected: differs \"REASON\" LINE");
        }
        statement.reason = words[1];
        markWords = 2;
    }
    if (markWords != 0 && statement.reason.empty()) {
        throw UsageError("a platform mark needs its reason");
    }
    words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(markWords));
    statement.source = afterWords(statement.source, markWords);
}

bool isPath(const std::string &word) {
    return word.size() > 3 && std::isalpha(static_cast<unsigned char>(word[0])) != 0 &&
           word.compare(1, 2, ":\\") == 0;
}

} // namespace

std::vector<std::string> namedPlaces(const Script &script) {
    std::vector<std::string> places;
    const auto add = [&places](const std::string &word) {
        for (std::size_t start = 0; start <= word.size();) {
            const std::size_t bar = std::min(word.find('|', start), word.size());
            const std::string part = word.substr(start, bar - start);
            if (isPath(part) || part.rfind("HK", 0) == 0) {
                places.push_back(part);
            }
            start = bar + 1;
        }
    };
    for (const Statement &statement : script.statements) {
        const Words named = commandFor(statement.words[0]).places(statement.words);
        std::for_each(named.begin(), named.end(), add);
    }
    return places;
}

Script readScript(std::istream &in, const std::string &name, unsigned codePage) {
    Script script;
    std::string text;
    int lineNumber = 0;
    const auto convert = [codePage](const std::string &utf8) {
        return emu::toMachine(utf8, codePage);
    };
    while (std::getline(in, text)) {
        Statement statement;
        statement.line = ++lineNumber;
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        statement.source = text;
        int at = lineNumber; // the line a problem is told on
        try {
            emu::requireUtf8(text); // comments included
            for (const std::string &word : splitWords(text)) {
                statement.words.push_back(convert(word));
            }
            if (statement.words.empty()) {
                continue;
            }
            takeMark(statement);
            const bool hereDocument = statement.words[0] == "write" &&
                                      statement.words.size() == 3 &&
                                      statement.words[2].rfind("<<", 0) == 0;
            if (hereDocument) {
                const std::string mark = statement.words[2].substr(2);
                bool closed = false;
                while (!closed && std::getline(in, text)) {
                    ++lineNumber;
                    if (!text.empty() && text.back() == '\r') {
                        text.pop_back();
                    }
                    closed = text == mark;
                    if (!closed) {
                        at = lineNumber;
                        statement.content += convert(text) + "\r\n";
                    }
                }
                if (!closed) {
                    at = statement.line;
                    throw UsageError("write: no closing " + mark);
                }
            }
            checkStatement(statement.words);
            script.statements.push_back(statement);
        } catch (const emu::TextError &problem) {
            script.problems.push_back(name + ":" + std::to_string(at) + ": " +
                                      emu::cutForMessage(problem.what()));
        } catch (const HostError &problem) {
            script.problems.push_back(
                name + ":" + std::to_string(at) + ": " +
                emu::fromMachine(emu::cutForMessage(problem.message()), codePage));
        } catch (const std::exception &problem) {
            script.problems.push_back(name + ":" + std::to_string(at) + ": " +
                                      emu::fromMachine(problem.what(), codePage));
        }
    }
    return script;
}

ScriptRun runScript(const Script &script, const std::string &name, Machine &machine,
                    std::ostream &out, std::ostream &err, std::ostream &journal) {
    machine.watch(namedPlaces(script));
    Runner runner(machine, out, journal);
    ScriptRun run;
    for (const Statement &statement : script.statements) {
        std::string failure;
        try {
            runner.run(statement);
            run.printed.push_back(runner.takePrinted());
            killPointForTests(("after-line-" + std::to_string(statement.line)).c_str());
            continue;
        } catch (const ScriptFailure &error) {
            run.status = 1;
            failure = error.what();
        } catch (const HostError &error) {
            run.status = 2;
            failure = error.message();
        } catch (const std::exception &error) {
            run.status = 2;
            failure = error.what();
        }
        run.printed.push_back(runner.takePrinted());
        run.failure = visible(emu::cutForMessage(failure), machine.codePage());
        const std::string message =
            name + ":" + std::to_string(statement.line) + ": " + run.failure + "\n";
        err << message;
        journal << message;
        break;
    }
    return run;
}

} // namespace host
