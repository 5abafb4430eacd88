#include "os/provider_order.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "frame/busy_cursor.h"
#include "logging/debug_log.h"
#include "base/handles.h"
#include "base/mbtext.h"
#include "platform/registry.h"
#include "radozavu.h"

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
    std::vector<char> data;
    DWORD size = 0;
    LONG rc = ERROR_SUCCESS;
    do {
        data.assign(static_cast<std::size_t>(size) + 1, '\0'); // room for a missing terminator
        rc = win::RegQueryValueExA(key, kOrderValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE *>(data.data()), &size);
    } while (rc == ERROR_MORE_DATA);
    order = rc == ERROR_SUCCESS ? std::string(data.data()) : std::string();
    return rc == ERROR_FILE_NOT_FOUND ? static_cast<LONG>(ERROR_SUCCESS) : rc;
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
        DebugLogWindows("QLNRemoveNetworkProvider: RegQueryValueEx returns %d", static_cast<int>(rc));
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
    // What stands before the name stays, its comma included.
    std::string newOrder(order.c_str(), occurrence);
    if (const char *comma = mbtext::findChar(mbtext::next(occurrence), ','); comma != nullptr) {
        newOrder += comma + 1;
        DebugLogWindows("QLNRemoveNetworkProvider: In 2 szValue= %s", newOrder.c_str());
    }
    DebugLogWindows("QLNRemoveNetworkProvider: New Value= %s", newOrder.c_str());
    const LONG rc = writeOrder(key.get(), newOrder);
    DebugLogWindows("QLNRemoveNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
    key.reset();
    DebugLogWindows("QLNRemoveNetworkProvider: Exiting");
    return rc == ERROR_SUCCESS;
}

enum class AddOutcome {
    Stored,      // the new order was written
    NotStored,   // the order could not be opened, read or written
    ListedFirst, // the name stands first already
    ListedLater, // the name is listed, but not first: take it out, then add again
};

// Opens, reads and rewrites the order: all of a pass of the add but its
// first and last lines. order is the order it found.
AddOutcome addToOrder(std::string &order) {
    handles::UniqueKey key = openOrderKey();
    if (!key) {
        return AddOutcome::NotStored;
    }
    DebugLogWindows("QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS");
    if (const LONG rc = readOrder(key.get(), order); rc != ERROR_SUCCESS) {
        DebugLogWindows("QLNAddNetworkProvider: RegQueryValueEx returns %d", static_cast<int>(rc));
        return AddOutcome::NotStored;
    }
    DebugLogWindows("QLNAddNetworkProvider: ProviderOrder=%s", order.c_str());
    std::string newOrder;
    if (order.empty()) {
        newOrder = kProviderName;
        DebugLogWindows("QLNAddNetworkProvider: szValue=%s", newOrder.c_str());
    } else {
        const char *occurrence = findProviderEntry(order);
        const std::size_t nameLength = std::strlen(kProviderName);
        DebugLogWindows("QLNAddNetworkProvider: _tcslen=%d", static_cast<int>(nameLength));
        if (occurrence != nullptr &&
            (occurrence[nameLength] == '\0' || occurrence[nameLength] == ',')) {
            DebugLogWindows("QLNAddNetworkProvider: in Condition 1 =%s", order.c_str());
            key.reset();
            if (occurrence == order.c_str()) {
                return AddOutcome::ListedFirst;
            }
            DebugLogWindows("QLNAddNetworkProvider: in Condition 2 =%s", order.c_str());
            return AddOutcome::ListedLater;
        }
        // Not listed, or only inside a longer name (QLNNETX).
        DebugLogWindows("QLNAddNetworkProvider: szNewValue =%s", order.c_str());
        newOrder = std::string(kProviderName) + "," + order;
    }
    DebugLogWindows("QLNAddNetworkProvider: szNewValue Before RegSetValueEx =%s", newOrder.c_str());
    const LONG rc = writeOrder(key.get(), newOrder);
    DebugLogWindows("QLNAddNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
    return rc == ERROR_SUCCESS ? AddOutcome::Stored : AddOutcome::NotStored;
}

// One pass of the add. A pass that finds the name listed ends without its
// "Exiting" line.
AddOutcome addPass(std::string &order) {
    DebugLogWindows("QLNAddNetworkProvider: Entered");
    const AddOutcome outcome = addToOrder(order);
    if (outcome == AddOutcome::Stored || outcome == AddOutcome::NotStored) {
        DebugLogWindows("QLNAddNetworkProvider: Exiting");
    }
    return outcome;
}

// Puts back the order an add found, when a remove has taken QLNNET out of it
// and the add could not then store the order with QLNNET at the head.
void restoreOrder(const std::string &order) {
    DebugLogWindows("QLNAddNetworkProvider: restoring ProviderOrder=%s", order.c_str());
    if (handles::UniqueKey key = openOrderKey()) {
        const LONG rc = writeOrder(key.get(), order);
        DebugLogWindows("QLNAddNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
    }
}

} // namespace

BOOL QLNAddNetworkProvider() {
    const frame::BusyCursor busy;
    // A name listed further on is taken out and the add starts over, once per
    // occurrence ahead of the head, until it stands first. Each pass that
    // found it listed ends with "returning TRUE" once the passes after it are
    // done. The passes run in a loop, so an order with any number of
    // occurrences needs no deeper stack; and one whose shortened order cannot
    // be stored stops instead of trying again for ever. Should the order
    // have been shortened and the add then fail, the order found first is put
    // back, so QLNNET is never lost on the way to the head.
    int passesToEnd = 0;
    std::optional<std::string> firstOrder; // the order as the first pass found it
    bool shortened = false;                // a remove has taken an entry out of it
    for (std::string order;;) {
        const AddOutcome outcome = addPass(order);
        if (!firstOrder) {
            firstOrder = order;
        }
        const bool listed = outcome == AddOutcome::ListedFirst || outcome == AddOutcome::ListedLater;
        passesToEnd += listed ? 1 : 0;
        if (outcome == AddOutcome::ListedLater && removeProvider()) {
            shortened = true;
            continue;
        }
        // Done; or the order could not be stored, nor shortened again.
        if (shortened && outcome != AddOutcome::Stored && outcome != AddOutcome::ListedFirst) {
            restoreOrder(*firstOrder);
        }
        break;
    }
    for (; passesToEnd > 0; --passesToEnd) {
        DebugLogWindows("QLNAddNetworkProvider: returning TRUE");
    }
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
