#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "scoring/EventRecord.h"

// The scoreboard thread reads the event under its lock while input updates change it under the same
// lock: every read sees a whole, sorted list.
TEST(EventRecord, ReaderUnderTheLockSeesWholeSortedLists) {
    EventRecord event;
    std::atomic<bool> stop{false};
    std::atomic<int> unsorted{0};
    std::thread reader([&] {
        uint32_t seen = 0;
        while (!stop.load()) {
            if (event.ChangeCount() == seen) {
                std::this_thread::yield();
                continue;
            }
            EventRecord::ScopedLock lock(event);
            seen = event.ChangeCount();
            TickCount previous = TickCount::FromInt64(TickCount::kMin);
            for (ResultRecord& r : event.Results().Sorted()) {
                if (!r.IsFinished()) continue;
                if (r.Time().GetTicks() < previous) ++unsorted;
                previous = r.Time().GetTicks();
            }
        }
    });
    for (int update = 0; update < 300; ++update) {
        EventRecord::ScopedLock lock(event);
        event.BeginUpdate();
        for (int line = 0; line < 20; ++line) {
            const KString id = ToKString(line);
            ResultRecord* r = event.Results().Find(TextField::Id, id);
            if (!r) {
                r = event.Results().Add();
                r->SetId(id);
            }
            r->SetTime(TimeValue(TickCount::FromInt64((update * 7 + line * 13) % 97 * 800), kTicksHundredth));
        }
        event.EndUpdate();
    }
    stop = true;
    reader.join();
    EXPECT_EQ(unsorted.load(), 0);
    EXPECT_EQ(event.Results().Size(), 20u);
}
