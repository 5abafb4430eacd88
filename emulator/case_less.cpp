#include "emulator/case_less.h"

#include "emulator/text.h"

namespace emu {
namespace {
unsigned char fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }
} // namespace

// Byte by byte, the letters of single-byte characters folded. The two names
// are walked in step: up to the first difference their bytes are equal but
// for letter case, so they split into characters in the same places, and a
// trail byte (0x83 0x61 is another character than 0x83 0x41 in code page 932)
// is compared as it is.
int compareNamesNoCase(const std::string &a, const std::string &b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    bool trailByte = false;
    for (std::size_t i = 0; i < n; ++i) {
        const auto byteA = static_cast<unsigned char>(a[i]);
        const auto byteB = static_cast<unsigned char>(b[i]);
        const unsigned char ca = trailByte ? byteA : fold(byteA);
        const unsigned char cb = trailByte ? byteB : fold(byteB);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        // Lead bytes lie above 0x80: an ASCII name never asks the machine
        // for its code page, so the machine's own maps can be filled while it
        // is being made.
        trailByte = !trailByte && byteA > 0x80 && isLeadByte(byteA);
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool equalNoCase(const std::string &a, const std::string &b) {
    return a.size() == b.size() && compareNamesNoCase(a, b) == 0;
}

} // namespace emu
