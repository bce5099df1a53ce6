#include "sources/TStoreSchedule.h"

#include <gtest/gtest.h>

TEST(StoreSchedule, StoresAfterAQuietMomentOrAtTheLatestSoonAfterAndAtMostOnceASecond) {
    struct Case {
        const char* name;
        std::vector<long long> updates;  // times of the updates, from a start long after any store
        long long storedAt;              // -1: no earlier store
        long long now;
        long long dueIn;
    };
    const Case cases[] = {
        {"nothing arrived", {}, -1, 10000, -1},
        {"one update waits for the quiet moment", {10000}, -1, 10100, 200},
        {"a quiet feed is stored", {10000}, -1, 10300, 0},
        {"each update restarts the quiet moment", {10000, 10200}, -1, 10300, 200},
        {"a steady feed is stored two seconds after its first update",
         {10000, 10250, 10500, 10750, 11000, 11250, 11500, 11750, 12000},
         -1,
         12000,
         0},
        {"not within a second of the last store", {10000}, 9800, 10300, 500},
        {"a store leaves nothing pending", {}, 400, 500, -1},
    };
    for (const Case& c : cases) {
        TStoreSchedule schedule;
        if (c.storedAt >= 0) {
            schedule.Updated(c.storedAt);
            schedule.Stored(c.storedAt);
        }
        for (const long long at : c.updates) schedule.Updated(at);
        EXPECT_EQ(schedule.DueInMs(c.now), c.dueIn) << c.name;
    }
}
