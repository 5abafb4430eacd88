// Paths and the text rules they are built with, in every code page: the
// multibyte-aware searches, cuts and comparisons, the trailing-backslash
// rules and path joins of the install actions, the install folder read from
// the registry into a buffer of any size, and the emulated machine's own
// path resolution, short names and file search patterns. No search stops
// inside a double-byte character, no copy runs past its buffer, and no
// machine path reaches outside its drive's folder.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "fuzz_machine.h"
#include "emulator/files/files_internal.h"
#include "emulator/machine.h"
#include "platform/file_operations.h"
#include "platform/files.h"
#include "base/handles.h"
#include "base/mbtext.h"
#include "base/paths.h"
#include "platform/system.h"
#include "radozavu.h"
#include "registry/product_registry.h"

namespace fs = std::filesystem;

namespace {

// The offsets at which characters of text begin, and its length.
std::set<std::size_t> boundaries(const char *text) {
    std::set<std::size_t> found;
    const char *p = text;
    for (; *p != '\0'; p = mbtext::next(p)) {
        found.insert(static_cast<std::size_t>(p - text));
    }
    found.insert(static_cast<std::size_t>(p - text));
    return found;
}

// True when the last byte of text begins a double-byte character.
bool endsInsideCharacter(const std::string &text) {
    return !text.empty() && boundaries(text.c_str()).count(text.size() - 1) == 1 &&
           mbtext::next(text.c_str() + text.size() - 1) == text.c_str() + text.size() &&
           win::IsDBCSLeadByte(static_cast<BYTE>(text.back()));
}

void checkSearches(const std::string &text, const std::string &other) {
    const char *t = text.c_str();
    const std::set<std::size_t> starts = boundaries(t);
    for (const char c : {'\\', '|', ',', '*'}) {
        const char *first = mbtext::findChar(t, c);
        const char *last = mbtext::findLastChar(t, c);
        std::vector<std::size_t> matches;
        for (const std::size_t at : starts) {
            if (t[at] == c) {
                matches.push_back(at);
            }
        }
        fuzz::expect(first == (matches.empty() ? nullptr : t + matches.front()) &&
                         last == (matches.empty() ? nullptr : t + matches.back()),
                     "a search for '" + std::string(1, c) + "' in \"" + fuzz::visible(text) +
                         "\" stopped inside a character");
    }
    const std::size_t length = std::strlen(t);
    for (std::size_t most = 0; most <= length + 1; most += 1 + most / 4) {
        const std::size_t prefix = mbtext::prefixLength(t, most);
        fuzz::expect(prefix <= most && starts.count(prefix) == 1 &&
                         (prefix == length || *starts.upper_bound(prefix) > most),
                     "a cut of \"" + fuzz::visible(text) + "\" is not the longest whole prefix");
        // Into a buffer of exactly that many bytes and the terminator.
        std::vector<char> buffer(most + 1, 'X');
        const bool whole = mbtext::copyBounded(buffer.data(), buffer.size(), t);
        fuzz::expect(whole == (prefix == length) && std::strlen(buffer.data()) == prefix &&
                         std::memcmp(buffer.data(), t, prefix) == 0,
                     "a bounded copy of \"" + fuzz::visible(text) + "\" is wrong");
    }
    const int forward = mbtext::compareNoCase(t, other.c_str());
    const int backward = mbtext::compareNoCase(other.c_str(), t);
    fuzz::expect(mbtext::compareNoCase(t, t) == 0 && (forward > 0) == (backward < 0) &&
                     (forward == 0) == (backward == 0),
                 "comparing \"" + fuzz::visible(text) + "\" is not symmetric");
}

void checkFolderJoins(const std::string &text) {
    std::string trimmed = text;
    mbtext::removeTrailingBackslash(trimmed);
    fuzz::expect(trimmed == text || (mbtext::endsWithBackslash(text) &&
                                     trimmed == text.substr(0, text.size() - 1)),
                 "a trailing backslash removal of \"" + fuzz::visible(text) + "\" cut more");
    // A text cut off inside a double-byte character takes the backslash
    // added to it into that character; no rule can mend such a text.
    const std::string folder = paths::joinOnce(text.c_str(), "");
    fuzz::expect(endsInsideCharacter(text) || (mbtext::endsWithBackslash(folder) &&
                                               paths::joinOnce(folder.c_str(), "") == folder),
                 "\"" + fuzz::visible(text) + "\" does not end in one backslash as a folder");

    const std::string cut = EditCustomizedInstallPathEX(text.c_str());
    const std::size_t suffix = std::strlen("Brevanta\\Quillane\\");
    const std::size_t most = text.size() > suffix ? text.size() - suffix : 0;
    fuzz::expect(text.compare(0, cut.size(), cut) == 0 && cut.size() <= most &&
                     cut.size() == mbtext::prefixLength(text.c_str(), most),
                 "the install path \"" + fuzz::visible(text) + "\" is cut to \"" +
                     fuzz::visible(cut) + "\"");
}

// GetInstallLocation into a buffer of exactly `size` bytes, the stored value
// being any bytes: the stored text without one trailing backslash when it
// fits, else the default folder; always terminated inside the buffer.
void checkInstallLocation(const std::string &stored, std::size_t size) {
    emu::machine().registry.setBinary(
        HKEY_LOCAL_MACHINE, "Software\\Brevanta\\Quillane\\Current Version", "Install Location",
        std::vector<BYTE>(stored.begin(), stored.end()), REG_SZ);
    std::vector<char> buffer(size, 'X');
    registry::GetInstallLocation(buffer.data(), static_cast<DWORD>(size));
    std::string expected;
    if (stored.size() > size || (stored.size() == size && stored.back() != '\0')) {
        std::vector<char> fallback(size);
        mbtext::copyBounded(fallback.data(), size, registry::kDefaultInstallFolder);
        expected = fallback.data();
    } else {
        expected = fuzz::textOf(stored);
        mbtext::removeTrailingBackslash(expected);
    }
    const void *end = std::memchr(buffer.data(), '\0', size);
    fuzz::expect(end != nullptr && expected == buffer.data(), "the install location \"" +
                                                                  fuzz::visible(stored) + "\" in " +
                                                                  std::to_string(size) + " bytes");
}

// A machine path resolves to a host path inside its drive's folder.
void checkResolution(const std::string &path) {
    emu::ResolvedPath resolved;
    if (!emu::resolvePath(path, resolved)) {
        return;
    }
    const fs::path drive = fs::path(emu::machine().files.drives.at(resolved.drive).hostFolder);
    const fs::path host = fs::path(resolved.host).lexically_normal();
    const auto [driveEnd, hostAt] =
        std::mismatch(drive.begin(), drive.end(), host.begin(), host.end());
    (void)hostAt;
    fuzz::expect(driveEnd == drive.end() && host.string().find("/../") == std::string::npos,
                 "\"" + fuzz::visible(path) + "\" resolves outside its drive: " + host.string());
}

void checkShortPath(const std::string &path, std::size_t size) {
    std::vector<char> buffer(size, 'X');
    const DWORD length =
        win::GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(size));
    fuzz::expect(length == 0 || length >= size || std::strlen(buffer.data()) == length,
                 "a short path of \"" + fuzz::visible(path) + "\" is miscounted");
}

