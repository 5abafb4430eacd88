#include "emulator/case_less.h"

#include "emulator/code_page.h"
#include "emulator/text.h"

namespace emu {
namespace {

// The capital of a single-byte letter: a-z everywhere, and in code page 1252
// the accented small letters too (as Windows' upper-case table has them).
// Only bytes above 0x7F ask the machine for its code page, so ASCII names can
// be compared while the machine is being made.
unsigned char foldSingle(unsigned char c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    }
    if (ansiCodePage() != 1252) {
        return c;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) { // à-þ, but for the division sign
        return c - 0x20;
    }
    switch (c) {
    case 0x9A: // š
    case 0x9C: // œ
    case 0x9E: // ž
        return c - 0x10;
    case 0xFF: // ÿ
        return 0x9F;
    default:
        return c;
    }
}

// The trail byte of a double-byte character, folded where the character is
// a full-width small letter of code page 932 (0x82 0x81 to 0x82 0x9A, whose
// capitals are 0x82 0x60 to 0x82 0x79); every other trail byte as it is.
unsigned char foldTrail(unsigned char lead, unsigned char trail) {
    if (lead == 0x82 && trail >= 0x81 && trail <= 0x9A && ansiCodePage() == 932) {
        return trail - 0x21;
    }
    return trail;
}

} // namespace

// Character by character, letters folded to capitals. The two names are
// walked in step: up to the first difference their bytes are equal but for
// letter case, so they split into characters in the same places, and a
// trail byte (0x83 0x61 is another character than 0x83 0x41 in code page 932)
// is folded only as part of its character.
int compareNamesNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    unsigned char lead = 0; // the lead byte before a trail byte, else 0
    for (std::size_t i = 0; i < n; ++i) {
        const auto byteA = static_cast<unsigned char>(a[i]);
        const auto byteB = static_cast<unsigned char>(b[i]);
        const unsigned char ca = lead != 0 ? foldTrail(lead, byteA) : foldSingle(byteA);
        const unsigned char cb = lead != 0 ? foldTrail(lead, byteB) : foldSingle(byteB);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        lead = lead == 0 && byteA > 0x80 && isLeadByte(byteA) ? byteA : 0;
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNamesNoCase(a, b) == 0;
}

bool startsWithNames(const std::vector<std::string> &parts, std::size_t from,
                     const std::vector<std::string> &prefix) {
    if (parts.size() < from + prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (!equalNoCase(parts[from + i], prefix[i])) {
            return false;
        }
    }
    return true;
}

} // namespace emu
