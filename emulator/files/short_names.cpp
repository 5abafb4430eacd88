#include "emulator/files/short_names.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "emulator/case_less.h"
#include "emulator/text.h"

namespace fs = std::filesystem;

namespace emu {
namespace {

constexpr std::size_t kBaseLength = 8;
constexpr std::size_t kExtensionLength = 3;
constexpr std::size_t kBasisLength = 6; // the part of the base kept before "~N"

bool isAllowedSymbol(unsigned char c) { return std::strchr("!#$%&'()-@^_`{}~", c) != nullptr; }

bool isAllowedCharacter(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           c >= 0x80 || (c != '\0' && isAllowedSymbol(c));
}

// True when name is a valid 8.3 name: a base of one to eight characters and
// at most one dot followed by one to three characters, of allowed ones only.
bool isShortName(const std::string &name) {
    if (name == "." || name == "..") {
        return true;
    }
    const auto dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > kBaseLength || extension.size() > kExtensionLength ||
        (dot != std::string::npos && extension.empty()) ||
        extension.find('.') != std::string::npos) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c == '.' || isAllowedCharacter(static_cast<unsigned char>(c));
    });
}

// The characters of a name part that a short name keeps: no blanks or dots,
// letters in capitals, characters not allowed in short names as '_';
// at most maxBytes bytes, never half a double-byte character.
std::string shortPart(const std::string &part, std::size_t maxBytes) {
    std::string kept;
    for (const char *p = part.c_str(); *p != '\0';) {
        const char *after = nextCharacter(p);
        std::string character(p, after);
        p = after;
        if (character == " " || character == ".") {
            continue;
        }
        if (character.size() == 1) {
            auto c = static_cast<unsigned char>(character[0]);
            if (c >= 'a' && c <= 'z') {
                character[0] = static_cast<char>(c - 'a' + 'A');
            } else if (!isAllowedCharacter(c)) {
                character[0] = '_';
            }
        }
        if (kept.size() + character.size() > maxBytes) {
            break;
        }
        kept += character;
    }
    return kept;
}

} // namespace

std::map<std::string, std::string, CaseLess> shortNamesOf(const fs::path &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end(), CaseLess());

    std::set<std::string, CaseLess> taken;
    for (const std::string &name : names) {
        if (isShortName(name)) {
            taken.insert(name);
        }
    }
    std::map<std::string, std::string, CaseLess> result;
    std::map<std::string, unsigned, CaseLess> nextNumber; // by basis and extension
    for (const std::string &name : names) {
        if (isShortName(name)) {
            result[name] = name;
            continue;
        }
        const auto dot = name.find_last_of('.');
        const bool hasExtension = dot != std::string::npos && dot != 0;
        std::string basis = shortPart(hasExtension ? name.substr(0, dot) : name, kBasisLength);
        if (basis.empty()) {
            basis = "_";
        }
        const std::string extension =
            hasExtension ? shortPart(name.substr(dot + 1), kExtensionLength) : std::string();
        const std::string tail = extension.empty() ? std::string() : "." + extension;
        unsigned &number = nextNumber[basis + tail];
        std::string candidate;
        do {
            const std::string digits = std::to_string(++number);
            const std::size_t room = kBaseLength - 1 - digits.size();
            candidate =
                basis.substr(0, wholeCharacterBytes(basis.c_str(), room)) + "~" + digits + tail;
        } while (taken.count(candidate) != 0);
        taken.insert(candidate);
        result[name] = candidate;
    }
    return result;
}

std::string shortNameOf(const fs::path &folder, const std::string &longName) {
    if (isShortName(longName)) {
        return longName;
    }
    const auto names = shortNamesOf(folder);
    const auto found = names.find(longName);
    return found == names.end() ? longName : found->second;
}

std::string findEntry(const fs::path &folder, const std::string &name) {
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
        std::string candidate = entry.path().filename().string();
        if (equalNoCase(candidate, name)) {
            return candidate;
        }
    }
    if (name.find('~') == std::string::npos) {
        return {}; // generated short names all carry a tilde
    }
    for (const auto &[longName, shortName] : shortNamesOf(folder)) {
        if (equalNoCase(shortName, name)) {
            return longName;
        }
    }
    return {};
}

} // namespace emu
