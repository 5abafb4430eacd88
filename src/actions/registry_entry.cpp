// Deletion of one named registry value on the installer script's request.
#include "base/handles.h"
#include "platform/registry.h"
#include "radozavu.h"

namespace {
// The one root the script may name: 2 for HKEY_LOCAL_MACHINE.
constexpr int kLocalMachineSelector = 2;
} // namespace

extern "C" RADOZAVU_API(int) HKDelRegistryEntry(int rootSelector, const char *keyPath,
                                                const char *valueName) {
    if (keyPath == nullptr || valueName == nullptr || rootSelector != kLocalMachineSelector) {
        return 0;
    }
    handles::UniqueKey key;
    if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, key.put()) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return win::RegDeleteValueA(key.get(), valueName) == ERROR_SUCCESS ? 1 : 0;
}
