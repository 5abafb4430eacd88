// The network provider order, with the debug log switched off as on an
// ordinary machine: an add followed by a remove (QLNNET put first, then
// taken out again, so every iteration starts from the same order) on the
// order of a fresh machine and on orders of 10, 1,000 and 100,000
// providers, and an
// add that finds QLNNET first already and writes nothing. The floor opens
// the order key, reads "ProviderOrder" and, where the library writes,
// writes it back, once per operation.
#include <cstdio>
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

// Opens the key, reads the order into buffer (large enough for it) and,
// with rewrite, stores it again.
bool bareEdit(bool rewrite, std::string &buffer) {
    HKEY key = nullptr;
    if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrderKey, 0, kOrderAccess, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG rc = win::RegQueryValueExA(key, kOrderValue, nullptr, nullptr,
                                    reinterpret_cast<BYTE *>(buffer.data()), &size);
    if (rc == ERROR_SUCCESS && rewrite) {
        rc = win::RegSetValueExA(key, kOrderValue, 0, REG_SZ,
                                 reinterpret_cast<const BYTE *>(buffer.data()),
                                 static_cast<DWORD>(std::strlen(buffer.c_str())));
    }
    win::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// An order of the given number of providers: the two of a fresh machine,
// then others.
std::string orderOf(int providers) {
    std::string order = kOtherProviders;
    char name[32];
    for (int number = 3; number <= providers; ++number) {
        std::snprintf(name, sizeof name, ",Provider%06d", number);
        order += name;
    }
    return order;
}

template <int Providers> void bareAddRemove(benchmark::State &state) {
    const std::string order = orderOf(Providers);
    storeOrder(order.c_str());
    std::string buffer(order.size() + 64, '\0');
    for (auto _ : state) {
        if (!bareEdit(true, buffer) || !bareEdit(true, buffer)) {
            state.SkipWithError("the order cannot be edited");
            break;
        }
    }
}

template <int Providers> void addRemove(benchmark::State &state) {
    const std::string order = orderOf(Providers);
    storeOrder(order.c_str());
    for (auto _ : state) {
        os::QLNAddNetworkProvider();
        os::QLNRemoveNetworkProvider();
    }
    if (storedOrder() != order) {
        state.SkipWithError("add and remove did not give back the order");
    }
}

void bareOrderRead(benchmark::State &state) {
    storeOrder(kListedFirst);
    std::string buffer(260, '\0');
    for (auto _ : state) {
        if (!bareEdit(false, buffer)) {
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
    registerCase("ProviderOrder.AddThenRemove", bareAddRemove<2>, addRemove<2>);
    registerCase("ProviderOrder.AddThenRemove.Entries10", bareAddRemove<10>, addRemove<10>);
    registerCase("ProviderOrder.AddThenRemove.Entries1000", bareAddRemove<1000>, addRemove<1000>);
    registerCase("ProviderOrder.AddThenRemove.Entries100000", bareAddRemove<100000>,
                 addRemove<100000>);
    registerGrowth("ProviderOrder.AddThenRemove",
                   {"ProviderOrder.AddThenRemove.Entries10",
                    "ProviderOrder.AddThenRemove.Entries1000",
                    "ProviderOrder.AddThenRemove.Entries100000"},
                   100);
    registerCase("ProviderOrder.AddListedFirst", bareOrderRead, addListedFirst);
}

} // namespace bench
