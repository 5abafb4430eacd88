#include "os/provider_order.h"

#include <cstring>
#include <string>
#include <utility>

#include "frame/busy_cursor.h"
#include "logging/debug_log.h"
#include "base/handles.h"
#include "os/provider_order_rule.h"
#include "platform/registry.h"
#include "radozavu.h"
#include "registry/string_value.h"

namespace os {
namespace {

using logging::DebugLogWindows;

constexpr REGSAM kOrderAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
constexpr const char *kAdd = "QLNAddNetworkProvider";
constexpr const char *kRemove = "QLNRemoveNetworkProvider";

// Reads the stored order, whole however long it is; a missing value reads as
// an empty order. Its type is not examined: the text ends at its first zero.
// Any other failure is returned, so that an order that is there but cannot
// be read is never taken for an empty one and written over.
DWORD readOrder(HKEY key, std::string &order) {
    registry::StringValue value = registry::ReadStringValue(key, kOrderValue);
    order = std::move(value.text);
    return value.status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : value.status;
}

// Opens the order key and reads the order for an operation, logging the
// line it writes once the key is open and the result of a read that failed.
// False when the key cannot be opened or the order read: it is left alone.
bool openAndReadOrder(const char *operation, const char *opened, handles::UniqueKey &key,
                      std::string &order) {
    if (win::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOrderKey, 0, kOrderAccess, key.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DebugLogWindows("%s: %s", operation, opened);
    if (const DWORD rc = readOrder(key.get(), order); rc != ERROR_SUCCESS) {
        DebugLogWindows("%s: RegQueryValueEx returns %d", operation, static_cast<int>(rc));
        return false;
    }
    return true;
}

// Stores the order as REG_SZ, its length not counting the terminator.
DWORD writeOrder(HKEY key, const std::string &order) {
    return static_cast<DWORD>(win::RegSetValueExA(key, kOrderValue, 0, REG_SZ,
                                                  reinterpret_cast<const BYTE *>(order.c_str()),
                                                  static_cast<DWORD>(order.size())));
}

// One pass of an add or a remove in the debug log: "<name>: Entered" as it
// begins and, as it ends, "<name>: Exiting" or the closing line it chose.
class LoggedPass {
public:
    explicit LoggedPass(const char *name) : name_(name) { DebugLogWindows("%s: Entered", name_); }
    ~LoggedPass() { DebugLogWindows("%s: %s", name_, closing_); }
    LoggedPass(const LoggedPass &) = delete;
    LoggedPass &operator=(const LoggedPass &) = delete;

    void closeWith(const char *closing) { closing_ = closing; }

private:
    const char *name_;
    const char *closing_ = "Exiting";
};

// Logs a remove that read order and made plan of it, from the order it read
// on; rc is the result of the write, if there was one.
void logRemove(LoggedPass &pass, const std::string &order, const ProviderRemovePlan &plan,
               DWORD rc) {
    DebugLogWindows("QLNRemoveNetworkProvider: After RegQueryValueEx  =%s", order.c_str());
    if (order.empty()) {
        pass.closeWith("No szValue - returning TRUE");
        return;
    }
    if (!plan.listed) {
        pass.closeWith("szValue - NULL - returning TRUE");
        return;
    }
    DebugLogWindows("QLNRemoveNetworkProvider: In 1  szValue=%s", order.c_str());
    if (plan.commaFollowed) {
        DebugLogWindows("QLNRemoveNetworkProvider: In 2 szValue= %s", plan.newOrder.c_str());
    }
    DebugLogWindows("QLNRemoveNetworkProvider: New Value= %s", plan.newOrder.c_str());
    DebugLogWindows("QLNRemoveNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
}

// The debug log tells the add as a series of nested passes, each reading the
// order, finding QLNNET listed further on and taking it out with a remove,
// then running a pass of its own, until a last pass puts QLNNET at the head;
// a pass that found the name listed closes with "returning TRUE" after the
// passes it ran. All of them are stored by one write, whose result each
// remove and the last pass report; a write that failed ends the story at the
// first remove. Only the first kLoggedMoves moves are told pass by pass:
// each line holds the whole order, and an order with thousands of entries
// QLNNET would otherwise make the log grow with the square of its length.
constexpr std::size_t kLoggedMoves = 16;

void logNameLength() {
    DebugLogWindows("QLNAddNetworkProvider: _tcslen=%d",
                    static_cast<int>(std::strlen(kProviderName)));
}

// A pass of the add that finds QLNNET listed; it closes with "returning TRUE"
// after whatever it goes on to run.
void logListed(LoggedPass &pass, const std::string &order) {
    logNameLength();
    DebugLogWindows("QLNAddNetworkProvider: in Condition 1 =%s", order.c_str());
    pass.closeWith("returning TRUE");
}

// Logs the pass of an add that finds order, movesTold moves into the story
// of plan; rc is the result of the write, if there was one.
void logAddPass(LoggedPass &pass, const std::string &order, const ProviderAddPlan &plan, DWORD rc,
                std::size_t movesTold) {
    DebugLogWindows("QLNAddNetworkProvider: ProviderOrder=%s", order.c_str());
    if (plan.listedFirst) {
        logListed(pass, order);
        return;
    }
    if (movesTold < plan.moves && movesTold < kLoggedMoves) {
        logListed(pass, order);
        DebugLogWindows("QLNAddNetworkProvider: in Condition 2 =%s", order.c_str());
        const ProviderRemovePlan removal = PlanProviderRemove(order);
        {
            LoggedPass remove(kRemove);
            DebugLogWindows("QLNRemoveNetworkProvider: Inside loop -1");
            logRemove(remove, order, removal, rc);
        }
        if (rc == ERROR_SUCCESS) {
            LoggedPass next(kAdd);
            DebugLogWindows("QLNAddNetworkProvider: RegOpenKeyEx returned ERROR_SUCCESS");
            logAddPass(next, removal.newOrder, plan, rc, movesTold + 1);
        }
        return;
    }
    const std::string &rest = movesTold < plan.moves ? plan.rest : order;
    if (movesTold < plan.moves) {
        DebugLogWindows("QLNAddNetworkProvider: %d more entries QLNNET taken out; ProviderOrder=%s",
                        static_cast<int>(plan.moves - movesTold), rest.c_str());
    }
    if (rest.empty()) {
        DebugLogWindows("QLNAddNetworkProvider: szValue=%s", plan.newOrder.c_str());
    } else {
        logNameLength();
        DebugLogWindows("QLNAddNetworkProvider: szNewValue =%s", rest.c_str());
    }
    DebugLogWindows("QLNAddNetworkProvider: szNewValue Before RegSetValueEx =%s",
                    plan.newOrder.c_str());
    DebugLogWindows("QLNAddNetworkProvider: RegSetValueEx returns %d", static_cast<int>(rc));
}

} // namespace

void QLNAddNetworkProvider() {
    const frame::BusyCursor busy;
    LoggedPass pass(kAdd);
    handles::UniqueKey key;
    std::string order;
    if (!openAndReadOrder(kAdd, "RegOpenKeyEx returned ERROR_SUCCESS", key, order)) {
        return;
    }
    // The order is read once and written once, whatever the number of
    // entries QLNNET to take out on the way to the head.
    const ProviderAddPlan plan = PlanProviderAdd(order);
    const DWORD rc = plan.listedFirst ? ERROR_SUCCESS : writeOrder(key.get(), plan.newOrder);
    key.reset();
    logAddPass(pass, order, plan, rc, 0);
}

void QLNRemoveNetworkProvider() {
    const frame::BusyCursor busy;
    LoggedPass pass(kRemove);
    handles::UniqueKey key;
    std::string order;
    if (!openAndReadOrder(kRemove, "Inside loop -1", key, order)) {
        return;
    }
    const ProviderRemovePlan plan = PlanProviderRemove(order);
    const DWORD rc = plan.listed ? writeOrder(key.get(), plan.newOrder) : ERROR_SUCCESS;
    key.reset();
    logRemove(pass, order, plan, rc);
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
