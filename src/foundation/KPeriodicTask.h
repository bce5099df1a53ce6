#pragma once

// A worker thread that calls its owner's Tick on a steady beat until stopped.

#include <pthread.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

/// States: stopped --Start--> paused --Resume--> running --Pause--> paused; any
/// state but stopped --Stop--> stopped; a stopped task may be started again.
///
/// The thread waits `period` ms, then calls Tick when running; each wait starts
/// after the previous tick ended (no drift correction). Pause and Resume take
/// effect at the next wake-up; Stop wakes the thread at once and returns only
/// after it has ended, so no Tick runs after Stop returns.
///
/// Start, Pause, Resume and Stop are called by the controlling threads. A Tick may
/// Stop its own task; the thread then ends without being waited for, so the owner
/// must not be destroyed before that Tick returns. Tick runs on the task's thread:
/// whatever it shares with other threads the owner must lock.
///
/// Owners call Stop() in their own destructor. The base destructor stops the task
/// too, but by then a derived object's members are gone while a Tick may still be
/// running.
class KPeriodicTask {
public:
    /// The stack every user asks for.
    static constexpr size_t kDefaultStackSize = 32768;

    KPeriodicTask() = default;
    virtual ~KPeriodicTask();

    KPeriodicTask(const KPeriodicTask&) = delete;
    KPeriodicTask& operator=(const KPeriodicTask&) = delete;

    /// From stopped only: starts the thread paused (no Tick before Resume). True when
    /// the task is not stopped afterwards; on a started task it changes nothing and
    /// returns true. `period` in ms (at least 1 is used). `priority`: below -2 idle,
    /// -2 lowest, -1 below normal, 0 normal, 1 above normal, 2 highest, above 2 time
    /// critical, applied as the thread's nice value where the system allows it (a
    /// refusal is ignored). `stackSize` is a minimum: the thread gets at least
    /// kMinimumStackSize, because a thread's stack cannot grow past its size here
    /// and 32 KB is less than a locale-aware strftime or a sanitizer build needs.
    bool Start(int period, int priority = 0, size_t stackSize = kDefaultStackSize);
    /// Paused to running; no effect in other states.
    void Resume();
    /// Running to paused; no effect in other states. A Tick in progress completes.
    void Pause();
    /// From any state but stopped: wakes the thread, waits for a Tick in progress and
    /// for the thread to end.
    void Stop();

    bool IsStopped() const;
    bool IsRunning() const;
    bool IsPaused() const;
    /// -1 while stopped.
    int Period() const;

    static constexpr size_t kMinimumStackSize = 1024 * 1024;

protected:
    /// Called on the task's thread; `now` is KGetTickCount() at the call.
    virtual void Tick(uint32_t now) = 0;

private:
    enum class State { Stopped, Running, Paused };

    struct ThreadStart;
    static void* ThreadMain(void* argument);
    void Run(int niceValue, uint64_t generation);

    // Serialises Start and Stop, so that one thread joins the worker and a restart
    // never overlaps the end of the previous thread.
    std::mutex m_controlMutex;
    // Guards m_state, m_period and m_generation; the worker reads them once per wake-up.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    State m_state = State::Stopped;
    int m_period = -1;
    // Start and Stop count it up; a thread ends once it differs from the value it started with.
    uint64_t m_generation = 0;
    pthread_t m_thread{};
};
