// The provider order's rule on its own: what an add and a remove make of an
// order, with the number of moves the add's log tells and the remove's
// comma, and the add's moves agreeing with removes done one after another.
#include <string>

#include <gtest/gtest.h>

#include "os/provider_order_rule.h"

namespace {

using os::PlanProviderAdd;
using os::PlanProviderRemove;

TEST(ProviderOrderRule, AddMovesQlnnetToTheHeadAsTheTableSays) {
    struct Case {
        const char *order;
        bool listedFirst;
        std::size_t moves;
        const char *newOrder;
    };
    const Case cases[] = {
        {"", false, 0, "QLNNET"},
        {"QLNNET", true, 0, ""},
        {"QLNNET,P1", true, 0, ""},
        {"P1,P2", false, 0, "QLNNET,P1,P2"},
        {"P1,QLNNET,P2", false, 1, "QLNNET,P1,P2"},
        {"P1,QLNNET", false, 1, "QLNNET,P1,"},
        {"P1,QLNNET,QLNNET", false, 2, "QLNNET,P1,"},
        {"P1,QLNNET,P2,QLNNET,P3", false, 2, "QLNNET,P1,P2,P3"},
        {"QLNNETX,P1", false, 0, "QLNNET,QLNNETX,P1"},
        // The first longer name ends the moves; what follows it stays.
        {"P1,QLNNET,QLNNETX,QLNNET", false, 1, "QLNNET,P1,QLNNETX,QLNNET"},
        {"AQLNNET,QLNNET", false, 1, "QLNNET,AQLNNET,"},
        {"qlnnet,P1", false, 0, "QLNNET,qlnnet,P1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order);
        const os::ProviderAddPlan plan = PlanProviderAdd(c.order);
        EXPECT_EQ(plan.listedFirst, c.listedFirst);
        EXPECT_EQ(plan.moves, c.moves);
        EXPECT_EQ(plan.newOrder, c.newOrder);
        // The log tells each move as a remove: removes done one after
        // another reach the same rest.
        std::string order = c.order;
        for (std::size_t move = 0; move < plan.moves; ++move) {
            order = PlanProviderRemove(order).newOrder;
        }
        EXPECT_EQ(plan.listedFirst ? "" : order, plan.rest);
    }
}

TEST(ProviderOrderRule, RemoveTakesTheFirstEntryOutAsTheTableSays) {
    struct Case {
        const char *order;
        bool listed;
        bool commaFollowed;
        const char *newOrder;
    };
    const Case cases[] = {
        {"", false, false, ""},
        {"P1,P2", false, false, ""},
        {"P1QLNNET,P2", false, false, ""},
        {"QLNNET", true, false, ""},
        {"QLNNET,P1,P2", true, true, "P1,P2"},
        {"P1,QLNNET,P2", true, true, "P1,P2"},
        {"P1,QLNNET", true, false, "P1,"},
        {"P1,QLNNETX,P2", true, true, "P1,P2"},
        {"P1,QLNNET,QLNNET", true, true, "P1,QLNNET"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.order);
        const os::ProviderRemovePlan plan = PlanProviderRemove(c.order);
        EXPECT_EQ(plan.listed, c.listed);
        EXPECT_EQ(plan.commaFollowed, c.commaFollowed);
        EXPECT_EQ(plan.newOrder, c.newOrder);
    }
}

} // namespace
