#pragma once

// The program's Qt application: its own main loop (pending events first; when
// none waits, the idle hook, then a wait until an event arrives, a watched
// descriptor becomes readable or the idle work's next duty is due), an
// exception barrier around every event, and the orderly end that SIGTERM and
// SIGINT request.

#include <QApplication>
#include <QPointer>
#include <atomic>
#include <climits>
#include <map>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

class KZApplication : public QApplication {
public:
    KZApplication(int& argc, char** argv);
    ~KZApplication() override;

    /// The loop. With `window`, serves that (modal) window and ends when it is hidden or destroyed;
    /// without, ends when `EndMainLoop` is called. With `flush`, ends as soon as no event waits.
    /// Returns the exit code given to `EndMainLoop` (0 for a served window or a flush).
    int Control(QWidget* window = nullptr, bool flush = false);
    /// Ends the main loop (closing the main window calls this).
    void EndMainLoop(int exitCode = 0);
    bool MainLoopEnded() const { return m_mainLoopEnded; }
    /// The idle counter: 0 after an event, -1 while the idle hook asked for no more calls.
    int IdleCount() const { return m_idleCount; }

    /// Makes SIGTERM and SIGINT end the main loop as closing the main window does, closing any
    /// modal window first. The handler only sets a flag, which our loop reads each pass, and
    /// writes to a pipe that wakes any other Qt loop. Call before building the application.
    static void InstallTerminationHandlers();
    /// What the handlers do; tests call it directly.
    static void RequestTermination() { s_terminationRequested = true; }

    bool notify(QObject* receiver, QEvent* event) override;

    /// The longest the loop waits after an idle pass, in ms: the idle work's timed duties
    /// (redialling, accepting a connect) come at least this often.
    static constexpr int kMaxWaitMs = 20;

protected:
    /// Called before each wait after an idle pass: fills `descriptors` with those whose
    /// readability ends the wait and returns the longest wait in ms (0: do not wait;
    /// above kMaxWaitMs counts as kMaxWaitMs). The default watches nothing.
    virtual int PrepareWait(std::vector<int>& descriptors);
    /// The watched descriptors that ended or shortened the last wait.
    const std::vector<int>& WokenDescriptors() const { return m_woken; }

    /// Called when no event waits, with the idle counter; false stops the calls until the next event.
    virtual bool Idle(int count);
    /// An exception escaped from handling one event; the loop goes on.
    virtual void UnhandledException() {}
    /// SIGTERM or SIGINT arrived. The default ends the main loop.
    virtual void TerminationRequested() { EndMainLoop(0); }

private:
    /// True when an event of the program was handled; the loop's own wake-ups do not count.
    bool ProcessPendingEvents(bool wait);
    bool Wait();
    void WatchDescriptors(const std::vector<int>& descriptors);
    void HandleTermination();

    int m_idleCount = 0;
    int m_controlDepth = 0;
    bool m_mainLoopEnded = false;
    int m_exitCode = 0;
    // The loop's own objects: the wait's timer and a read notifier per watched descriptor.
    // Events sent to them are wake-ups, not events of the program.
    std::unique_ptr<QObject> m_waitObjects;
    QTimer* m_waitTimer = nullptr;
    std::map<int, QSocketNotifier*> m_notifiers;
    std::vector<int> m_woken;
    unsigned long long m_programEvents = 0;
    unsigned long long m_wakeUps = 0;
    static std::atomic<bool> s_terminationRequested;
};
