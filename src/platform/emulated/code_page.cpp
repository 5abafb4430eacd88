#include "platform/emulated/code_page.h"

#include <iconv.h>

#include <memory>

#include "platform/emulated/machine.h"
#include "platform/system.h"

namespace emu {
namespace {

// The length of the character that starts at text in an encoding.
std::size_t characterLength(const char *text, std::size_t left, bool utf16) {
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

} // namespace

bool toAnsi(const std::string &bytes, Encoding encoding, std::string &ansi) {
    const bool utf16 = encoding == Encoding::Utf16;
    const std::string codePage = "CP" + std::to_string(machine().codePage);
    iconv_t converter = iconv_open(codePage.c_str(), utf16 ? "UTF-16LE" : "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::unique_ptr<void, int (*)(iconv_t)> owner(converter, iconv_close);
    ansi.clear();
    const char *in = bytes.data();
    std::size_t left = bytes.size();
    // One character at a time, so that one the code page lacks becomes '?'
    // and the rest still converts.
    while (left > 0) {
        const std::size_t length = characterLength(in, left, utf16);
        char converted[8];
        char *inPointer = const_cast<char *>(in);
        std::size_t inLeft = length;
        char *out = converted;
        std::size_t outLeft = sizeof converted;
        if (iconv(converter, &inPointer, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            ansi += '?';
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        } else {
            ansi.append(converted, out);
        }
        in += length;
        left -= length;
    }
    return true;
}

bool toUtf16(const std::string &ansi, std::string &utf16) {
    const std::string codePage = "CP" + std::to_string(machine().codePage);
    iconv_t converter = iconv_open("UTF-16LE", codePage.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::unique_ptr<void, int (*)(iconv_t)> owner(converter, iconv_close);
    utf16.clear();
    for (const char *p = ansi.data(), *end = ansi.data() + ansi.size(); p < end;) {
        // A zero byte is a character of its own (a terminator inside the data).
        const bool lead = *p != '\0' && win::IsDBCSLeadByte(static_cast<BYTE>(*p)) && p + 1 < end;
        const std::size_t length = lead ? 2 : 1;
        char converted[8];
        char *inPointer = const_cast<char *>(p);
        std::size_t inLeft = length;
        char *out = converted;
        std::size_t outLeft = sizeof converted;
        if (iconv(converter, &inPointer, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            utf16 += std::string("?\0", 2);
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        } else {
            utf16.append(converted, out);
        }
        p += length;
    }
    return true;
}

} // namespace emu
