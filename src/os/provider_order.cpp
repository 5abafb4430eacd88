#include "os/provider_order.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "frame/busy_cursor.h"
#include "logging/debug_log.h"
#include "base/handles.h"
#include "base/mbtext.h"
#include "platform/registry.h"
#include "radozavu.h"
#include "registry/string_value.h"

namespace os {
namespace {

using logging::DebugLogWindows;

constexpr REGSAM kOrderAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

handles::UniqueKey openOrderKey() {
    handles::UniqueKey key;
    win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrderKey, 0, kOrderAccess, key.put());
    return key;
}

// Reads the stored order, whole however long it is; a missing value reads as
// an empty order. Its type is not examined: the text ends at its first zero.
// Any other failure is returned, so that an order that is there but cannot
// be read is never taken for an empty one and written over.
LONG readOrder(HKEY key, std::string &order) {
    registry::StringValue value = registry::ReadStringValue(key, kOrderValue);
    order = std::move(value.text);
    return value.status == ERROR_FILE_NOT_FOUND ? static_cast<LONG>(ERROR_SUCCESS) : value.status;
}

// The first entry of the order that begins with the provider's name (QLNNET
// itself, or a longer name such as QLNNETX), or nullptr. Only the start of
// an entry counts: a name that merely ends in QLNNET belongs to another
// provider, and taking it apart would join what is left of it to the next
// entry.
const char *findProviderEntry(const std::string &order) {
    const std::size_t nameLength = std::strlen(kProviderName);
    for (const char *entry = order.c_str();;) {
        if (std::strncmp(entry, kProviderName, nameLength) == 0) {
            return entry;
        }
        const char *comma = mbtext::findChar(entry, ',');
        if (comma == nullptr) {
            return nullptr;
        }
        entry = comma + 1;
    }
}

// Stores the order as REG_SZ, its length not counting the terminator.
LONG writeOrder(HKEY key, const std::string &order) {
    return win::RegSetValueExA(key, kOrderValue, 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(order.c_str()),
                               static_cast<DWORD>(order.size()));
}

// The order without the entry at occurrence: what stands before it stays,
// its comma included, and what follows the entry's comma (if any) is joined
// on. commaFollowed tells whether the entry had a comma after it.
std::string withoutEntry(const std::string &order, const char *occurrence, bool &commaFollowed) {
    std::string shorter(order.c_str(), occurrence);
    const char *comma = mbtext::findChar(mbtext::next(occurrence), ',');
    commaFollowed = comma != nullptr;
    if (commaFollowed) {
        shorter += comma + 1;
    }
    return shorter;
}

// Takes the first entry that begins with the name out, with the comma after
// it. True when the shorter order was stored.
bool removeProvider() {
    const frame::BusyCursor busy;
    DebugLogWindows("QLNRemoveNetworkProvider: Entered");
    handles::UniqueKey key = openOrderKey();
    if (!key) {
        DebugLogWindows("QLNRemoveNetworkProvider: Exiting");
        return false;
    }
    DebugLogWindows("QLNRemoveNetworkProvider: Inside loop -1");
    std::string order;
    if (const LONG rc = readOrder(key.get(), order); rc != ERROR_SUCCESS) {
        DebugLogWindows("QLNRemoveNetworkProvider: RegQueryValueEx returns %d",
                        static_cast<int>(rc));
        key.reset();
        DebugLogWindows("QLNRemoveNetworkProvider: Exiting");
        return false;
    }
    DebugLogWindows("QLNRemoveNetworkProvider: After RegQueryValueEx  =%s", order.c_str());
    if (order.empty()) {
        DebugLogWindows("QLNRemoveNetworkProvider: No szValue - returning TRUE");
        return false;
    }
    const char *occurrence = findProviderEntry(order);
    if (occurrence == nullptr) {
        DebugLogWindows("QLNRemoveNetworkProvider: szValue - NULL - returning TRUE");
        return false;
    }
    DebugLogWindows("QLNRemoveNetworkProvider: In 1  szValue=%s", order.c_str());
    bool commaFollowed = false;
    const std::string newOrder = withoutEntry(order, occurrence, commaFollowed);
    if (commaFollowed) {
        DebugLogWindows("QLNRemoveNetworkProvider: In 2 szValue= %s", newOrder.c_str());
    }
    DebugLogWindows("QLNRemoveNetworkProvider: New Value= %s", newOrder.c_str());
    const LONG rc = writeOrder(key.get(), newOrder);
    DebugLogWindows("QLNRemoveNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
    key.reset();
    DebugLogWindows("QLNRemoveNetworkProvider: Exiting");
    return rc == ERROR_SUCCESS;
}

bool isExactName(const char *entry) {
    const char after = entry[std::strlen(kProviderName)];
    return after == '\0' || after == ',';
}

// What the add does to an order, worked out in one walk over it. The add
// takes out, one after the other, the entries QLNNET that come first among
// the entries beginning with the name, until the first such entry is a
// longer name (QLNNETX) or none is left; then it puts QLNNET at the head.
// An order that begins with QLNNET itself is left as it is.
struct AddPlan {
    bool listedFirst = false;
    std::size_t moves = 0; // entries QLNNET taken out
    std::string rest;      // the order once they are out
};

AddPlan planAdd(const std::string &order) {
    AddPlan plan;
    const char *start = order.c_str();
    for (const char *entry = start;;) {
        const char *comma = mbtext::findChar(entry, ',');
        if (std::strncmp(entry, kProviderName, std::strlen(kProviderName)) == 0) {
            if (!isExactName(entry)) {
                plan.rest += entry;
                return plan;
            }
            if (entry == start) {
                plan.listedFirst = true;
                return plan;
            }
            ++plan.moves; // the entry and its comma go; a last entry leaves the comma before it
        } else {
            plan.rest.append(entry, comma != nullptr ? comma + 1 : entry + std::strlen(entry));
        }
        if (comma == nullptr) {
            return plan;
        }
        entry = comma + 1;
    }
}

// The debug log tells the add as a series of passes, each reading the order,
// finding QLNNET listed further on and taking it out, and a last pass that
// puts it at the head; all of them are stored by one write, whose result
// each pass reports. A write that failed ends the story at the first pass
// that reports it. Only the first kLoggedMoves moves are told line by line:
// each line holds the whole order, and an order with thousands of entries
// QLNNET would otherwise make the log grow with the square of its length.
constexpr std::size_t kLoggedMoves = 16;

void logNameLength() {
    DebugLogWindows("QLNAddNetworkProvider: _tcslen=%d",
                    static_cast<int>(std::strlen(kProviderName)));
}

void logAddStart(const std::string &order) {
    DebugLogWindows("QLNAddNetworkProvider: ProviderOrder=%s", order.c_str());
}

// Logs a pass that takes QLNNET out of order (setting order to what is left);
// false when the write failed and the story ends there.
bool logMove(std::string &order, LONG rc) {
    logNameLength();
    DebugLogWindows("QLNAddNetworkProvider: in Condition 1 =%s", order.c_str());
    DebugLogWindows("QLNAddNetworkProvider: in Condition 2 =%s", order.c_str());
    DebugLogWindows("QLNRemoveNetworkProvider: Entered");
    DebugLogWindows("QLNRemoveNetworkProvider: Inside loop -1");
    DebugLogWindows("QLNRemoveNetworkProvider: After RegQueryValueEx  =%s", order.c_str());
    DebugLogWindows("QLNRemoveNetworkProvider: In 1  szValue=%s", order.c_str());
    bool commaFollowed = false;
    order = withoutEntry(order, findProviderEntry(order), commaFollowed);
    if (commaFollowed) {
        DebugLogWindows("QLNRemoveNetworkProvider: In 2 szValue= %s", order.c_str());
    }
    DebugLogWindows("QLNRemoveNetworkProvider: New Value= %s", order.c_str());
    DebugLogWindows("QLNRemoveNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
    DebugLogWindows("QLNRemoveNetworkProvider: Exiting");
    if (rc != ERROR_SUCCESS) {
        return false;
    }
    DebugLogWindows("QLNAddNetworkProvider: Entered");
    DebugLogWindows("QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS");
    return true;
}

// Logs the passes of an add that found order and planned plan; rc is the
// result of the write, if there was one.
void logAdd(std::string order, const AddPlan &plan, const std::string &newOrder, LONG rc) {
    logAddStart(order);
    std::size_t listedPasses = plan.listedFirst ? 1 : 0;
    bool stored = true;
    for (std::size_t move = 0; move < plan.moves && move < kLoggedMoves && stored; ++move) {
        ++listedPasses;
        stored = logMove(order, rc);
        if (stored) {
            logAddStart(order);
        }
    }
    if (stored && plan.moves > kLoggedMoves) {
        order = plan.rest;
        DebugLogWindows("QLNAddNetworkProvider: %d more entries QLNNET taken out; ProviderOrder=%s",
                        static_cast<int>(plan.moves - kLoggedMoves), order.c_str());
    }
    if (stored && plan.listedFirst) {
        logNameLength();
        DebugLogWindows("QLNAddNetworkProvider: in Condition 1 =%s", order.c_str());
    } else if (stored) {
        if (order.empty()) {
            DebugLogWindows("QLNAddNetworkProvider: szValue=%s", newOrder.c_str());
        } else {
            logNameLength();
            DebugLogWindows("QLNAddNetworkProvider: szNewValue =%s", order.c_str());
        }
        DebugLogWindows("QLNAddNetworkProvider: szNewValue Before RegSetValueEx =%s",
                        newOrder.c_str());
        DebugLogWindows("QLNAddNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
        DebugLogWindows("QLNAddNetworkProvider: Exiting");
    }
    for (; listedPasses > 0; --listedPasses) {
        DebugLogWindows("QLNAddNetworkProvider: returning TRUE");
    }
}

} // namespace

BOOL QLNAddNetworkProvider() {
    const frame::BusyCursor busy;
    DebugLogWindows("QLNAddNetworkProvider: Entered");
    handles::UniqueKey key = openOrderKey();
    if (!key) {
        DebugLogWindows("QLNAddNetworkProvider: Exiting");
        return TRUE;
    }
    DebugLogWindows("QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS");
    std::string order;
    if (const LONG rc = readOrder(key.get(), order); rc != ERROR_SUCCESS) {
        DebugLogWindows("QLNAddNetworkProvider: RegQueryValueEx returns %d", static_cast<int>(rc));
        DebugLogWindows("QLNAddNetworkProvider: Exiting");
        return TRUE;
    }
    // The order is read once and written once, whatever the number of
    // entries QLNNET to take out on the way to the head.
    const AddPlan plan = planAdd(order);
    std::string newOrder;
    LONG rc = ERROR_SUCCESS;
    if (!plan.listedFirst) {
        newOrder = plan.rest.empty() ? std::string(kProviderName)
                                     : std::string(kProviderName) + "," + plan.rest;
        rc = writeOrder(key.get(), newOrder);
    }
    key.reset();
    logAdd(std::move(order), plan, newOrder, rc);
    return TRUE;
}

BOOL QLNRemoveNetworkProvider() {
    removeProvider();
    return TRUE;
}

} // namespace os

extern "C" RADOZAVU_API(int) HKAddNetworkProvider(const SetupCallRecord * /*record*/) {
    os::QLNAddNetworkProvider();
    return 0;
}

extern "C" RADOZAVU_API(int) HKAddNetworkProviderEX() {
    os::QLNAddNetworkProvider();
    return 0;
}

extern "C" RADOZAVU_API(int) HKRemoveNetworkProvider(const SetupCallRecord * /*record*/) {
    os::QLNRemoveNetworkProvider();
    return 0;
}

extern "C" RADOZAVU_API(int) HKRemoveNetworkProviderEX() {
    os::QLNRemoveNetworkProvider();
    return 0;
}
