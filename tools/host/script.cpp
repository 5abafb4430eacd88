#include "script.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "machine_settings.h"
#include "emulator/machine.h"

namespace fs = std::filesystem;

namespace host {

std::vector<std::string> splitWords(const std::string &line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r'))) {
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

CallArguments parseCallArguments(const std::vector<std::string> &words, std::size_t first) {
    CallArguments arguments;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (word == "--param" || word == "--owner") {
            if (i + 1 >= words.size()) {
                throw UsageError(word + " needs a value");
            }
            const std::string &value = words[++i];
            if (word == "--param") {
                arguments.hasParam = true;
                arguments.param = value;
            } else {
                char *end = nullptr;
                arguments.owner = std::strtoul(value.c_str(), &end, 0);
                if (value.empty() || *end != '\0') {
                    throw UsageError("--owner takes a window number, not " + value);
                }
            }
        } else if (word == "--no-record") {
            arguments.noRecord = true;
        } else {
            arguments.plain.push_back(word);
        }
    }
    return arguments;
}

namespace {

struct ScriptFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A registry path as "HKLM\Software\..." split into its root and the rest.
HKEY splitRoot(const std::string &path, std::string &rest) {
    const auto slash = path.find('\\');
    const std::string root = path.substr(0, slash);
    rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        return HKEY_LOCAL_MACHINE;
    }
    if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        return HKEY_CURRENT_USER;
    }
    if (root == "HKU" || root == "HKEY_USERS") {
        return HKEY_USERS;
    }
    throw UsageError("not a registry root: " + root + " (HKLM, HKCU or HKU)");
}

std::string valueText(const emu::RegValue &value) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        unsigned number = 0;
        std::memcpy(&number, value.data.data(), 4);
        return std::to_string(number);
    }
    std::string text(value.data.begin(), value.data.end());
    const auto end = text.find('\0');
    return end == std::string::npos ? text : text.substr(0, end);
}

void need(const std::vector<std::string> &words, std::size_t count, const char *form) {
    if (words.size() != count) {
        throw UsageError(std::string("expected: ") + form);
    }
}

// The installer's file copy of the product's sibling libraries: the stand-ins
// built beside this program go into a folder of the machine.
void putSiblingLibraries(const std::string &folder) {
    std::string host;
    if (!emu::hostPath(folder, host)) {
        throw UsageError("not a path of the machine: " + folder);
    }
    fs::create_directories(host);
    std::error_code error;
    const fs::path programFolder = fs::read_symlink("/proc/self/exe", error).parent_path();
    for (const char *library : {"Rezedev.dll", "ZepProj.dll"}) {
        fs::copy_file(programFolder / library, fs::path(host) / library,
                      fs::copy_options::overwrite_existing, error);
        if (error) {
            throw UsageError(std::string("cannot copy ") + library + ": " + error.message());
        }
    }
}

class Runner {
public:
    Runner(Session &session, std::ostream &out) : session_(session), out_(out) {}

