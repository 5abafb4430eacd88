#include "emulator/text.h"

#include "emulator/code_page.h"

namespace emu {
namespace {

// A character as one number: a single byte with its letters in lower case,
// or lead byte and trail byte together.
unsigned foldedCharacter(const char *p) {
    const auto first = static_cast<unsigned char>(p[0]);
    if (characterLength(p) == 2) {
        return (first << 8) | static_cast<unsigned char>(p[1]);
    }
    return first >= 'A' && first <= 'Z' ? first + ('a' - 'A') : first;
}

} // namespace

bool isLeadByte(unsigned char byte) {
    switch (ansiCodePage()) {
    case 932: // Japanese (Shift-JIS)
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936: // Chinese (simplified), Korean, Chinese (traditional)
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    default: // single-byte code pages such as 1252
        return false;
    }
}

std::size_t characterLength(const char *p) {
    return isLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' ? 2 : 1;
}

const char *nextCharacter(const char *p) { return p + characterLength(p); }

bool isCharacter(const char *p, char c) { return p[0] == c && characterLength(p) == 1; }

bool isPathSeparator(const char *p) { return isCharacter(p, '\\') || isCharacter(p, '/'); }

const char *findCharacter(const char *text, char c) {
    for (const char *p = text; *p != '\0'; p = nextCharacter(p)) {
        if (isCharacter(p, c)) {
            return p;
        }
    }
    return nullptr;
}

const char *findLastCharacter(const char *text, char c) {
    const char *found = nullptr;
    for (const char *p = findCharacter(text, c); p != nullptr;
         p = findCharacter(nextCharacter(p), c)) {
        found = p;
    }
    return found;
}

int compareTextNoCase(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; a = nextCharacter(a), b = nextCharacter(b)) {
        const unsigned ca = foldedCharacter(a);
        const unsigned cb = foldedCharacter(b);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    // The shorter text comes first.
    return (*a != '\0') - (*b != '\0');
}

std::size_t wholeCharacterBytes(const char *text, std::size_t maxBytes) {
    std::size_t length = 0;
    while (text[length] != '\0' && length + characterLength(text + length) <= maxBytes) {
        length += characterLength(text + length);
    }
    return length;
}

void dropTrailingBackslash(std::string &text) {
    const char *last = findLastCharacter(text.c_str(), '\\');
    if (last != nullptr && last[1] == '\0') {
        text.pop_back();
    }
}

std::vector<std::string> splitKeyPath(const std::string &path) {
    std::vector<std::string> parts;
    const char *start = path.c_str();
    for (const char *sep = findCharacter(start, '\\'); sep != nullptr;
         sep = findCharacter(start, '\\')) {
        if (sep != start) {
            parts.emplace_back(start, sep);
        }
        start = sep + 1;
    }
    if (*start != '\0') {
        parts.emplace_back(start);
    }
    return parts;
}

} // namespace emu
