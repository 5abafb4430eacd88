// The letter encoding of numbers. The floor of an encoding is formatting the
// number in decimal; the floor of a decoding is converting the decimal
// digits back.
#include <charconv>
#include <cstdio>
#include <cstring>

#include "cases.h"
#include "floor_reporter.h"
#include "radozavu.h"

namespace bench {
namespace {

constexpr int kNumber = 1907;
constexpr const char *kDigits = "1907";
constexpr const char *kLetters = "BJAH";

void formatDecimal(benchmark::State &state) {
    char text[20];
    int number = kNumber;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number);
        std::snprintf(text, sizeof text, "%d", number);
        benchmark::DoNotOptimize(text);
    }
}

void encode(benchmark::State &state) {
    int number = kNumber;
    for (auto _ : state) {
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(HKGetStringFromNumber(number));
    }
    if (std::strcmp(HKGetStringFromNumber(kNumber), kLetters) != 0) {
        state.SkipWithError("1907 was not encoded as BJAH");
    }
}

void convertDecimal(benchmark::State &state) {
    const char *digits = kDigits;
    for (auto _ : state) {
        benchmark::DoNotOptimize(digits);
        int value = 0;
        std::from_chars(digits, digits + std::strlen(digits), value);
        benchmark::DoNotOptimize(value);
    }
}

void decode(benchmark::State &state) {
    const char *letters = kLetters;
    for (auto _ : state) {
        benchmark::DoNotOptimize(letters);
        benchmark::DoNotOptimize(HKGetNumberFromString(letters));
    }
    if (HKGetNumberFromString(kLetters) != kNumber) {
        state.SkipWithError("BJAH was not decoded as 1907");
    }
}

} // namespace

void registerNumberEncodingCases() {
    registerCase("NumberEncoding.HKGetStringFromNumber", formatDecimal, encode);
    registerCase("NumberEncoding.HKGetNumberFromString", convertDecimal, decode);
}

} // namespace bench
