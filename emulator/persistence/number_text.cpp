#include "emulator/persistence/number_text.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace emu {

std::optional<unsigned long long> readUnsigned(const std::string &text, unsigned long long high) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) != 0)) {
        return std::nullopt;
    }
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
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
