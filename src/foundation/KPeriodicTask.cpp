#include "foundation/KPeriodicTask.h"

#include <limits.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "foundation/KTickCount.h"

namespace {

int NiceValueFor(int priority) {
    if (priority < -2) return 19;  // idle
    switch (priority) {
        case -2:
            return 10;  // lowest
        case -1:
            return 5;  // below normal
        case 0:
            return 0;  // normal
        case 1:
            return -5;  // above normal
        case 2:
            return -10;  // highest
        default:
            return -15;  // time critical
    }
}

// The task whose thread this is, so that a Tick that stops its own task is recognised.
thread_local const KPeriodicTask* t_currentTask = nullptr;

}  // namespace

struct KPeriodicTask::ThreadStart {
    KPeriodicTask* task;
    uint64_t generation;
    int niceValue;
};

KPeriodicTask::~KPeriodicTask() { Stop(); }

bool KPeriodicTask::Start(int period, int priority, size_t stackSize) {
    std::lock_guard control(m_controlMutex);
    auto* start = new ThreadStart{this, 0, NiceValueFor(priority)};
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Stopped) {
            delete start;
            return true;
        }
        m_state = State::Paused;
        m_period = std::max(period, 1);
        start->generation = ++m_generation;
    }

    pthread_attr_t attributes;
    bool started = pthread_attr_init(&attributes) == 0;
    if (started) {
        size_t size = std::max(stackSize, kMinimumStackSize);
        if (pthread_attr_setstacksize(&attributes, size) == EINVAL)
            (void)pthread_attr_setstacksize(&attributes, std::max<size_t>(size, PTHREAD_STACK_MIN));
        started = pthread_create(&m_thread, &attributes, &KPeriodicTask::ThreadMain, start) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        delete start;
        std::lock_guard lock(m_mutex);
        m_state = State::Stopped;
        m_period = -1;
        return false;
    }
    return true;
}

void* KPeriodicTask::ThreadMain(void* argument) {
    const ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    t_currentTask = start.task;
    start.task->Run(start.niceValue, start.generation);
    return nullptr;
}

void KPeriodicTask::Run(int niceValue, uint64_t generation) {
    // Linux applies a nice value to one thread when given its id; without the right
    // to raise priority the call fails and the thread runs at normal priority.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), niceValue);
    std::unique_lock lock(m_mutex);
    while (true) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_period);
        const auto stopped = [this, generation] { return m_generation != generation; };
        m_wake.wait_until(lock, deadline, stopped);
        if (stopped()) return;
        if (m_state == State::Running) {
            lock.unlock();
            Tick(KGetTickCount());
            lock.lock();
        }
    }
}

void KPeriodicTask::Resume() {
    std::lock_guard lock(m_mutex);
    if (m_state == State::Paused) m_state = State::Running;
}

void KPeriodicTask::Pause() {
    std::lock_guard lock(m_mutex);
    if (m_state == State::Running) m_state = State::Paused;
}

void KPeriodicTask::Stop() {
    // A Tick that stops its own task cannot wait for its own thread: the thread
    // ends by itself after that Tick returns.
    // (A controller may be joining this thread already; then there is nothing to do.)
    if (t_currentTask == this) {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Stopped) {
            m_state = State::Stopped;
            ++m_generation;
            m_period = -1;
            pthread_detach(pthread_self());
        }
        return;
    }
    std::lock_guard control(m_controlMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::Stopped) return;
        m_state = State::Stopped;
        ++m_generation;
    }
    m_wake.notify_all();
    pthread_join(m_thread, nullptr);
    std::lock_guard lock(m_mutex);
    m_period = -1;
}

bool KPeriodicTask::IsStopped() const {
    std::lock_guard lock(m_mutex);
    return m_state == State::Stopped;
}

bool KPeriodicTask::IsRunning() const {
    std::lock_guard lock(m_mutex);
    return m_state == State::Running;
}

bool KPeriodicTask::IsPaused() const {
    std::lock_guard lock(m_mutex);
    return m_state == State::Paused;
}

int KPeriodicTask::Period() const {
    std::lock_guard lock(m_mutex);
    return m_period;
}
