// Text of other encodings turned into text of the emulated machine's ANSI
// code page (machine().codePage), and back.
#pragma once

#include <string>

namespace emu {

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
