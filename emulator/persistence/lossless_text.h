// Text of the machine written as UTF-8 without losing a byte. machine.conf,
// and the host's scripts, command lines, transcripts and journal, are UTF-8;
// the library and the machine work in the bytes of the machine's ANSI code
// page. \x{NN} (two hexadecimal digits)
// stands for one byte exactly, in both directions: it lets a script pass bytes
// that are no character, and it shows such bytes when they come back, so that
// every byte survives the round trip. The braces keep Windows paths such as
// C:\xab\ what they are.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace emu {

struct TextError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Converts UTF-8 text with \x{NN} escapes into the bytes of a code page
// (1252, 932, ...; 0: no code page, the text is only checked to be UTF-8 and
// kept as it is). Throws TextError naming a malformed escape, text that is not
// UTF-8 or a character the code page lacks.
std::string toMachine(const std::string &text, unsigned codePage);

// Converts bytes of a code page into UTF-8 that toMachine turns back into the
// same bytes: a byte that is no character of the code page (or one that
// would come back as other bytes), a control character, the backslash that
// starts a literal "\x{" and any character of alsoEscaped are written \x{NN}.
std::string fromMachine(const std::string &bytes, unsigned codePage,
                        const std::string &alsoEscaped = "");

// The length of the UTF-8 character at text[at]; 0 when the bytes there are
// no character (a stray or missing continuation byte, an overlong form, a
// surrogate, a code point beyond U+10FFFF).
std::size_t utf8CharacterAt(const std::string &text, std::size_t at);

// Throws TextError naming the first byte of text that is not UTF-8.
void requireUtf8(const std::string &text);

// Text quoted in a message (a script line, a setting, a lock file's note),
// cut after kQuotedBytes with a note of its whole size, so that a message
// stays short whatever the input.
constexpr std::size_t kQuotedBytes = 1024;
std::string cutForMessage(const std::string &text);

// One byte as the text shows it: \x{NN}, two upper-case hexadecimal digits.
std::string escapedByte(unsigned char byte);

} // namespace emu
