#pragma once

// The main window. Closing it ends the main loop. It receives the idle event
// 10022 on every idle pass of the loop; later it relays it to the sources and
// the scoreboards.

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

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> m_closed;
    long long m_idleEvents = 0;
};
