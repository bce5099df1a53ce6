#pragma once

// The program's Qt application: its own main loop without timers (pending
// events first; when none waits, the idle hook, then a 1 ms sleep), an
// exception barrier around every event, and the orderly end that SIGTERM and
// SIGINT request.

#include <QApplication>
#include <QPointer>
#include <atomic>
#include <climits>

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

protected:
    /// Called when no event waits, with the idle counter; false stops the calls until the next event.
    virtual bool Idle(int count);
    /// An exception escaped from handling one event; the loop goes on.
    virtual void UnhandledException() {}
    /// SIGTERM or SIGINT arrived. The default ends the main loop.
    virtual void TerminationRequested() { EndMainLoop(0); }

private:
    bool ProcessPendingEvents();
    void HandleTermination();

    int m_idleCount = 0;
    int m_controlDepth = 0;
    bool m_mainLoopEnded = false;
    int m_exitCode = 0;
    static std::atomic<bool> s_terminationRequested;
};
