#include "script.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "emulator/persistence/lossless_text.h"
#include "emulator/persistence/number_text.h"
#include "kill_points.h"
#include "registry_path.h"
#include "transcript.h"

namespace host {

const char *const kScriptHelp =
    R"(Script lines (# outside double quotes starts a comment; blank lines are skipped):
  EXPORT [ARG ...] [--param TEXT] [--owner N] [--no-record]
                                    call an export ($result: the last result)
  expect result TEXT | expect result-not TEXT
  expect value KEY NAME TEXT        (REG_SZ text, or a REG_DWORD in decimal)
  expect no-value KEY NAME | expect key KEY | expect no-key KEY
  expect file PATH | expect no-file PATH | expect file-contains PATH TEXT
  expect boxes N | expect box-text TEXT                 (of the last call)
  expect changes N | expect change TEXT                 (of the last call)
  write PATH <<END ... END          write a file on the machine (CRLF lines)
  set-sz KEY NAME TEXT | set-dword KEY NAME NUMBER (0 to 4294967295)
  answer NUMBER [closing TITLE ...] the user answers every message box so (0 to
                                    11), after closing the programs of those windows
  put-sibling-libraries FOLDER      copy Rezedev.dll and ZepProj.dll there
  wait MILLISECONDS                 time passes on the machine's clock (0 to 4294967295)
KEY: HKLM\..., HKCU\... or HKU\...   Words with blanks go in double quotes.
Text is UTF-8, converted to the machine's code page; \x{NN} is one byte exactly.
The whole script is checked before its first line runs; a script with problems
is refused with every problem listed (exit status 2). A failed expectation
stops the script with exit status 1.
)";

std::vector<std::string> splitWords(const std::string &line) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size() && line[i] != '#') {
        if (blank(line[i])) {
            ++i;
            continue;
        }
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (!blank(line[i]) && line[i] != '#'))) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else {
                word += line[i];
            }
            ++i;
        }
        if (quoted) {
            throw UsageError("unclosed double quote");
        }
        words.push_back(word);
    }
    return words;
}

