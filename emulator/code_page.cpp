#include "emulator/code_page.h"

#include <iconv.h>

#include <memory>

namespace emu {
namespace {

// Bytes that earlier machine folders kept as private-use characters: U+F700
// plus the byte.
constexpr unsigned kKeptByteBase = 0xF700;

using Converter = std::unique_ptr<void, int (*)(iconv_t)>;

Converter openConverter(const char *to, const char *from) {
    iconv_t converter = iconv_open(to, from);
    return Converter(converter == reinterpret_cast<iconv_t>(-1) ? nullptr : converter, iconv_close);
}

std::string codePageName() { return "CP" + std::to_string(ansiCodePage()); }

// Converts one character; false when the converter refuses it.
bool convert(void *converter, const char *in, std::size_t length, std::string &out) {
    char converted[16];
    char *inPointer = const_cast<char *>(in);
    std::size_t inLeft = length;
    char *outPointer = converted;
    std::size_t outLeft = sizeof converted;
    const bool done = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) !=
                          static_cast<std::size_t>(-1) &&
                      inLeft == 0;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (done) {
        out.assign(converted, outPointer);
    }
    return done;
}

// The length of the character that starts at text in an encoding.
std::size_t encodedCharacterLength(const char *text, std::size_t left, bool utf16) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    std::size_t length = 1;
    if (utf16) {
        const unsigned unit = left >= 2 ? bytes[0] | (bytes[1] << 8) : 0;
        length = unit >= 0xD800 && unit <= 0xDBFF ? 4 : 2; // a surrogate pair takes two units
    } else if (bytes[0] >= 0xF0) {
        length = 4;
    } else if (bytes[0] >= 0xE0) {
        length = 3;
    } else if (bytes[0] >= 0xC0) {
        length = 2;
    }
    return length < left ? length : left;
}

// The byte a private-use character keeps, or -1 for any other character.
int keptByte(const char *text, std::size_t length, bool utf16) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    unsigned code = 0;
    if (utf16 && length == 2) {
        code = bytes[0] | (bytes[1] << 8);
    } else if (!utf16 && length == 3 && (bytes[1] & 0xC0) == 0x80 && (bytes[2] & 0xC0) == 0x80) {
        code = ((bytes[0] & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu);
    }
    return code >= kKeptByteBase && code <= kKeptByteBase + 0xFF
               ? static_cast<int>(code - kKeptByteBase)
               : -1;
}

bool convertToAnsi(const std::string &bytes, Encoding encoding, bool keepEscapedBytes,
                   std::string &ansi) {
    const bool utf16 = encoding == Encoding::Utf16;
    const Converter converter = openConverter(codePageName().c_str(), utf16 ? "UTF-16LE" : "UTF-8");
    if (!converter) {
        return false;
    }
    ansi.clear();
    const char *in = bytes.data();
    std::size_t left = bytes.size();
    // One character at a time, so that one the code page lacks becomes '?'
    // and the rest still converts.
    while (left > 0) {
        const std::size_t length = encodedCharacterLength(in, left, utf16);
        const auto first = static_cast<unsigned char>(in[0]);
        std::string converted;
        if (first < 0x80 && (!utf16 || (length == 2 && in[1] == 0))) {
            ansi += static_cast<char>(first); // ASCII: the same byte in every code page here
        } else if (const int kept = keepEscapedBytes ? keptByte(in, length, utf16) : -1;
                   kept >= 0) {
            ansi += static_cast<char>(kept);
        } else if (convert(converter.get(), in, length, converted)) {
            ansi += converted;
        } else {
            ansi += '?';
        }
        in += length;
        left -= length;
    }
    return true;
}

} // namespace

bool toAnsi(const std::string &bytes, Encoding encoding, std::string &ansi) {
    return convertToAnsi(bytes, encoding, false, ansi);
}

bool toAnsiKeepingEscapedBytes(const std::string &utf16, std::string &ansi) {
    return convertToAnsi(utf16, Encoding::Utf16, true, ansi);
}

} // namespace emu
