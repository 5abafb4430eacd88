// The rule of the network provider order, apart from the registry and the
// debug log: what an add and a remove make of a stored order. Names match at
// the start of an entry, case-sensitively, and the text is walked character
// by character in the system's ANSI code page.
#pragma once

#include <cstddef>
#include <string>

namespace os {

// A remove takes the first entry that begins with QLNNET out, with the comma
// after it; what stands before the entry stays, its comma included, so a
// last entry leaves the comma before it.
struct ProviderRemovePlan {
    bool listed = false;        // an entry begins with QLNNET
    bool commaFollowed = false; // that entry had a comma after it
    std::string newOrder;       // the order without it; empty when not listed
};
ProviderRemovePlan PlanProviderRemove(const std::string &order);

// An add puts QLNNET at the head. An order that begins with QLNNET itself is
// left as it is. Otherwise the entries QLNNET that come first among the
// entries beginning with the name are taken out one after the other, each as
// a remove takes it, until the first such entry is a longer name (QLNNETX)
// or none is left; then "QLNNET," is put in front of what is left (QLNNET
// alone when nothing is).
struct ProviderAddPlan {
    bool listedFirst = false; // nothing is written
    std::size_t moves = 0;    // entries QLNNET taken out on the way to the head
    std::string rest;         // the order once they are out
    std::string newOrder;     // the order to store; empty when listedFirst
};
ProviderAddPlan PlanProviderAdd(const std::string &order);

} // namespace os
