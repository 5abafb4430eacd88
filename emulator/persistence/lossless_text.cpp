#include "emulator/persistence/lossless_text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <charconv>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace emu {
namespace {

#ifdef _WIN32
// A conversion between two encodings, one character at a time, through the
// system's UTF-16 (the host on Windows, which has no iconv).
class Converter {
public:
    Converter(const std::string &to, const std::string &from)
        : to_(number(to)), from_(number(from)) {}

    enum class Result { Done, Incomplete, Refused };

    // Converts one whole character; Incomplete when more bytes are needed.
    Result convert(const std::string &in, std::string &out) const {
        wchar_t wide[4];
        const int units = MultiByteToWideChar(from_, MB_ERR_INVALID_CHARS, in.data(),
                                              static_cast<int>(in.size()), wide, 4);
        if (units <= 0) {
            const bool lead = from_ != CP_UTF8 && in.size() == 1 &&
                              IsDBCSLeadByteEx(from_, static_cast<BYTE>(in[0])) != FALSE;
            return lead ? Result::Incomplete : Result::Refused;
        }
        if (to_ == kUtf32) {
            const unsigned point = units == 2
                                       ? 0x10000 + ((wide[0] - 0xD800u) << 10) + (wide[1] - 0xDC00u)
                                       : static_cast<unsigned>(wide[0]);
            out.clear();
            for (int shift = 0; shift < 32; shift += 8) {
                out += static_cast<char>(point >> shift & 0xFF);
            }
            return Result::Done;
        }
        char bytes[16];
        BOOL usedDefault = FALSE;
        const int size =
            WideCharToMultiByte(to_, to_ == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, units, bytes,
                                sizeof bytes, nullptr, to_ == CP_UTF8 ? nullptr : &usedDefault);
        if (size <= 0 || usedDefault != FALSE) {
            return Result::Refused;
        }
        out.assign(bytes, static_cast<std::size_t>(size));
        return Result::Done;
    }

private:
    static constexpr UINT kUtf32 = 12000;
    // The code page an encoding name of this file stands for.
    static UINT number(const std::string &name) {
        if (name == "UTF-8") {
            return CP_UTF8;
        }
        if (name == "UTF-32LE") {
            return kUtf32;
        }
        return static_cast<UINT>(std::stoul(name.substr(2)));
    }
    UINT to_;
    UINT from_;
};
#else
// A conversion between two encodings, one character at a time.
class Converter {
public:
    Converter(const std::string &to, const std::string &from) : handle_(open(to, from), close) {}

    enum class Result { Done, Incomplete, Refused };

    // Converts one whole character; Incomplete when more bytes are needed.
    Result convert(const std::string &in, std::string &out) const {
        char buffer[16];
        char *inPointer = const_cast<char *>(in.data());
        std::size_t inLeft = in.size();
        char *outPointer = buffer;
        std::size_t outLeft = sizeof buffer;
        const bool failed = iconv(handle_.get(), &inPointer, &inLeft, &outPointer, &outLeft) ==
                            static_cast<std::size_t>(-1);
        const int error = errno;
        iconv(handle_.get(), nullptr, nullptr, nullptr, nullptr);
        if (failed || inLeft != 0) {
            return failed && error == EINVAL ? Result::Incomplete : Result::Refused;
        }
        out.assign(buffer, outPointer);
        return Result::Done;
    }

private:
    static iconv_t open(const std::string &to, const std::string &from) {
        iconv_t handle = iconv_open(to.c_str(), from.c_str());
        if (handle == reinterpret_cast<iconv_t>(-1)) {
            throw TextError("cannot convert between " + from + " and " + to + " on this host");
        }
        return handle;
    }
    static void close(iconv_t handle) { iconv_close(handle); }
    std::unique_ptr<void, void (*)(iconv_t)> handle_;
};
#endif

std::string encodingName(unsigned codePage) {
    return codePage == 0 ? std::string("UTF-8") : "CP" + std::to_string(codePage);
}

bool isAscii(char byte) { return static_cast<unsigned char>(byte) < 0x80; }

bool startsEscape(const std::string &text, std::size_t at) {
    return text.compare(at, 3, "\\x{") == 0;
}

TextError notUtf8(char byte) {
    return TextError("not UTF-8 text (byte " + escapedByte(static_cast<unsigned char>(byte)) +
                     "; write \\x{NN} for a byte that is no character)");
}

// The length of the UTF-8 sequence a lead byte announces (1 for a stray byte).
std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    return lead >= 0xC2 ? 2 : 1;
}

