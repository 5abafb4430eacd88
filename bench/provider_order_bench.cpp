// The network provider order, with the debug log switched off as on an
// ordinary machine: an add followed by a remove (QLNNET put first, then
// taken out again, so every iteration starts from the same order), and an
// add that finds QLNNET first already and writes nothing. The floor opens
// the order key, reads "ProviderOrder" and, where the library writes,
// writes it back, once per operation.
#include <cstring>
#include <string>

#include "support/scratch_machine.h"
#include "cases.h"
#include "floor_reporter.h"
#include "emulator/machine.h"
#include "platform/registry.h"
#include "os/provider_order.h"

namespace bench {
namespace {

using os::kOrderKey;
using os::kOrderValue;

constexpr const char *kOtherProviders = "LanmanWorkstation,WebClient";
constexpr const char *kListedFirst = "QLNNET,LanmanWorkstation,WebClient";
constexpr REGSAM kOrderAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

void storeOrder(const char *order) {
    ScratchMachine::removeFile("C:\\WINDOWS\\QLNQUILL.INI");
    ScratchMachine::reloadLibrary(); // the log's switch is read afresh: off
    emu::machine().registry.setString(HKEY_LOCAL_MACHINE, kOrderKey, kOrderValue, order);
}

std::string storedOrder() {
    return emu::machine().registry.stringValue(HKEY_LOCAL_MACHINE, kOrderKey, kOrderValue);
}

// Opens the key, reads the order and, with rewrite, stores it again.
bool bareEdit(bool rewrite) {
    HKEY key = nullptr;
    if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrderKey, 0, kOrderAccess, &key) != ERROR_SUCCESS) {
        return false;
    }
    char order[260] = {};
    DWORD size = sizeof order;
    win::RegQueryValueExA(key, kOrderValue, nullptr, nullptr, reinterpret_cast<BYTE *>(order),
                          &size);
    LONG rc = ERROR_SUCCESS;
    if (rewrite) {
        rc = win::RegSetValueExA(key, kOrderValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(order),
                                 static_cast<DWORD>(std::strlen(order)));
    }
    win::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void bareAddRemove(benchmark::State &state) {
    storeOrder(kOtherProviders);
    for (auto _ : state) {
        if (!bareEdit(true) || !bareEdit(true)) {
            state.SkipWithError("the order cannot be edited");
            break;
        }
    }
}

void addRemove(benchmark::State &state) {
    storeOrder(kOtherProviders);
    for (auto _ : state) {
        os::QLNAddNetworkProvider();
        os::QLNRemoveNetworkProvider();
    }
    if (storedOrder() != kOtherProviders) {
        state.SkipWithError("add and remove did not give back the order");
    }
}

void bareOrderRead(benchmark::State &state) {
    storeOrder(kListedFirst);
    for (auto _ : state) {
        if (!bareEdit(false)) {
            state.SkipWithError("the order cannot be read");
            break;
        }
    }
}

void addListedFirst(benchmark::State &state) {
    storeOrder(kListedFirst);
    for (auto _ : state) {
        os::QLNAddNetworkProvider();
    }
    if (storedOrder() != kListedFirst) {
        state.SkipWithError("an add changed an order that lists QLNNET first");
    }
}

} // namespace

void registerProviderOrderCases() {
    registerCase("ProviderOrder.AddThenRemove", bareAddRemove, addRemove);
    registerCase("ProviderOrder.AddListedFirst", bareOrderRead, addListedFirst);
}

} // namespace bench
