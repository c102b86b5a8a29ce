// Tests of the route table: reused slots, routes given again, full-width handles.
#include <gtest/gtest.h>

#include "socket/RouteTable.h"

using namespace vorlane;

TEST(RouteTable, AFreedSlotIsReusedBeforeTheTableGrows) {
    RouteTable<int> table;
    table.add(100, 1);
    table.add(200, 2);
    EXPECT_EQ(table.remove(100), 1);
    table.add(300, 3);
    EXPECT_EQ(table.slotOf(300), 1u);
    EXPECT_EQ(table.slotOf(200), 2u);
    EXPECT_EQ(table.slotCount(), 2u);
    EXPECT_EQ(table.lookup(100), nullptr);
    EXPECT_EQ(*table.lookup(300), 3);
}

TEST(RouteTable, AHandleRoutedAgainLeadsToItsNewOwnerOnly) {
    RouteTable<int> table;
    table.add(7, 1);
    table.add(8, 2);
    table.remove(7);
    table.add(8, 3);  // after slot 1 was freed: still the one route for 8
    EXPECT_EQ(table.slotOf(8), 2u);
    EXPECT_EQ(*table.lookup(8), 3);
    EXPECT_EQ(table.remove(8), 3);
    EXPECT_FALSE(table.remove(8).has_value());
}

TEST(RouteTable, HandlesAreFullWidth) {
    RouteTable<int> table;
    const uintptr_t high = (uintptr_t{1} << 40) + 100;
    table.add(100, 1);
    table.add(high, 2);
    EXPECT_EQ(*table.lookup(100), 1);
    EXPECT_EQ(*table.lookup(high), 2);
    EXPECT_EQ(table.lookup(RouteTable<int>::kFree), nullptr);  // the free marker is never a route
}
