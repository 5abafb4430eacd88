// The gzip copies of arbitrary bytes: any file compressed at any level
// expands back byte for byte, and any bytes given as a compressed file are
// expanded, passed through (not gzip at all) or refused, never with a crash
// and never with a damaged copy reported as whole.
#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_machine.h"
#include "radozavu.h"

namespace {

constexpr const char *kPlain = "C:\\data\\plain.bin";
constexpr const char *kPacked = "C:\\data\\packed.gz";
constexpr const char *kCopy = "C:\\data\\copy.bin";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::freshMachine(1252);
    const int level = input.ConsumeIntegralInRange(-3, 12);
    const bool asCompressed = input.ConsumeBool();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    std::string copy;
    if (asCompressed) {
        fuzz::writeFile(kPacked, bytes);
        const char *result = QLNSetupUncompressFile(kPacked, kCopy);
        fuzz::expect(fuzz::readFile(kCopy, copy), "no destination file");
        const bool gzip = bytes.size() >= 2 && bytes[0] == '\x1f' && bytes[1] == '\x8b';
        // Bytes that are no gzip stream are copied as they are.
        fuzz::expect(gzip || (result == kCopy && copy == bytes),
                     "bytes that are no gzip stream were not copied as they are");
    } else {
        fuzz::writeFile(kPlain, bytes);
        fuzz::expect(QLNSetupCompressFile(kPlain, kPacked, level) == kPacked,
                     "compression failed at level " + std::to_string(level));
        fuzz::expect(QLNSetupUncompressFile(kPacked, kCopy) == kCopy, "expansion failed");
        fuzz::expect(fuzz::readFile(kCopy, copy) && copy == bytes,
                     "the copy differs at level " + std::to_string(level));
    }
    fuzz::finishInput();
    return 0;
}
