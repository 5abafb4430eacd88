// ReadProductString on its short path (a value under 260 bytes, kept in the
// store's buffer) and its long path (one of 260 bytes or more, kept in a text
// that grows). The floor opens the section key by its full path, queries the
// value once and closes the key.
#include <cstring>
#include <string>

#include "support/scratch_machine.h"
#include "cases.h"
#include "floor_reporter.h"
#include "emulator/machine.h"
#include "platform/registry.h"
#include "registry/product_registry.h"

namespace bench {
namespace {

constexpr const char *kSection = "Current Version";
constexpr const char *kSectionPath = "Software\\Brevanta\\Quillane\\Current Version";

struct StoredText {
    const char *valueName;
    std::size_t length;
};
constexpr StoredText kShortText{"ShortText", 100};
constexpr StoredText kLongText{"LongText", 1000};

void store(const StoredText &text) {
    emu::machine().registry.setString(HKEY_LOCAL_MACHINE, kSectionPath, text.valueName,
                                      std::string(text.length, 'q'));
}

template <const StoredText &Text> void bareQuery(benchmark::State &state) {
    store(Text);
    char buffer[2048];
    for (auto _ : state) {
        HKEY key = nullptr;
        if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSectionPath, 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            state.SkipWithError("the section cannot be opened");
            break;
        }
        DWORD size = sizeof buffer;
        win::RegQueryValueExA(key, Text.valueName, nullptr, nullptr,
                              reinterpret_cast<BYTE *>(buffer), &size);
        benchmark::DoNotOptimize(buffer);
        win::RegCloseKey(key);
    }
}

template <const StoredText &Text> void readProductString(benchmark::State &state) {
    store(Text);
    for (auto _ : state) {
        const char *text =
            registry::ReadProductString(kSection, Text.valueName, "", HKEY_LOCAL_MACHINE);
        if (std::strlen(text) != Text.length) {
            state.SkipWithError("the stored text did not come back whole");
            break;
        }
    }
}

} // namespace

void registerRegistryCases() {
    registerCase("ReadProductString.Short.100", bareQuery<kShortText>,
                 readProductString<kShortText>);
    registerCase("ReadProductString.Long.1000", bareQuery<kLongText>, readProductString<kLongText>);
}

} // namespace bench
