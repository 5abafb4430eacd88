// Case-insensitive ordering of names, as the registry, the file system and
// the environment of the emulated machine compare them: small letters fold to
// capitals (a-z, the accented letters of code page 1252, the full-width
// Latin letters of code page 932); any other double-byte character of the
// machine's code page is compared by its bytes, its trail byte unfolded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace emu {

int compareNamesNoCase(std::string_view a, std::string_view b);
bool equalNoCase(std::string_view a, std::string_view b);
// Whether the names of a path (its folders or keys, one a part), from the
// part at `from` on, begin with the names of prefix, without regard to case.
bool startsWithNames(const std::vector<std::string> &parts, std::size_t from,
                     const std::vector<std::string> &prefix);

struct CaseLess {
    bool operator()(const std::string &a, const std::string &b) const {
        return compareNamesNoCase(a, b) < 0;
    }
};

} // namespace emu
