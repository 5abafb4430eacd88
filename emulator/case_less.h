// Case-insensitive ordering of names, as the registry, the file system and
// the environment of the emulated machine compare them: the letters a-z of
// single-byte characters fold to A-Z; a double-byte character of the
// machine's code page is compared by its bytes, its trail byte unfolded.
#pragma once

#include <string>

namespace emu {

int compareNamesNoCase(const std::string &a, const std::string &b);
bool equalNoCase(const std::string &a, const std::string &b);

struct CaseLess {
    bool operator()(const std::string &a, const std::string &b) const {
        return compareNamesNoCase(a, b) < 0;
    }
};

} // namespace emu
