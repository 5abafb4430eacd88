#include "emulator/case_less.h"

namespace emu {
namespace {
unsigned char fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }
} // namespace

int compareNamesNoCase(const std::string &a, const std::string &b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = fold(static_cast<unsigned char>(a[i]));
        const unsigned char cb = fold(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
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
