// Text of other encodings turned into text of the emulated machine's ANSI
// code page, and back.
#pragma once

#include <algorithm>
#include <iterator>
#include <string>

namespace emu {

// The machine's ANSI code page (1252, 932 ...), the one its text is in.
unsigned ansiCodePage();

// The ANSI code pages a machine can have, 1252 (a new machine's) first.
// Header only, so that the host built for Windows names the same ones.
inline constexpr unsigned kSupportedCodePages[] = {1252, 932, 936, 949, 950};
inline bool isSupportedCodePage(unsigned codePage) {
    return std::find(std::begin(kSupportedCodePages), std::end(kSupportedCodePages), codePage) !=
           std::end(kSupportedCodePages);
}

enum class Encoding { Utf16, Utf8 }; // UTF-16 little-endian, UTF-8

// Converts text; a character the code page lacks becomes '?', as Windows
// converts it. False when the machine's code page is unknown to the host.
bool toAnsi(const std::string &bytes, Encoding encoding, std::string &ansi);

// As toAnsi, but the private-use characters U+F700 to U+F7FF stand for the
// bytes 0x00 to 0xFF: the escape with which earlier versions of the machine
// folder wrote text bytes that were no character of the code page. Only
// those folders' registry files are read this way.
bool toAnsiKeepingEscapedBytes(const std::string &utf16, std::string &ansi);

} // namespace emu
