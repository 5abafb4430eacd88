// The registry file (.reg) reader of the emulated machine, and its writer: a
// file of any bytes, in any of the machine's code pages, is refused whole or
// applied; the registry it makes, written out as a registry file, reads back
// into the same registry, so that a machine kept in a folder survives every
// save and load unchanged. Names of any bytes, which the registry functions
// accept but no line of a registry file can give, come from the data of the
// values the file sets.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fuzz_machine.h"
#include "emulator/machine.h"
#include "emulator/registry/reg_file.h"
#include "emulator/persistence/registry_export.h"

namespace {

// Two keys with the same names, values (name, type and bytes) and subkeys.
bool sameKey(const emu::RegKey &a, const emu::RegKey &b) {
    if (a.name != b.name || a.values.size() != b.values.size() ||
        a.subkeys.size() != b.subkeys.size()) {
        return false;
    }
    for (auto value = a.values.begin(), other = b.values.begin(); value != a.values.end();
         ++value, ++other) {
        if (value->second.name != other->second.name || value->second.type != other->second.type ||
            value->second.data != other->second.data) {
            return false;
        }
    }
    for (auto key = a.subkeys.begin(), other = b.subkeys.begin(); key != a.subkeys.end();
         ++key, ++other) {
        if (!sameKey(*key->second, *other->second)) {
            return false;
        }
    }
    return true;
}

bool sameRegistry(emu::Registry &a, emu::Registry &b) {
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS}) {
        if (!sameKey(*a.root(root), *b.root(root))) {
            return false;
        }
    }
    return true;
}

// Each value's data, zeros dropped and cut to Windows' name limits, also
// names a value under a key named by the same bytes without backslashes, as
// RegSetValueExA would store them.
void addNamesFromData(emu::Registry &registry,
                      const std::vector<emu::RegFileOperation> &operations) {
    for (const emu::RegFileOperation &operation : operations) {
        if (operation.kind != emu::RegFileOperation::SetValue) {
            continue;
        }
        std::string name(operation.data.begin(), operation.data.end());
        name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
        name.resize(std::min(name.size(), emu::kMaxValueNameLength));
        std::string keyName = name.substr(0, emu::kMaxKeyNameLength);
        keyName.erase(std::remove(keyName.begin(), keyName.end(), '\\'), keyName.end());
        registry.setBinary(HKEY_CURRENT_USER, keyName.empty() ? "Names" : "Names\\" + keyName, name,
                           operation.data, operation.type);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    emu::resetMachine(); // no drives: the reader works on text alone
    emu::machine().system.codePage = fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>());
    const std::string file = input.ConsumeRemainingBytesAsString();

    const emu::RegFileParse parsed = emu::parseRegFile(file);
    if (!parsed.valid) {
        fuzz::expect(parsed.operations.empty() && !parsed.problem.empty(),
                     "a refused file keeps operations or gives no reason");
        return 0;
    }
    emu::Registry imported;
    emu::applyRegFile(imported, parsed.operations);
    addNamesFromData(imported, parsed.operations);
    const std::string saved = emu::exportRegistry(imported);

    const emu::RegFileParse reread = emu::parseRegFile(saved, emu::RegFileSource::MachineState);
    fuzz::expect(reread.valid, "a saved registry does not read back: " + reread.problem + "\n" +
                                   fuzz::visible(saved));
    emu::Registry loaded;
    fuzz::expect(emu::applyRegFile(loaded, reread.operations) == 0,
                 "a saved registry does not load whole");
    fuzz::expect(sameRegistry(imported, loaded), "a registry changes across a save and a load:\n" +
                                                     fuzz::visible(saved) + "\n--\n" +
                                                     fuzz::visible(emu::exportRegistry(loaded)));
    return 0;
}
