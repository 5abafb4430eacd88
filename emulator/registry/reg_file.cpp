#include "emulator/registry/reg_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>

#include "emulator/case_less.h"
#include "emulator/code_page.h"
#include "emulator/registry/root_names.h"
#include "emulator/text.h"

namespace emu {
namespace {

constexpr const char *kVersion4Header = "REGEDIT4";
constexpr const char *kVersion5Header = "Windows Registry Editor Version 5.00";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t skipBlanks(const std::string &text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    return at;
}

// The length of text without its trailing blanks.
std::size_t trimmedLength(const std::string &text) {
    std::size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) {
        --end;
    }
    return end;
}

std::string trimRight(const std::string &text) { return text.substr(0, trimmedLength(text)); }

// True when only blanks, or blanks and a comment, follow position at.
bool onlyBlanksOrComment(const std::string &text, std::size_t at) {
    at = skipBlanks(text, at);
    return at == text.size() || text[at] == ';';
}

bool startsWithNoCase(const std::string &text, std::size_t at, const char *prefix) {
    const std::size_t length = std::strlen(prefix);
    return text.size() - at >= length &&
           compareTextNoCase(text.substr(at, length).c_str(), prefix) == 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads one to maxDigits hex digits at position at into value.
bool readHex(const std::string &text, std::size_t &at, std::size_t maxDigits, DWORD &value) {
    value = 0;
    std::size_t digits = 0;
    while (at < text.size() && digits < maxDigits && hexDigit(text[at]) >= 0) {
        value = (value << 4) | static_cast<DWORD>(hexDigit(text[at]));
        ++at;
        ++digits;
    }
    return digits > 0;
}

HKEY rootByName(const std::string &name) {
    for (const RootName &root : kRootNames) {
        if (compareTextNoCase(name.c_str(), root.longName) == 0 ||
            compareTextNoCase(name.c_str(), root.shortName) == 0) {
            return root.root;
        }
    }
    return nullptr;
}

// Which forms a file may use beyond those of the system's registry editor,
// and which of its forms it may not.
struct Dialect {
    bool unicodeData;    // hex(1), hex(2) and hex(7) data are UTF-16 text
    bool escapedBytes;   // that text keeps bytes as U+F700 to U+F7FF (earlier machine folders)
    bool machineNames;   // names in the hex form, key names of any length
    bool writtenOnly;    // only what exportRegistry writes: no deletion, no key or value twice
    const char *endLine; // the line the file ends with (nothing but blank lines after it), or none
};

class Parser {
public:
    Parser(std::vector<std::string> lines, std::size_t first, Dialect dialect)
        : lines_(std::move(lines)), index_(first), dialect_(dialect) {}

    bool run(std::vector<RegFileOperation> &operations, std::string &problem) {
        bool ended = false;
        for (; index_ < lines_.size(); ++index_) {
            const std::string &line = lines_[index_];
            const std::size_t start = skipBlanks(line, 0);
            if (start == line.size()) {
                continue;
            }
            if (ended) {
                problem = "line " + std::to_string(lineNumber()) + ": text after the end line \"" +
                          dialect_.endLine + "\"";
                return false;
            }
            if (dialect_.endLine != nullptr && trimRight(line) == dialect_.endLine) {
                ended = true;
                continue;
            }
            if (line[start] == ';') {
                continue;
            }
            bool ok = false;
            if (line[start] == '[') {
                ok = keyLine(line.substr(start), operations);
            } else if (line[start] == '"' || line[start] == '@') {
                ok = valueLine(line, start, operations);
            } else {
                ok = fail("a key, a value or a comment was expected");
            }
            if (!ok) {
                problem = problem_;
                return false;
            }
        }
        if (dialect_.endLine != nullptr && !ended) {
            problem = "the file is cut short: it ends at line " + std::to_string(lines_.size()) +
                      " without its last line \"" + dialect_.endLine + "\"";
            return false;
        }
        return true;
    }

private:
    bool fail(const std::string &why) {
        problem_ = "line " + std::to_string(index_ + 1) + ": " + why;
        return false;
    }

    [[nodiscard]] int lineNumber() const { return static_cast<int>(index_ + 1); }

    // "[ROOT\path]" creates the key, "[-ROOT\path]" deletes it with its subkeys.
    bool keyLine(const std::string &line, std::vector<RegFileOperation> &operations) {
        const char *close = findLastCharacter(line.c_str(), ']');
        if (close == nullptr ||
            !onlyBlanksOrComment(line, static_cast<std::size_t>(close - line.c_str()) + 1)) {
            return fail("a key name must stand in square brackets");
        }
        std::string name(line.c_str() + 1, close);
        const bool deleting = !name.empty() && name[0] == '-';
        if (deleting) {
            name.erase(0, 1);
        }
        const char *separator = findCharacter(name.c_str(), '\\');
        const std::string rootName =
            separator != nullptr ? std::string(name.c_str(), separator) : name;
        std::string path = separator != nullptr ? std::string(separator + 1) : std::string();
        dropTrailingBackslash(path);
        const HKEY root = rootByName(rootName);
        if (root == nullptr) {
            return fail("unknown root key \"" + rootName + "\"");
        }
        if (!validKeyPath(path) || (dialect_.machineNames && !decodeKeyPath(path))) {
            return false;
        }
        if (const std::string problem =
                keyLimitProblem(Registry::rootLevel(root), splitKeyPath(path));
            !problem.empty()) {
            return fail(problem);
        }
        if (deleting && path.empty()) {
            return fail("a root key cannot be deleted");
        }
        if (deleting && dialect_.writtenOnly) {
            return fail("a machine's registry deletes nothing: [-" + name + "]");
        }
        if (dialect_.writtenOnly &&
            !keysSeen_.insert(std::to_string(reinterpret_cast<std::uintptr_t>(root)) + "\\" + path)
                 .second) {
            return fail("the key [" + name + "] appears twice");
        }
        valuesSeen_.clear();
        RegFileOperation operation;
        operation.kind = deleting ? RegFileOperation::DeleteKey : RegFileOperation::CreateKey;
        operation.root = root;
        operation.keyPath = path;
        operation.line = lineNumber();
        operations.push_back(operation);
        haveKey_ = !deleting;
        root_ = root;
        keyPath_ = path;
        return true;
    }

    bool validKeyPath(const std::string &path) {
        if (path.empty()) {
            return true;
        }
        const char *start = path.c_str();
        for (;;) {
            const char *separator = findCharacter(start, '\\');
            const std::size_t length = separator != nullptr
                                           ? static_cast<std::size_t>(separator - start)
                                           : std::strlen(start);
            if (length == 0) {
                return fail("a key name is empty");
            }
            if (separator == nullptr) {
                return true;
            }
            start = separator + 1;
        }
    }

    // A name in the hex form becomes its bytes; any other name stays.
    bool decodeName(std::string &name) {
        const std::size_t markLength = std::strlen(kHexNameMark);
        if (name.compare(0, markLength, kHexNameMark) != 0) {
            return true;
        }
        std::string bytes;
        std::size_t at = markLength;
        for (;;) {
            DWORD byte = 0;
            const std::size_t start = at;
            if (!readHex(name, at, 2, byte) || at - start != 2) {
                return fail("a name in hex must be bytes in hex separated by commas");
            }
            bytes += static_cast<char>(byte);
            if (at == name.size()) {
                break;
            }
            if (name[at] != ',') {
                return fail("a name in hex must be bytes in hex separated by commas");
            }
            ++at;
        }
        if (bytes.find('\0') != std::string::npos) {
            return fail("a name in hex holds a zero byte");
        }
        name = bytes;
        return true;
    }

    // Decodes each key name of a path; a key name in hex may not hold a
    // backslash, which would make it two.
    bool decodeKeyPath(std::string &path) {
        std::string decoded;
        for (const std::string &part : splitKeyPath(path)) {
            std::string name = part;
            if (!decodeName(name)) {
                return false;
            }
            if (name != part && findCharacter(name.c_str(), '\\') != nullptr) {
                return fail("a key name in hex holds a backslash");
            }
            decoded += (decoded.empty() ? "" : "\\") + name;
        }
        path = decoded;
        return true;
    }

    // A quoted text at position at (on its opening quote): \\ and \" stand
    // for a backslash and a quote; any other backslash stands for itself.
    bool quoted(const std::string &line, std::size_t &at, std::string &text, const char *what) {
        text.clear();
        const char *p = line.c_str() + at + 1;
        while (*p != '\0') {
            const char *after = nextCharacter(p);
            if (after == p + 1 && *p == '"') {
                at = static_cast<std::size_t>(after - line.c_str());
                return true;
            }
            if (after == p + 1 && *p == '\\' && (p[1] == '\\' || p[1] == '"')) {
                text += p[1];
                p += 2;
                continue;
            }
            text.append(p, after);
            p = after;
        }
        return fail(std::string(what) + " has no closing quote");
    }

    bool valueLine(const std::string &line, std::size_t at,
                   std::vector<RegFileOperation> &operations) {
        if (!haveKey_) {
            return fail("a value must follow the key it belongs to");
        }
        RegFileOperation operation;
        operation.root = root_;
        operation.keyPath = keyPath_;
        operation.line = lineNumber();
        if (line[at] == '@') {
            ++at;
        } else if (!quoted(line, at, operation.valueName, "the value name") ||
                   (dialect_.machineNames && !decodeName(operation.valueName))) {
            return false;
        }
        if (const std::string problem = valueNameProblem(operation.valueName); !problem.empty()) {
            return fail(problem);
        }
        if (dialect_.writtenOnly && !valuesSeen_.insert(operation.valueName).second) {
            return fail("the value " +
                        (operation.valueName.empty() ? std::string("@")
                                                     : "\"" + operation.valueName + "\"") +
                        " appears twice in its key");
        }
        at = skipBlanks(line, at);
        if (at == line.size() || line[at] != '=') {
            return fail("'=' must follow the value name");
        }
        at = skipBlanks(line, at + 1);
        bool ok = false;
        if (at < line.size() && line[at] == '-') {
            operation.kind = RegFileOperation::DeleteValue;
            ok = onlyBlanksOrComment(line, at + 1) || fail("unexpected text after '-'");
            ok = ok && (!dialect_.writtenOnly || fail("a machine's registry deletes no value"));
        } else if (at < line.size() && line[at] == '"') {
            ok = stringData(line, at, operation);
        } else if (startsWithNoCase(line, at, "dword:")) {
            ok = dwordData(line, at + 6, operation);
        } else if (startsWithNoCase(line, at, "hex")) {
            ok = hexData(line, at + 3, operation);
        } else {
            ok = fail("the value's data is not a text, dword:, hex: or hex(n):");
        }
        if (ok) {
            operations.push_back(operation);
        }
        return ok;
    }

    bool stringData(const std::string &line, std::size_t at, RegFileOperation &operation) {
        std::string text;
        if (!quoted(line, at, text, "the text")) {
            return false;
        }
        if (!onlyBlanksOrComment(line, at)) {
            return fail("unexpected text after the closing quote");
        }
        operation.kind = RegFileOperation::SetValue;
        operation.type = REG_SZ;
        operation.data.assign(text.begin(), text.end());
        operation.data.push_back(0);
        return true;
    }

    bool dwordData(const std::string &line, std::size_t at, RegFileOperation &operation) {
        DWORD value = 0;
        if (!readHex(line, at, 8, value) || !onlyBlanksOrComment(line, at)) {
            return fail("dword: needs one to eight hex digits");
        }
        operation.kind = RegFileOperation::SetValue;
        operation.type = REG_DWORD;
        operation.data = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                          static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
        return true;
    }

    // "hex:" or "hex(n):" at position at (after "hex"), then bytes in hex
    // separated by commas; a line that ends in a backslash goes on on the next.
    bool hexData(const std::string &line, std::size_t at, RegFileOperation &operation) {
        DWORD type = REG_BINARY;
        if (at < line.size() && line[at] == '(') {
            ++at;
            if (!readHex(line, at, 8, type) || at >= line.size() || line[at] != ')') {
                return fail("hex(n): needs a type number in hex");
            }
            ++at;
        }
        if (at >= line.size() || line[at] != ':') {
            return fail("':' must follow hex or hex(n)");
        }
        // A line ending in a backslash goes on in the next: the lines are
        // joined in place, so a long value is read in time proportional to
        // its length.
        std::string bytes = line.substr(at + 1);
        for (std::size_t kept = trimmedLength(bytes); kept > 0 && bytes[kept - 1] == '\\';
             kept = trimmedLength(bytes)) {
            if (index_ + 1 >= lines_.size()) {
                return fail("the file ends inside a continued value");
            }
            ++index_;
            bytes.resize(kept - 1);
            bytes += lines_[index_];
        }
        operation.kind = RegFileOperation::SetValue;
        operation.type = type;
        std::size_t pos = skipBlanks(bytes, 0);
        while (!onlyBlanksOrComment(bytes, pos)) {
            DWORD byte = 0;
            if (!readHex(bytes, pos, 2, byte)) {
                return fail("hex data must be bytes in hex separated by commas");
            }
            operation.data.push_back(static_cast<BYTE>(byte));
            pos = skipBlanks(bytes, pos);
            if (pos < bytes.size() && bytes[pos] == ',') {
                pos = skipBlanks(bytes, pos + 1);
                if (onlyBlanksOrComment(bytes, pos)) {
                    return fail("hex data ends in a comma");
                }
            } else if (!onlyBlanksOrComment(bytes, pos)) {
                return fail("hex data must be bytes in hex separated by commas");
            }
        }
        return dialect_.unicodeData && isTextType(type) ? wideToAnsi(operation) : true;
    }

    static bool isTextType(DWORD type) {
        return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    }

    bool wideToAnsi(RegFileOperation &operation) {
        if (operation.data.size() % 2 != 0) {
            return fail("text data in hex needs an even number of bytes");
        }
        std::string ansi;
        const std::string utf16(operation.data.begin(), operation.data.end());
        if (!(dialect_.escapedBytes ? toAnsiKeepingEscapedBytes(utf16, ansi)
                                    : toAnsi(utf16, Encoding::Utf16, ansi))) {
            return fail("the machine's code page is unknown");
        }
        operation.data.assign(ansi.begin(), ansi.end());
        return true;
    }

    std::vector<std::string> lines_;
    std::size_t index_;
    Dialect dialect_;
    bool haveKey_ = false;
    HKEY root_ = nullptr;
    std::string keyPath_;
    std::string problem_;
    std::set<std::string, CaseLess> keysSeen_;   // "root\path" of each key line
    std::set<std::string, CaseLess> valuesSeen_; // the names of the current key's values
};

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool refusesWriting(const RegKey &key) { return key.denyWrite || key.denyRead; }

bool createKey(Registry &registry, HKEY root, const std::string &path) {
    std::shared_ptr<RegKey> key = registry.root(root);
    for (const std::string &part : splitKeyPath(path)) {
        const auto existing = key->subkeys.find(part);
        if (existing != key->subkeys.end()) {
            key = existing->second;
            continue;
        }
        if (refusesWriting(*key)) {
            return false;
        }
        key = addSubkey(*key, part);
    }
    return !refusesWriting(*key);
}

// A key and every key below it.
std::vector<RegKey *> wholeTree(RegKey &top) {
    std::vector<RegKey *> keys{&top};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        for (const auto &entry : keys[i]->subkeys) {
            keys.push_back(entry.second.get());
        }
    }
    return keys;
}

// Deletes a key with everything below it; false when a key of the tree
// refuses it (and then nothing is deleted). An absent key is no failure.
bool deleteTree(Registry &registry, HKEY root, const std::string &path) {
    const std::vector<std::string> parts = splitKeyPath(path);
    std::string holderPath;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        holderPath += parts[i] + "\\";
    }
    const std::shared_ptr<RegKey> holder = registry.find(root, holderPath);
    if (!holder) {
        return true;
    }
    const auto target = holder->subkeys.find(parts.back());
    if (target == holder->subkeys.end()) {
        return true;
    }
    const std::vector<RegKey *> keys = wholeTree(*target->second);
    if (std::any_of(keys.begin(), keys.end(),
                    [](const RegKey *key) { return refusesWriting(*key); })) {
        return false;
    }
    for (RegKey *key : keys) {
        markDeleted(*key);
    }
    target->second->holder = nullptr;
    holder->subkeys.erase(target);
    return true;
}

