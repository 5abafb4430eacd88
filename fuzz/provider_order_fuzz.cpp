// The network provider order edits: any stored order (any bytes, any type,
// any code page), with the debug log on or off, then adds and removes. An
// add puts QLNNET at the head and keeps every other provider in its order;
// a remove takes out the first entry that begins with QLNNET and nothing
// else.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <vector>

#include "fuzz_machine.h"
#include "emulator/machine.h"
#include "base/mbtext.h"
#include "radozavu.h"
#include "os/provider_order.h"

namespace {

using os::kOrderKey;
using os::kProviderName;

// The stored order as the library reads it: the text up to the first zero.
std::optional<std::string> storedOrder() {
    const emu::RegValue *value =
        emu::machine().registry.value(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder");
    if (value == nullptr) {
        return std::nullopt;
    }
    const std::string bytes(value->data.begin(), value->data.end());
    return bytes.substr(0, bytes.find('\0'));
}

// The entries of an order, split at its commas (never at a trail byte).
std::vector<std::string> entries(const std::string &order) {
    std::vector<std::string> result;
    const char *start = order.c_str();
    for (const char *comma = mbtext::findChar(start, ','); comma != nullptr;
         comma = mbtext::findChar(start, ',')) {
        result.emplace_back(start, comma);
        start = comma + 1;
    }
    result.emplace_back(start);
    return result;
}

// The entries without empty ones and, when asked, without QLNNET itself.
std::vector<std::string> others(const std::vector<std::string> &list, bool dropProvider) {
    std::vector<std::string> kept;
    for (const std::string &entry : list) {
        if (!entry.empty() && !(dropProvider && entry == kProviderName)) {
            kept.push_back(entry);
        }
    }
    return kept;
}

std::string shown(const std::string &order) { return "\"" + fuzz::visible(order) + "\""; }

void checkAdd(const std::string &before) {
    const std::optional<std::string> after = storedOrder();
    fuzz::expect(after.has_value(), "an add deleted the order");
    const std::vector<std::string> list = entries(*after);
    fuzz::expect(list.front() == kProviderName,
                 "an add of " + shown(before) + " left " + shown(*after) + " without QLNNET first");
    fuzz::expect(others(list, true) == others(entries(before), true),
                 "an add of " + shown(before) +
                     " lost or moved another provider: " + shown(*after));
}

void checkRemove(const std::string &before) {
    const std::optional<std::string> after = storedOrder();
    std::vector<std::string> expected = entries(before);
    for (auto entry = expected.begin(); entry != expected.end(); ++entry) {
        if (entry->compare(0, std::string(kProviderName).size(), kProviderName) == 0) {
            expected.erase(entry);
            break;
        }
    }
    fuzz::expect(after.has_value() && others(entries(*after), false) == others(expected, false),
                 "a remove of " + shown(before) + " left " + shown(after.value_or("(none)")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::freshMachine(fuzz::codePageFrom(input.ConsumeIntegral<std::uint8_t>()));
    const auto flags = input.ConsumeIntegral<std::uint8_t>();
    if ((flags & 1) != 0) {
        fuzz::writeFile("C:\\WINDOWS\\QLNQUILL.INI",
                        "[DebugIniMsgs]\r\nEnableDebugIniMessages=1\r\nMaxLine=20\r\n");
    }
    auto &registry = emu::machine().registry;
    registry.create(HKEY_LOCAL_MACHINE, kOrderKey);
    if ((flags & 2) != 0) {
        static const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_MULTI_SZ, REG_DWORD};
        const std::string bytes = input.ConsumeRandomLengthString(600);
        registry.setBinary(HKEY_LOCAL_MACHINE, kOrderKey, "ProviderOrder",
                           std::vector<BYTE>(bytes.begin(), bytes.end()), kTypes[(flags >> 2) % 5]);
    }
    // Up to four edits, one bit each: an add or a remove.
    const int edits = 1 + (flags >> 5) % 4;
    const auto kinds = input.ConsumeIntegral<std::uint8_t>();
    for (int edit = 0; edit < edits; ++edit) {
        const std::string before = storedOrder().value_or("");
        if ((kinds >> edit & 1) != 0) {
            HKAddNetworkProviderEX();
            checkAdd(before);
        } else {
            HKRemoveNetworkProviderEX();
            if (storedOrder() || !before.empty()) {
                checkRemove(before);
            }
        }
    }
    fuzz::finishInput();
    return 0;
}