    void line(std::vector<std::string> words, std::istream &script, int &lineNumber) {
        for (std::string &word : words) {
            for (auto at = word.find("$result"); at != std::string::npos; at = word.find("$result")) {
                word.replace(at, 7, lastResult_);
            }
        }
        const std::string &command = words[0];
        if (command == "expect") {
            expect(words);
        } else if (command == "write") {
            write(words, script, lineNumber);
        } else if (command == "set-sz" || command == "set-dword") {
            need(words, 4, "set-sz|set-dword KEY NAME VALUE");
            std::string path;
            const HKEY root = splitRoot(words[1], path);
            if (command == "set-sz") {
                registry().setString(root, path, words[2], words[3]);
            } else {
                registry().setDword(root, path, words[2],
                                    static_cast<DWORD>(std::stoul(words[3], nullptr, 0)));
            }
            out_ << "  (set " << words[1] << " \"" << words[2] << "\")\n";
        } else if (command == "answer") {
            if (words.size() < 2 || (words.size() > 2 && words[2] != "closing")) {
                throw UsageError("expected: answer NUMBER [closing TITLE ...]");
            }
            setUserAnswer(std::stoi(words[1]),
                          std::vector<std::string>(words.begin() + std::min<std::ptrdiff_t>(3, static_cast<std::ptrdiff_t>(words.size())), words.end()));
        } else if (command == "wait") {
            need(words, 2, "wait MILLISECONDS");
            emu::machine().clock.advance(std::stoull(words[1]));
            out_ << "  (the machine's clock moved on " << words[1] << " ms)\n";
        } else if (command == "put-sibling-libraries") {
            need(words, 2, "put-sibling-libraries FOLDER");
            putSiblingLibraries(words[1]);
            out_ << "  (put Rezedev.dll and ZepProj.dll into " << words[1] << ")\n";
        } else {
            const std::size_t boxesBefore = emu::machine().user.messageBoxes.size();
            const Session::Outcome outcome = session_.call(command, parseCallArguments(words, 1));
            printOutcome(out_, command, outcome);
            lastResult_ = outcome.result.describe();
            lastChanges_ = outcome.changes;
            boxesBefore_ = boxesBefore;
            boxesAfter_ = emu::machine().user.messageBoxes.size();
        }
    }

private:
    static emu::Registry &registry() { return emu::machine().registry; }

    void check(bool holds, const std::string &what, const std::string &got) {
        if (!holds) {
            throw ScriptFailure("expectation failed: " + what + " (got: " + got + ")");
        }
        out_ << "  ok: " << what << "\n";
    }

    void expect(const std::vector<std::string> &words) {
        if (words.size() < 2) {
            throw UsageError("expect what? (result, value, key, file, boxes, box-text, change)");
        }
        const std::string &kind = words[1];
        std::string path;
        if (kind == "result" || kind == "result-not") {
            need(words, 3, "expect result|result-not TEXT");
            const bool equal = lastResult_ == words[2];
            check(kind == "result" ? equal : !equal, "result " + std::string(kind == "result" ? "is " : "is not ") + words[2],
                  lastResult_);
        } else if (kind == "value" || kind == "no-value") {
            need(words, kind == "value" ? 5 : 4, "expect value KEY NAME TEXT | expect no-value KEY NAME");
            const HKEY root = splitRoot(words[2], path);
            const emu::RegValue *value = registry().value(root, path, words[3]);
            const std::string got = value ? "\"" + valueText(*value) + "\"" : std::string("no value");
            if (kind == "value") {
                check(value != nullptr && valueText(*value) == words[4],
                      words[2] + " \"" + words[3] + "\" is \"" + words[4] + "\"", got);
            } else {
                check(value == nullptr, words[2] + " has no value \"" + words[3] + "\"", got);
            }
        } else if (kind == "key" || kind == "no-key") {
            need(words, 3, "expect key|no-key KEY");
            const HKEY root = splitRoot(words[2], path);
            const bool exists = registry().keyExists(root, path);
            check(kind == "key" ? exists : !exists,
                  "key " + words[2] + (kind == "key" ? " exists" : " does not exist"),
                  exists ? "exists" : "absent");
        } else if (kind == "file" || kind == "no-file" || kind == "file-contains") {
            need(words, kind == "file-contains" ? 4 : 3, "expect file|no-file PATH | expect file-contains PATH TEXT");
            std::string host;
            const bool exists = emu::hostPath(words[2], host) && fs::exists(host);
            if (kind == "file-contains") {
                std::ifstream in(host, std::ios::binary);
                std::stringstream content;
                content << in.rdbuf();
                check(exists && content.str().find(words[3]) != std::string::npos,
                      words[2] + " contains \"" + words[3] + "\"",
                      exists ? "\"" + visible(content.str().substr(0, 200)) + "\"" : "no file");
            } else {
                check(kind == "file" ? exists : !exists,
                      "file " + words[2] + (kind == "file" ? " exists" : " does not exist"),
                      exists ? "exists" : "absent");
            }
        } else if (kind == "boxes") {
            need(words, 3, "expect boxes NUMBER");
            const std::size_t shown = boxesAfter_ - boxesBefore_;
            check(std::to_string(shown) == words[2], "the last call showed " + words[2] + " message box(es)",
                  std::to_string(shown));
        } else if (kind == "changes") {
            need(words, 3, "expect changes NUMBER");
            check(std::to_string(lastChanges_.size()) == words[2],
                  "the last call made " + words[2] + " change(s)", std::to_string(lastChanges_.size()));
        } else if (kind == "box-text" || kind == "change") {
            need(words, 3, "expect box-text|change TEXT");
            bool found = false;
            std::string seen;
            if (kind == "box-text") {
                const auto &boxes = emu::machine().user.messageBoxes;
                for (std::size_t i = boxesBefore_; i < boxesAfter_; ++i) {
                    found = found || boxes[i].text.find(words[2]) != std::string::npos;
                    seen += "\"" + visible(boxes[i].text) + "\" ";
                }
            } else {
                for (const std::string &change : lastChanges_) {
                    found = found || change.find(words[2]) != std::string::npos;
                }
                seen = std::to_string(lastChanges_.size()) + " changes";
            }
            check(found, "the last call's " + std::string(kind == "change" ? "changes mention" : "boxes say") +
                             " \"" + words[2] + "\"",
                  seen.empty() ? "nothing" : seen);
        } else {
            throw UsageError("unknown expectation: " + kind);
        }
    }