bool apply(Registry &registry, const RegFileOperation &operation) {
    switch (operation.kind) {
    case RegFileOperation::CreateKey:
        return createKey(registry, operation.root, operation.keyPath);
    case RegFileOperation::DeleteKey:
        return deleteTree(registry, operation.root, operation.keyPath);
    case RegFileOperation::SetValue:
    case RegFileOperation::DeleteValue:
        break;
    }
    const std::shared_ptr<RegKey> key = registry.find(operation.root, operation.keyPath);
    if (!key) {
        // The key's own line was refused; a value to delete is gone already.
        return operation.kind == RegFileOperation::DeleteValue;
    }
    if (refusesWriting(*key)) {
        return false;
    }
    if (operation.kind == RegFileOperation::DeleteValue) {
        removeValue(*key, operation.valueName);
        return true;
    }
    storeValue(*key, operation.valueName, operation.type, operation.data);
    return true;
}

} // namespace

RegFileParse parseRegFile(const std::string &bytes, RegFileSource source) {
    RegFileParse result;
    std::string text = bytes;
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    const bool utf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if ((utf16 || utf8) &&
        !toAnsi(bytes.substr(utf16 ? 2 : 3), utf16 ? Encoding::Utf16 : Encoding::Utf8, text)) {
        result.problem = "the machine's code page is unknown";
        return result;
    }
    const std::vector<std::string> lines = splitLines(text);
    std::size_t first = 0;
    while (first < lines.size() && skipBlanks(lines[first], 0) == lines[first].size()) {
        ++first;
    }
    const std::string header = first < lines.size() ? trimRight(lines[first]) : std::string();
    if (header != kVersion4Header && header != kVersion5Header) {
        result.problem = "not a registry file: it must start with \"REGEDIT4\" or \"Windows "
                         "Registry Editor Version 5.00\"";
        return result;
    }
    const bool version5 = header == kVersion5Header;
    const bool machineState = source != RegFileSource::Import;
    const bool writtenOnly = machineState && source != RegFileSource::MachineChanges;
    const char *endLine = source == RegFileSource::MachineState     ? kMachineStateEndLine
                          : source == RegFileSource::MachineChanges ? kMachineChangesEndLine
                                                                    : nullptr;
    Parser parser(lines, first + 1,
                  Dialect{version5, version5 && machineState, machineState, writtenOnly, endLine});
    result.valid = parser.run(result.operations, result.problem);
    if (!result.valid) {
        result.operations.clear();
    }
    return result;
}

std::size_t applyRegFile(Registry &registry, const std::vector<RegFileOperation> &operations) {
    std::size_t skipped = 0;
    for (const RegFileOperation &operation : operations) {
        if (!apply(registry, operation)) {
            ++skipped;
        }
    }
    return skipped;
}

} // namespace emu