bool optionValue(const std::vector<std::string> &words, std::size_t &i, const std::string &name,
                 std::string &value) {
    const std::string &word = words[i];
    if (word.rfind(name + "=", 0) == 0) {
        value = word.substr(name.size() + 1);
        return true;
    }
    if (word != name) {
        return false;
    }
    if (i + 1 >= words.size()) {
        throw UsageError(name + " needs a value");
    }
    value = words[++i];
    return true;
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

// The forms of the expectations: the kind, its number of words with
// "expect", and how it is written.
struct ExpectationForm {
    const char *kind;
    std::size_t words;
    const char *form;
};
const ExpectationForm kExpectations[] = {
    {"result", 3, "expect result TEXT"},
    {"result-not", 3, "expect result-not TEXT"},
    {"value", 5, "expect value KEY NAME TEXT"},
    {"no-value", 4, "expect no-value KEY NAME"},
    {"key", 3, "expect key KEY"},
    {"no-key", 3, "expect no-key KEY"},
    {"file", 3, "expect file PATH"},
    {"no-file", 3, "expect no-file PATH"},
    {"file-contains", 4, "expect file-contains PATH TEXT"},
    {"boxes", 3, "expect boxes NUMBER"},
    {"box-text", 3, "expect box-text TEXT"},
    {"changes", 3, "expect changes NUMBER"},
    {"change", 3, "expect change TEXT"},
};

bool holdsResult(const std::string &word) { return word.find("$result") != std::string::npos; }

void need(const std::vector<std::string> &words, std::size_t count, const char *form) {
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

constexpr unsigned long long kDwordMax = 0xFFFFFFFFu;
constexpr unsigned long long kLastButton = 11; // IDCONTINUE

const ExpectationForm &expectationForm(const std::vector<std::string> &words) {
    if (words.size() >= 2) {
        for (const ExpectationForm &form : kExpectations) {
            if (words[1] == form.kind) {
                return form;
            }
        }
    }
    throw UsageError(words.size() < 2
                         ? "expect what? (result, value, key, file, boxes, box-text, change)"
                         : "unknown expectation: " + words[1]);
}

// The checks of one line that need no machine: the command, its form, its
// registry roots and numbers. Words holding $result are checked when run.
void checkStatement(const std::vector<std::string> &words) {
    const std::string &command = words[0];
    std::string rest;
    if (command == "expect") {
        const ExpectationForm &form = expectationForm(words);
        need(words, form.words, form.form);
        const std::string kind = form.kind;
        if (kind == "value" || kind == "no-value" || kind == "key" || kind == "no-key") {
            splitRoot(words[2], rest);
        } else if ((kind == "boxes" || kind == "changes") && !holdsResult(words[2])) {
            numberArgument("expect " + kind, words[2], kDwordMax);
        }
    } else if (command == "write") {
        need(words, 3, "write PATH <<MARK, then the lines, then MARK");
        if (words[2].rfind("<<", 0) != 0 || words[2].size() < 3) {
            throw UsageError("expected: write PATH <<MARK");
        }
    } else if (command == "set-sz" || command == "set-dword") {
        need(words, 4, "set-sz|set-dword KEY NAME VALUE");
        splitRoot(words[1], rest);
        if (command == "set-dword" && !holdsResult(words[3])) {
            numberArgument(command, words[3], kDwordMax);
        }
    } else if (command == "answer") {
        if (words.size() < 2 || (words.size() > 2 && words[2] != "closing")) {
            throw UsageError("expected: answer NUMBER [closing TITLE ...]");
        }
        if (!holdsResult(words[1])) {
            numberArgument(command, words[1], kLastButton);
        }
    } else if (command == "wait") {
        need(words, 2, "wait MILLISECONDS");
        if (!holdsResult(words[1])) {
            numberArgument(command, words[1], kDwordMax);
        }
    } else if (command == "put-sibling-libraries") {
        need(words, 2, "put-sibling-libraries FOLDER");
    } else if (findExport(command) == nullptr) {
        throw UsageError("unknown command or export: " + command +
                         " (radozavu run --help, radozavu exports)");
    } else {
        checkCall(command, parseCallArguments(words, 1));
    }
}

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
        std::vector<std::string> words = statement.words;
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
        const std::string &command = words[0];
        if (command != "expect") {
            say("> " + asWritten(statement.source) + "\n");
        }
        if (!statement.reason.empty()) {
            const std::string reason = visible(statement.reason, machine_.codePage());
            say(statement.onlyOn.empty()
                    ? "  (may differ between the machines: " + reason + ")\n"
                    : "  (only on the " + statement.onlyOn + " machine: " + reason + ")\n");
        }
        if (command == "expect") {
            expect(words);
        } else if (command == "write") {
            machine_.writeFile(words[1], statement.content);
            report("  (wrote " + words[1] + ", " + std::to_string(statement.content.size()) +
                   " bytes)");
        } else if (command == "set-sz" || command == "set-dword") {
            if (command == "set-sz") {
                machine_.setString(words[1], words[2], words[3]);
            } else {
                machine_.setDword(
                    words[1], words[2],
                    static_cast<unsigned long>(numberArgument(command, words[3], kDwordMax)));
            }
            report("  (set " + words[1] + " \"" + words[2] + "\")");
        } else if (command == "answer") {
            machine_.setAnswer(
                static_cast<int>(numberArgument(command, words[1], kLastButton)),
                std::vector<std::string>(
                    words.begin() +
                        std::min<std::ptrdiff_t>(3, static_cast<std::ptrdiff_t>(words.size())),
                    words.end()));
        } else if (command == "wait") {
            machine_.wait(numberArgument(command, words[1], kDwordMax));
            report("  (the machine's clock moved on " + words[1] + " ms)");
        } else if (command == "put-sibling-libraries") {
            machine_.putSiblingLibraries(words[1]);
            report("  (put Rezedev.dll and ZepProj.dll into " + words[1] + ")");
        } else {
            const Outcome outcome = machine_.call(command, parseCallArguments(words, 1));
            say(describeOutcome(command, outcome, machine_.codePage()));
            lastResult_ = outcome.result.describe();
            lastChanges_ = outcome.changes;
            lastBoxTexts_ = outcome.boxTexts;
        }
    }

    // What the lines run since the last call printed.
    std::string takePrinted() { return std::exchange(printed_, {}); }

private:
    // Text already in UTF-8, to the transcript and the journal.
    void say(const std::string &text) {
        out_ << text << std::flush;
        journal_ << text;
        printed_ += text;
    }
    // A line of the machine's code page, shown in UTF-8.
    void report(const std::string &line) { say(visible(line, machine_.codePage()) + "\n"); }

    void check(bool holds, const std::string &what, const std::string &got) {
        if (!holds) {
            throw ScriptFailure("expectation failed: " + what + " (got: " + got + ")");
        }
        report("  ok: " + what);
    }

    void expect(const std::vector<std::string> &words) {
        const std::string &kind = words[1];
        if (kind == "result" || kind == "result-not") {
            const bool equal = lastResult_ == words[2];
            check(kind == "result" ? equal : !equal,
                  "result " + std::string(kind == "result" ? "is " : "is not ") + words[2],
                  lastResult_);
        } else if (kind == "value" || kind == "no-value") {
            const std::optional<std::string> value = machine_.valueText(words[2], words[3]);
            const std::string got = value ? "\"" + *value + "\"" : std::string("no value");
            if (kind == "value") {
                check(value == words[4], words[2] + " \"" + words[3] + "\" is \"" + words[4] + "\"",
                      got);
            } else {
                check(!value, words[2] + " has no value \"" + words[3] + "\"", got);
            }
        } else if (kind == "key" || kind == "no-key") {
            const bool exists = machine_.keyExists(words[2]);
            check(kind == "key" ? exists : !exists,
                  "key " + words[2] + (kind == "key" ? " exists" : " does not exist"),
                  exists ? "exists" : "absent");
        } else if (kind == "file" || kind == "no-file" || kind == "file-contains") {
            const std::optional<std::string> content = machine_.readFile(words[2]);
            if (kind == "file-contains") {
                check(content && content->find(words[3]) != std::string::npos,
                      words[2] + " contains \"" + words[3] + "\"",
                      content ? "\"" + content->substr(0, 200) + "\"" : "no file");
            } else {
                check(kind == "file" ? content.has_value() : !content,
                      "file " + words[2] + (kind == "file" ? " exists" : " does not exist"),
                      content ? "exists" : "absent");
            }
        } else if (kind == "boxes" || kind == "changes") {
            const std::size_t count = kind == "boxes" ? lastBoxTexts_.size() : lastChanges_.size();
            const unsigned long long wanted = numberArgument("expect " + kind, words[2], kDwordMax);
            check(count == wanted,
                  kind == "boxes" ? "the last call showed " + words[2] + " message box(es)"
                                  : "the last call made " + words[2] + " change(s)",
                  std::to_string(count));
        } else {
            bool found = false;
            std::string seen;
            if (kind == "box-text") {
                for (const std::string &text : lastBoxTexts_) {
                    found = found || text.find(words[2]) != std::string::npos;
                    seen += "\"" + text + "\" ";
                }
            } else {
                for (const std::string &change : lastChanges_) {
                    found = found || change.find(words[2]) != std::string::npos;
                }
                seen = std::to_string(lastChanges_.size()) + " changes";
            }
            check(found,
                  "the last call's " +
                      std::string(kind == "change" ? "changes mention" : "boxes say") + " \"" +
                      words[2] + "\"",
                  seen.empty() ? "nothing" : seen);
        }
    }

    Machine &machine_;
    std::ostream &out_;
    std::ostream &journal_;
    std::string lastResult_;
    std::vector<std::string> lastChanges_;
    std::vector<std::string> lastBoxTexts_;
    std::string printed_;
};

} // namespace

namespace {

// The text of a line after its first count words (splitWords' rules).
std::string afterWords(const std::string &line, std::size_t count) {
    std::size_t i = 0;
    bool quoted = false;
    for (std::size_t words = 0; words < count && i < line.size(); ++words) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            quoted = line[i++] == '"' ? !quoted : quoted;
        }
    }
    return line.substr(line.find_first_not_of(" \t", i) == std::string::npos
                           ? line.size()
                           : line.find_first_not_of(" \t", i));
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
        const std::vector<std::string> &words = statement.words;
        if (words[0] == "set-sz" || words[0] == "set-dword") {
            add(words[1]);
        } else if (words[0] == "expect") {
            const std::string &kind = words[1];
            if (kind != "result" && kind != "result-not" && kind != "boxes" && kind != "box-text" &&
                kind != "changes" && kind != "change") {
                add(words[2]);
            }
        } else if (words[0] != "answer" && words[0] != "wait") {
            std::for_each(words.begin() + 1, words.end(), add);
        }
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
