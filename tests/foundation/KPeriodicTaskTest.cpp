#include "foundation/KPeriodicTask.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "foundation/KTickCount.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

/// Polls until `condition` holds; false after a generous time.
bool Eventually(const std::function<bool()>& condition) {
    for (const auto limit = Clock::now() + 10s; Clock::now() < limit; std::this_thread::sleep_for(1ms))
        if (condition()) return true;
    return false;
}

class CountingTask : public KPeriodicTask {
public:
    ~CountingTask() override { Stop(); }

    std::function<void()> onTick;  // set while no thread runs
    std::atomic<int> ticks{0};

protected:
    void Tick(uint32_t) override {
        if (onTick) onTick();
        ++ticks;
    }
};

// The threads of this process but the caller, and how often they went to sleep: a task's
// thread does so once for each wait of its period and at no other time.
struct OtherThreads {
    int count = 0;
    long long sleeps = 0;
};
OtherThreads Others() {
    OtherThreads others;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        if (entry.path().filename() == std::to_string(::gettid())) continue;
        // Read by lines: a thread that has just ended leaves a file that fails to read.
        std::ifstream status(entry.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("voluntary_ctxt_switches:")) others.sleeps += std::stoll(line.substr(24));
        ++others.count;
    }
    return others;
}

/// Waits until the other threads have slept `count` more times than `before`.
bool WaitForSleeps(const OtherThreads& before, long long count) {
    return Eventually([&] { return Others().sleeps >= before.sleeps + count; });
}

}  // namespace

TEST(KPeriodicTask, StartsPausedOnlyStopEndsItAndStopWakesItAtOnce) {
    CountingTask task;
    task.Resume();  // no effect while stopped
    EXPECT_TRUE(task.IsStopped());
    for (const bool running : {false, true}) {  // a stopped task starts again
        const OtherThreads before = Others();
        ASSERT_TRUE(task.Start(60000, 1));
        EXPECT_TRUE(task.IsPaused());
        EXPECT_TRUE(task.Start(1));  // changes nothing, paused or running
        EXPECT_EQ(task.Period(), 60000);
        if (running) {
            task.Pause();
            EXPECT_TRUE(task.IsPaused());
            task.Resume();
            EXPECT_TRUE(task.IsRunning());
        }
        ASSERT_TRUE(WaitForSleeps(before, 1));  // the thread waits out its first period
        const auto start = Clock::now();
        task.Stop();
        EXPECT_LT(Clock::now() - start, 30s) << "Stop waited for the period to pass";
        EXPECT_TRUE(task.IsStopped());
        EXPECT_EQ(task.Period(), -1);
    }
    EXPECT_EQ(task.ticks, 0);
}

TEST(KPeriodicTask, NoTickWhilePausedTicksWhileRunningAndATickMayStopItsOwnTaskWhichThenStartsAgain) {
    CountingTask task;
    ASSERT_TRUE(task.Start(1));
    ASSERT_TRUE(WaitForSleeps(Others(), 5));  // woke up paused four times at least
    EXPECT_EQ(task.ticks, 0);
    task.Resume();
    EXPECT_TRUE(Eventually([&] { return task.ticks >= 3; }));
    task.Pause();
    const int atPause = task.ticks;
    ASSERT_TRUE(WaitForSleeps(Others(), 5));
    EXPECT_LE(task.ticks, atPause + 1);  // at most a tick that was under way
    task.Stop();

    const int atStop = task.ticks;
    const OtherThreads before = Others();
    task.onTick = [&] { task.Stop(); };
    ASSERT_TRUE(task.Start(1));
    task.Resume();
    ASSERT_TRUE(Eventually([&] { return Others().count == before.count; }));  // its thread ended
    EXPECT_TRUE(task.IsStopped());
    EXPECT_EQ(task.ticks, atStop + 1);
    task.onTick = nullptr;
    ASSERT_TRUE(task.Start(1));
    task.Resume();
    EXPECT_TRUE(Eventually([&] { return task.ticks >= atStop + 4; }));
}

TEST(KPeriodicTask, StopDuringATickWaitsForItAndNoTickFollows) {
    CountingTask task;
    std::atomic<int> started{0};
    std::atomic<bool> tickEnded{false};
    task.onTick = [&] {
        if (started++ > 0) return;
        // The first tick goes on until Stop has been called, and then a little longer: a Stop
        // that did not wait for it would return first.
        EXPECT_TRUE(Eventually([&] { return task.IsStopped(); }));
        std::this_thread::sleep_for(20ms);
        tickEnded = true;
    };
    ASSERT_TRUE(task.Start(1));
    task.Resume();
    ASSERT_TRUE(Eventually([&] { return started > 0; }));
    task.Stop();
    EXPECT_TRUE(tickEnded) << "Stop returned while the tick ran";
    EXPECT_EQ(started, 1);
    ASSERT_TRUE(Eventually([&] { return tickEnded.load(); }));  // no tick outlives the task
}

TEST(KPeriodicTask, EveryPriorityRunsRealWorkOnTheDefaultStack) {
    for (int priority = -4; priority <= 4; ++priority) {
        CountingTask task;
        task.onTick = [] {
            volatile char scratch[128 * 1024];  // far more than the stack size every user asks for
            std::memset(const_cast<char*>(scratch), 1, sizeof scratch);
        };
        ASSERT_TRUE(task.Start(1, priority, KPeriodicTask::kDefaultStackSize)) << priority;
        task.Resume();
        EXPECT_TRUE(Eventually([&] { return task.ticks >= 2; })) << priority;
    }
}

TEST(KTickCount, CountsMillisecondsForward) {
    const uint32_t first = KGetTickCount();
    std::this_thread::sleep_for(15ms);
    const uint32_t elapsed = KGetTickCount() - first;  // unsigned difference survives a wrap
    EXPECT_GE(elapsed, 15u);
    EXPECT_LT(elapsed, 60000u);
}
