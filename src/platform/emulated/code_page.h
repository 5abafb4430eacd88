// Text of other encodings turned into text of the emulated machine's ANSI
// code page (machine().codePage), and back.
#pragma once

#include <string>

namespace emu {

enum class Encoding { Utf16, Utf8 }; // UTF-16 little-endian, UTF-8

// Converts text; a character the code page lacks becomes '?', as Windows
// converts it. False when the machine's code page is unknown to the host.
bool toAnsi(const std::string &bytes, Encoding encoding, std::string &ansi);

// Converts ANSI text (zeros included) into UTF-16 little-endian. Bytes that
// are no character of the code page, or that would not come back as
// themselves, become the private-use characters U+F700 to U+F7FF, which
// toAnsi turns back into those bytes: the machine's own registry files keep
// every value exactly. False when the code page is unknown to the host.
bool fromAnsi(const std::string &ansi, std::string &utf16);

} // namespace emu
