// The letter encoding of numbers: any text is decoded to 0 unless it is one
// to nineteen of the letters A to J standing for a number of the signed
// 32-bit range; any number is encoded into letters that decode back to it
// (0 for a negative one), in every code page.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdio>
#include <string>

#include "fuzz_machine.h"
#include "emulator/machine.h"
#include "radozavu.h"

namespace {

// The number the letters stand for, or 0: digits 'A' to 'J', at most 19.
int expectedNumber(const std::string &text) {
    if (text.empty() || text.size() > 19) {
        return 0;
    }
    long long value = 0;
    for (const char c : text) {
        if (c < 'A' || c > 'J') {
            return 0;
        }
        value = value * 10 + (c - 'A');
        if (value > INT_MAX) {
            return 0;
        }
    }
    return static_cast<int>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    emu::resetMachine();
    emu::machine().system.codePage = fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>());
    const int number = input.ConsumeIntegral<int>();
    const std::string text = input.ConsumeRemainingBytesAsString();

    const std::string encoded = HKGetStringFromNumber(number);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%d", number);
    std::string expected = digits;
    for (char &c : expected) {
        c = c == '-' ? c : static_cast<char>(c + 17);
    }
    fuzz::expect(encoded == expected, "the letters of " + std::string(digits) + " are " + encoded);
    fuzz::expect(HKGetNumberFromString(encoded.c_str()) == (number < 0 ? 0 : number),
                 "the letters of " + std::string(digits) + " do not decode back");

    const std::string zeroEnded = fuzz::textOf(text);
    const int decoded = HKGetNumberFromString(zeroEnded.c_str());
    fuzz::expect(decoded == expectedNumber(zeroEnded),
                 "\"" + fuzz::visible(zeroEnded) + "\" decodes to " + std::to_string(decoded));
    return 0;
}
