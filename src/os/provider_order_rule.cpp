#include "os/provider_order_rule.h"

#include <cstring>

#include "base/mbtext.h"
#include "os/provider_order.h"

namespace os {
namespace {

bool beginsWithName(const char *entry) {
    return std::strncmp(entry, kProviderName, std::strlen(kProviderName)) == 0;
}

bool isExactName(const char *entry) {
    const char after = entry[std::strlen(kProviderName)];
    return after == '\0' || after == ',';
}

// The first entry of the order that begins with the provider's name (QLNNET
// itself, or a longer name such as QLNNETX), or nullptr. Only the start of
// an entry counts: a name that merely ends in QLNNET belongs to another
// provider, and taking it apart would join what is left of it to the next
// entry.
const char *findProviderEntry(const std::string &order) {
    for (const char *entry = order.c_str();;) {
        if (beginsWithName(entry)) {
            return entry;
        }
        const char *comma = mbtext::findChar(entry, ',');
        if (comma == nullptr) {
            return nullptr;
        }
        entry = comma + 1;
    }
}

} // namespace

ProviderRemovePlan PlanProviderRemove(const std::string &order) {
    ProviderRemovePlan plan;
    const char *occurrence = findProviderEntry(order);
    if (occurrence == nullptr) {
        return plan;
    }
    plan.listed = true;
    plan.newOrder.assign(order.c_str(), occurrence);
    const char *comma = mbtext::findChar(mbtext::next(occurrence), ',');
    plan.commaFollowed = comma != nullptr;
    if (plan.commaFollowed) {
        plan.newOrder += comma + 1;
    }
    return plan;
}

// Worked out in one walk over the order, however many entries QLNNET it holds.
ProviderAddPlan PlanProviderAdd(const std::string &order) {
    ProviderAddPlan plan;
    const char *start = order.c_str();
    for (const char *entry = start;;) {
        const char *comma = mbtext::findChar(entry, ',');
        if (beginsWithName(entry)) {
            if (!isExactName(entry)) {
                plan.rest += entry;
                break;
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
            break;
        }
        entry = comma + 1;
    }
    plan.newOrder = plan.rest.empty() ? std::string(kProviderName)
                                      : std::string(kProviderName) + "," + plan.rest;
    return plan;
}

} // namespace os
