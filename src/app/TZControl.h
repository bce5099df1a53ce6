#pragma once

// The main window. Closing it ends the main loop. It receives the idle event
// 10022 on every idle pass of the loop and then does the idle work it was
// given (polling the sources; later also attaching the event to the
// scoreboards).

#include <QMainWindow>
#include <functional>

class TZControl : public QMainWindow {
public:
    /// Event code of the idle heartbeat sent on every idle pass.
    static constexpr int kIdleEvent = 10022;

    /// `closed` is called once the window has accepted a close.
    explicit TZControl(std::function<void()> closed);

    /// "Kestrun  v" and the version text.
    static QString Title();
    long long IdleEventsReceived() const { return m_idleEvents; }
    /// Done on every idle event.
    void SetIdleWork(std::function<void()> work) { m_idleWork = std::move(work); }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> m_closed;
    std::function<void()> m_idleWork;
    long long m_idleEvents = 0;
};
