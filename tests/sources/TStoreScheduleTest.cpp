#include "sources/TStoreSchedule.h"

#include <gtest/gtest.h>

TEST(StoreSchedule, StoresAfterAQuietMomentOrAtTheLatestSoonAfterAndAtMostOnceASecond) {
    const struct {
        const char* name;
        std::vector<long long> updates;  // times of the updates, from a start long after any store
        long long storedAt, now, dueIn;  // storedAt -1: no earlier store
    } cases[] = {
        {"one update waits for the quiet moment", {10000}, -1, 10100, 200},
        {"each update restarts the quiet moment", {10000, 10200}, -1, 10300, 200},
        {"a steady feed is stored 2 s after its first update", {10000, 11900}, -1, 12100, 0},
        {"not within a second of the last store", {10000}, 9800, 10300, 500},
        {"a store leaves nothing pending", {}, 400, 500, -1},
    };
    for (const auto& c : cases) {
        TStoreSchedule schedule;
        if (c.storedAt >= 0) {
            schedule.Updated(c.storedAt);
            schedule.Stored(c.storedAt);
        }
        for (const long long at : c.updates) schedule.Updated(at);
        EXPECT_EQ(schedule.DueInMs(c.now), c.dueIn) << c.name;
    }
}
