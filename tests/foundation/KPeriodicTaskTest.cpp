#include "foundation/KPeriodicTask.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "foundation/KTickCount.h"

namespace {

using namespace std::chrono_literals;

// Counts ticks and lets a test wait for them without guessing at sleeps.
class CountingTask : public KPeriodicTask {
public:
    ~CountingTask() override { Stop(); }

    int Ticks() const {
        std::lock_guard lock(m_mutex);
        return m_ticks;
    }
    /// True once at least `count` ticks happened; gives up after a generous time.
    bool WaitForTicks(int count) {
        std::unique_lock lock(m_mutex);
        return m_ticked.wait_for(lock, 10s, [&] { return m_ticks >= count; });
    }

    std::function<void()> onTick;  // set while no thread runs

protected:
    void Tick(uint32_t) override {
        if (onTick) onTick();
        std::lock_guard lock(m_mutex);
        ++m_ticks;
        m_ticked.notify_all();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ticked;
    int m_ticks = 0;
};

}  // namespace

TEST(KPeriodicTask, StartsPausedAndOnlyStopEndsAStartedTask) {
    CountingTask task;
    task.Resume();  // no effect while stopped
    EXPECT_TRUE(task.IsStopped());
    EXPECT_EQ(task.Period(), -1);
    for (int round = 1; round <= 2; ++round) {  // a stopped task starts again
        ASSERT_TRUE(task.Start(60000, 1));
        EXPECT_TRUE(task.IsPaused());
        EXPECT_TRUE(task.Start(1));  // changes nothing, paused or running
        EXPECT_EQ(task.Period(), 60000);
        task.Resume();
        EXPECT_TRUE(task.IsRunning());
        EXPECT_TRUE(task.Start(1));
        EXPECT_TRUE(task.IsRunning());
        task.Pause();
        EXPECT_TRUE(task.IsPaused());
        task.Stop();
        EXPECT_TRUE(task.IsStopped());
        EXPECT_EQ(task.Period(), -1);
    }
}

TEST(KPeriodicTask, NoTickBeforeResumeAndTicksAfterIt) {
    CountingTask task;
    ASSERT_TRUE(task.Start(1));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(task.Ticks(), 0);
    task.Resume();
    EXPECT_TRUE(task.WaitForTicks(3));
    task.Pause();
    const int atPause = task.Ticks();
    std::this_thread::sleep_for(30ms);
    EXPECT_LE(task.Ticks(), atPause + 1);  // at most a tick that was under way
    task.Resume();
    EXPECT_TRUE(task.WaitForTicks(task.Ticks() + 2));
}

TEST(KPeriodicTask, StopDuringATickWaitsForItAndNoTickFollows) {
    CountingTask task;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    std::atomic<bool> tickFinished{false};
    std::atomic<bool> stopReturned{false};
    std::atomic<bool> tickedAfterStop{false};
    task.onTick = [&] {
        tickedAfterStop = tickedAfterStop || stopReturned;
        if (first.exchange(false)) {
            entered.set_value();
            released.wait();
            tickFinished = true;
        }
    };
    ASSERT_TRUE(task.Start(1));
    task.Resume();
    entered.get_future().wait();
    std::thread stopper([&] {
        task.Stop();
        stopReturned = true;
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(stopReturned);  // the tick is still running
    release.set_value();
    stopper.join();
    EXPECT_TRUE(tickFinished);
    EXPECT_TRUE(task.IsStopped());
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(tickedAfterStop);
}

TEST(KPeriodicTask, StopWakesATaskWithALongPeriodAtOnce) {
    for (bool running : {false, true}) {
        CountingTask task;
        ASSERT_TRUE(task.Start(600000));
        if (running) task.Resume();
        std::this_thread::sleep_for(5ms);  // let the thread start waiting
        const auto start = std::chrono::steady_clock::now();
        task.Stop();
        // Far below the ten-minute period: Stop did not wait for the period to pass.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
        EXPECT_EQ(task.Ticks(), 0);
    }
}

TEST(KPeriodicTask, EveryPriorityRunsRealWorkOnTheDefaultStack) {
    for (int priority = -4; priority <= 4; ++priority) {
        CountingTask task;
        task.onTick = [] {
            volatile char scratch[128 * 1024];  // far more than the stack size every user asks for
            std::memset(const_cast<char*>(scratch), 1, sizeof scratch);
            char text[64];
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            localtime_r(&now, &local);
            std::strftime(text, sizeof text, "%x %X", &local);
        };
        ASSERT_TRUE(task.Start(1, priority, KPeriodicTask::kDefaultStackSize)) << priority;
        task.Resume();
        EXPECT_TRUE(task.WaitForTicks(2)) << priority;
    }
}

TEST(KPeriodicTask, TickMayStopItsOwnTask) {
    CountingTask task;
    task.onTick = [&] { task.Stop(); };
    ASSERT_TRUE(task.Start(1));
    task.Resume();
    EXPECT_TRUE(task.WaitForTicks(1));
    EXPECT_TRUE(task.IsStopped());
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(task.Ticks(), 1);
    task.onTick = nullptr;  // the old thread has ended or ends without another tick
    ASSERT_TRUE(task.Start(1));
    task.Resume();
    EXPECT_TRUE(task.WaitForTicks(3));
}

TEST(KTickCount, CountsMillisecondsForward) {
    const uint32_t first = KGetTickCount();
    std::this_thread::sleep_for(15ms);
    const uint32_t elapsed = KGetTickCount() - first;  // unsigned difference survives a wrap
    EXPECT_GE(elapsed, 15u);
    EXPECT_LT(elapsed, 60000u);
}
