// Numbers written as text, as machine.conf and the host's command lines and
// scripts write them.
#pragma once

#include <optional>
#include <string>

namespace emu {

// A decimal number (a leading zero is decimal too) or a 0x-hexadecimal one
// within [low, high]; nothing when the text is not one (no blanks, no sign on
// an unsigned range) or lies outside.
std::optional<long long> readNumber(const std::string &text, long long low, long long high);
std::optional<unsigned long long> readUnsigned(const std::string &text, unsigned long long high);

// "a number from LOW to HIGH", for messages.
std::string numberRange(long long low, unsigned long long high);

} // namespace emu