    void write(const std::vector<std::string> &words, std::istream &script, int &lineNumber) {
        need(words, 3, "write PATH <<MARK, then the lines, then MARK");
        if (words[2].rfind("<<", 0) != 0 || words[2].size() < 3) {
            throw UsageError("write PATH <<MARK");
        }
        const std::string mark = words[2].substr(2);
        std::string content;
        std::string text;
        bool closed = false;
        while (std::getline(script, text)) {
            ++lineNumber;
            if (!text.empty() && text.back() == '\r') {
                text.pop_back();
            }
            if (text == mark) {
                closed = true;
                break;
            }
            content += text + "\r\n";
        }
        if (!closed) {
            throw UsageError("write: no closing " + mark);
        }
        std::string host;
        if (!emu::hostPath(words[1], host)) {
            throw UsageError("write: not a path of the machine: " + words[1]);
        }
        fs::create_directories(fs::path(host).parent_path());
        std::ofstream(host, std::ios::binary) << content;
        out_ << "  (wrote " << words[1] << ", " << content.size() << " bytes)\n";
    }

    Session &session_;
    std::ostream &out_;
    std::string lastResult_;
    std::vector<std::string> lastChanges_;
    std::size_t boxesBefore_ = 0;
    std::size_t boxesAfter_ = 0;
};

} // namespace

int runScript(std::istream &script, const std::string &scriptName, Session &session,
              std::ostream &out) {
    Runner runner(session, out);
    std::string text;
    int lineNumber = 0;
    while (std::getline(script, text)) {
        ++lineNumber;
        const int at = lineNumber;
        try {
            const std::vector<std::string> words = splitWords(text);
            if (words.empty() || words[0].front() == '#') {
                continue;
            }
            if (words[0] != "expect") {
                out << "> " << text << "\n";
            }
            runner.line(words, script, lineNumber);
        } catch (const ScriptFailure &failure) {
            out << scriptName << ":" << at << ": " << failure.what() << "\n";
            return 1;
        } catch (const std::exception &error) {
            out << scriptName << ":" << at << ": " << error.what() << "\n";
            return 2;
        }
    }
    return 0;
}

} // namespace host