void checkSearchPattern(const std::string &pattern) {
    WIN32_FIND_DATAA found;
    const std::string path = "C:\\Files\\" + pattern;
    handles::UniqueFindHandle search(win::FindFirstFileA(path.c_str(), &found));
    for (int more = 0; search && more < 16 && win::FindNextFileA(search.get(), &found); ++more) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::freshMachine(fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>()));
    const auto bufferSize = input.ConsumeIntegralInRange<std::size_t>(1, 300);
    const std::string other = input.ConsumeRandomLengthString(64);
    const std::string raw = input.ConsumeRemainingBytesAsString();
    const std::string text = fuzz::textOf(raw);

    checkSearches(text, fuzz::textOf(other));
    checkFolderJoins(text);
    checkInstallLocation(raw, bufferSize);

    static const char *const kNames[] = {"QLNSETUP.INI", "a long name with blanks.ini",
                                         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.txt",
                                         "\x95\x5C.dat"};
    for (const char *name : kNames) {
        fuzz::writeFile(std::string("C:\\Files\\") + name, "x");
    }
    checkResolution(text);
    checkShortPath(text, bufferSize);
    checkSearchPattern(text);

    SetupCallRecord record{};
    record.ParamText = text.c_str();
    HKSetupCleanUpOldFiles(&record);
    fuzz::finishInput();
    return 0;
}
