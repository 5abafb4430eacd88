// Text of other encodings turned into text of the emulated machine's ANSI
// code page (machine().codePage).
#pragma once

#include <string>

namespace emu {

enum class Encoding { Utf16, Utf8 }; // UTF-16 little-endian, UTF-8

// Converts text; a character the code page lacks becomes '?', as Windows
// converts it. False when the machine's code page is unknown to the host.
bool toAnsi(const std::string &bytes, Encoding encoding, std::string &ansi);

// Converts ANSI text of the machine's code page into UTF-16 little-endian; a
// byte the code page does not define becomes '?'. False when the machine's
// code page is unknown to the host.
bool toUtf16(const std::string &ansi, std::string &utf16);

} // namespace emu
