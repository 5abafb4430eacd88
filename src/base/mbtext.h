// Text operations that understand the double-byte characters of the system's
// ANSI code page: the trail byte of a double-byte character never counts as
// a single-byte character (a 0x5C trail byte is not a backslash).
#pragma once

#include <cstddef>
#include <string>

namespace mbtext {

// The character after the one at p (p must not be at the terminator).
const char *next(const char *p);

// The first / last occurrence of the single-byte character c, or nullptr.
const char *findChar(const char *text, char c);
const char *findLastChar(const char *text, char c);

// The first occurrence of needle starting on a character boundary, or nullptr.
const char *findText(const char *text, const char *needle);

// Case-insensitive comparison: single-byte letters A-Z match a-z, double-byte
// characters compare by their two bytes. Result below, equal to or above 0.
int compareNoCase(const char *a, const char *b);

// True when the last character of text is a backslash.
bool endsWithBackslash(const std::string &text);

// Removes one trailing backslash, if the last character is one.
void removeTrailingBackslash(std::string &text);

// The length of the longest prefix of text that holds at most maxBytes bytes
// and does not split a double-byte character.
std::size_t prefixLength(const char *text, std::size_t maxBytes);

// Copies text into buffer (size bytes, terminator included), cut at a
// character boundary when too long. Returns false when it had to cut.
bool copyBounded(char *buffer, std::size_t size, const char *text);

// True when the character at p is a decimal digit, '0' to '9'. Digits are
// single-byte characters in every ANSI code page and never a byte of a
// double-byte character, so a text walked with next() is tested safely.
bool isDigit(const char *p);

} // namespace mbtext
