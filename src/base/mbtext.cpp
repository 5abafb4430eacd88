#include "base/mbtext.h"

#include <cstring>

#include "platform/system.h"

namespace mbtext {
namespace {

bool isLead(const char *p) { return win::IsDBCSLeadByte(static_cast<BYTE>(*p)) != FALSE; }

unsigned foldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

} // namespace

const char *next(const char *p) { return (isLead(p) && p[1] != '\0') ? p + 2 : p + 1; }

const char *findChar(const char *text, char c) {
    for (const char *p = text; *p != '\0'; p = next(p)) {
        if (*p == c && !isLead(p)) {
            return p;
        }
    }
    return nullptr;
}

const char *findLastChar(const char *text, char c) {
    const char *last = nullptr;
    for (const char *p = text; *p != '\0'; p = next(p)) {
        if (*p == c && !isLead(p)) {
            last = p;
        }
    }
    return last;
}

const char *findText(const char *text, const char *needle) {
    const std::size_t length = std::strlen(needle);
    for (const char *p = text; *p != '\0'; p = next(p)) {
        if (std::strncmp(p, needle, length) == 0) {
            return p;
        }
    }
    return length == 0 ? text : nullptr;
}

int compareNoCase(const char *a, const char *b) {
    while (*a != '\0' && *b != '\0') {
        unsigned ca = 0;
        unsigned cb = 0;
        if (isLead(a) && a[1] != '\0') {
            ca = (static_cast<unsigned char>(a[0]) << 8) | static_cast<unsigned char>(a[1]);
        } else {
            ca = foldAscii(static_cast<unsigned char>(*a));
        }
        if (isLead(b) && b[1] != '\0') {
            cb = (static_cast<unsigned char>(b[0]) << 8) | static_cast<unsigned char>(b[1]);
        } else {
            cb = foldAscii(static_cast<unsigned char>(*b));
        }
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        a = next(a);
        b = next(b);
    }
    if (*a == *b) {
        return 0;
    }
    return *a == '\0' ? -1 : 1;
}

bool endsWithBackslash(const std::string &text) {
    const char *last = findLastChar(text.c_str(), '\\');
    return last != nullptr && last[1] == '\0';
}

void removeTrailingBackslash(std::string &text) {
    if (endsWithBackslash(text)) {
        text.pop_back();
    }
}

std::size_t prefixLength(const char *text, std::size_t maxBytes) {
    std::size_t length = 0;
    for (const char *p = text; *p != '\0';) {
        const char *after = next(p);
        const auto step = static_cast<std::size_t>(after - p);
        if (length + step > maxBytes) {
            break;
        }
        length += step;
        p = after;
    }
    return length;
}

bool copyBounded(char *buffer, std::size_t size, const char *text) {
    if (size == 0) {
        return false;
    }
    const std::size_t length = prefixLength(text, size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return text[length] == '\0';
}

bool isDigit(const char *p) { return *p >= '0' && *p <= '9'; }

} // namespace mbtext
