// Text in the emulated machine's ANSI code page (ansiCodePage()), walked
// character by character. In a double-byte code page a lead byte and the
// byte after it make one character, so a trail byte never counts as the
// single-byte character it looks like: 0x95 0x5C is one character in code
// page 932, no backslash. A lead byte that ends the text stands alone.
//
// The machine walks its text with these functions only; the library has its
// own (src/base/mbtext), which the tests check against these.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace emu {

// True when byte begins a double-byte character in the machine's code page.
bool isLeadByte(unsigned char byte);

// The character at p (p not at the terminator) and the one after it.
std::size_t characterLength(const char *p);
const char *nextCharacter(const char *p);

// True when the character at p is the single-byte character c.
bool isCharacter(const char *p, char c);

// True when the character at p is a backslash or a slash, the two
// separators of a machine path.
bool isPathSeparator(const char *p);

// The first / last character of text that is the single-byte character c,
// or nullptr.
const char *findCharacter(const char *text, char c);
const char *findLastCharacter(const char *text, char c);

// Orders texts character by character, the letters A-Z as a-z and a
// double-byte character by its two bytes. Result below, equal to or above 0.
int compareTextNoCase(const char *a, const char *b);

// The bytes of the longest start of text that holds whole characters only
// and at most maxBytes bytes.
std::size_t wholeCharacterBytes(const char *text, std::size_t maxBytes);

// Drops the text's last character when it is a backslash.
void dropTrailingBackslash(std::string &text);

// Splits a registry path at its backslashes, dropping empty parts.
std::vector<std::string> splitKeyPath(const std::string &path);

} // namespace emu
