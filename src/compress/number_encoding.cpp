// The letter encoding of numbers: every decimal digit of a number's text
// becomes the capital letter 17 codes above it ('0' is A, '9' is J); a minus
// sign stays as it is. Decoding takes letters A to J only, so it gives back
// the numbers from 0 to 2147483647 and 0 for everything else.
#include <charconv>
#include <cstdio>

#include "frame/returned_text.h"
#include "base/mbtext.h"
#include "radozavu.h"

namespace {

constexpr char kDigitToLetter = 'A' - '0';

// Room for 19 characters and the terminator: the longest text that is
// decoded, and more than the longest number ("-2147483648") needs.
constexpr std::size_t kTextSize = 20;

} // namespace

extern "C" RADOZAVU_API(const char *) HKGetStringFromNumber(int number) {
    static frame::ReturnedText result;
    char text[kTextSize];
    std::snprintf(text, sizeof text, "%d", number);
    for (char *p = text; *p != '\0'; p += mbtext::next(p) - p) {
        if (mbtext::isDigit(p)) {
            *p = static_cast<char>(*p + kDigitToLetter);
        }
    }
    return result.set(text);
}

extern "C" RADOZAVU_API(int) HKGetNumberFromString(const char *text) {
    if (text == nullptr) {
        return 0;
    }
    char digits[kTextSize];
    std::size_t length = 0;
    for (const char *p = text; *p != '\0'; ++p) {
        if (length == kTextSize - 1) {
            return 0; // longer than any encoding this decoder takes
        }
        digits[length] = static_cast<char>(*p - kDigitToLetter);
        if (!mbtext::isDigit(&digits[length])) {
            return 0;
        }
        ++length;
    }
    // Empty text, or a value beyond the signed 32-bit range, gives 0.
    int value = 0;
    const auto [end, error] = std::from_chars(digits, digits + length, value);
    return error == std::errc() ? value : 0;
}
