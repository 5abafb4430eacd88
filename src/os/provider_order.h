// The network provider order: the comma-separated list "ProviderOrder" in
// which Windows asks its network providers. The product's provider, QLNNET,
// is put at the head on install and taken out on removal; every step is
// traced to the debug log in the Windows folder.
#pragma once

#include "platform/types.h"

namespace os {

constexpr const char *kOrderKey = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
constexpr const char *kOrderValue = "ProviderOrder";
constexpr const char *kProviderName = "QLNNET";

// Puts QLNNET first in the order. An order that lists it first already is
// left as it is; one that lists it further on has it taken out and put first.
// Names are matched at the start of an entry, case-sensitively. The order
// is read once and the new one written once, in time proportional to its
// length however many entries QLNNET it holds; an order that cannot be read
// or stored is left as it is. Failures reach only the debug log.
void QLNAddNetworkProvider();

// Takes the first entry that begins with QLNNET out of the order, up to and
// including the comma after it; an order that cannot be read is left as it
// is. Failures reach only the debug log.
void QLNRemoveNetworkProvider();

} // namespace os
