#include "emulator/persistence/number_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace emu {

std::optional<unsigned long long> readUnsigned(const std::string &text, unsigned long long high) {
    // A leading zero is a decimal digit like any other: nobody who writes
    // 0755 in a script means the octal 493.
    const bool hexadecimal =
        text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hexadecimal ? text.substr(2) : text;
    const auto isDigit = [hexadecimal](unsigned char c) {
        return hexadecimal ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
    };
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit)) {
        return std::nullopt;
    }
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hexadecimal ? 16 : 10);
    if (*end != '\0' || errno != 0 || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<long long> readNumber(const std::string &text, long long low, long long high) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::optional<unsigned long long> magnitude = readUnsigned(
        negative ? text.substr(1) : text, static_cast<unsigned long long>(LLONG_MAX) + 1);
    if (!magnitude) {
        return std::nullopt;
    }
    if (negative) {
        const long long value = *magnitude == 0 ? 0 : -static_cast<long long>(*magnitude - 1) - 1;
        return value >= low && value <= high ? std::optional<long long>(value) : std::nullopt;
    }
    if (*magnitude > static_cast<unsigned long long>(high) || high < 0 ||
        static_cast<long long>(*magnitude) < low) {
        return std::nullopt;
    }
    return static_cast<long long>(*magnitude);
}

std::string numberRange(long long low, unsigned long long high) {
    return "a number from " + std::to_string(low) + " to " + std::to_string(high);
}

} // namespace emu