// One character both ways: the converted form, or false when the character
// does not come back as itself.
bool roundTrip(const Converter &forth, const Converter &back, const std::string &character,
               std::string &converted) {
    std::string again;
    return forth.convert(character, converted) == Converter::Result::Done &&
           back.convert(converted, again) == Converter::Result::Done && again == character;
}

} // namespace

std::string escapedByte(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x{%02X}", byte);
    return text;
}

std::string toMachine(const std::string &text, unsigned codePage) {
    const Converter forth(encodingName(codePage), "UTF-8");
    const Converter back("UTF-8", encodingName(codePage));
    std::string bytes;
    for (std::size_t at = 0; at < text.size();) {
        if (startsEscape(text, at)) {
            const char *digits = text.data() + at + 3;
            unsigned byte = 0;
            const bool whole = at + 5 < text.size() && text[at + 5] == '}' &&
                               std::from_chars(digits, digits + 2, byte, 16).ptr == digits + 2;
            if (!whole) {
                throw TextError("malformed escape " + text.substr(at, 6) +
                                " (a byte is written \\x{NN}, two hexadecimal digits)");
            }
            bytes += static_cast<char>(byte);
            at += 6;
            continue;
        }
        if (isAscii(text[at])) {
            bytes += text[at++];
            continue;
        }
        const std::size_t length = utf8Length(static_cast<unsigned char>(text[at]));
        const std::string character = text.substr(at, length);
        std::string converted;
        if (!roundTrip(forth, back, character, converted)) {
            std::string code;
            if (length > 1 && Converter("UTF-32LE", "UTF-8").convert(character, code) ==
                                  Converter::Result::Done) {
                unsigned point = 0;
                for (std::size_t i = code.size(); i > 0; --i) {
                    point = point << 8 | static_cast<unsigned char>(code[i - 1]);
                }
                char name[16];
                std::snprintf(name, sizeof name, "U+%04X", point);
                throw TextError("the character " + character + " (" + name +
                                ") is not in code page " + std::to_string(codePage));
            }
            throw notUtf8(text[at]);
        }
        bytes += converted;
        at += length;
    }
    return bytes;
}

std::string fromMachine(const std::string &bytes, unsigned codePage,
                        const std::string &alsoEscaped) {
    const Converter forth("UTF-8", encodingName(codePage));
    const Converter back(encodingName(codePage), "UTF-8");
    std::string text;
    for (std::size_t at = 0; at < bytes.size();) {
        const char byte = bytes[at];
        if (isAscii(byte)) {
            const auto code = static_cast<unsigned char>(byte);
            const bool escape = code < 0x20 || code == 0x7F || startsEscape(bytes, at) ||
                                alsoEscaped.find(byte) != std::string::npos;
            text += escape ? escapedByte(code) : std::string(1, byte);
            ++at;
            continue;
        }
        // The shortest run of bytes that is one character of the code page.
        std::size_t length = 1;
        std::string converted;
        Converter::Result result = forth.convert(bytes.substr(at, length), converted);
        while (result == Converter::Result::Incomplete && length < 4 &&
               at + length < bytes.size()) {
            ++length;
            result = forth.convert(bytes.substr(at, length), converted);
        }
        std::string again;
        if (result == Converter::Result::Done &&
            back.convert(converted, again) == Converter::Result::Done &&
            again == bytes.substr(at, length)) {
            text += converted;
            at += length;
        } else {
            text += escapedByte(static_cast<unsigned char>(byte));
            ++at;
        }
    }
    return text;
}

std::size_t utf8CharacterAt(const std::string &text, std::size_t at) {
    const auto byte = [&text](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = utf8Length(static_cast<unsigned char>(lead));
    // The second byte's range excludes overlong forms, surrogates and code
    // points beyond U+10FFFF; the others are plain continuation bytes.
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 1 || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void requireUtf8(const std::string &text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8CharacterAt(text, at);
        if (length == 0) {
            throw notUtf8(text[at]);
        }
        at += length;
    }
}

std::string cutForMessage(const std::string &text) {
    if (text.size() <= kQuotedBytes) {
        return text;
    }
    return text.substr(0, kQuotedBytes) + "... (cut: " + std::to_string(text.size()) +
           " bytes in all)";
}

} // namespace emu
