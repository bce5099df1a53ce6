#include "app/KZApplication.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <csignal>

std::atomic<bool> KZApplication::s_terminationRequested{false};

namespace {

// Written by the signal handler so that a Qt loop other than ours (a dialog's exec) wakes too.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    KZApplication::RequestTermination();
    if (gSignalPipe[1] >= 0) {
        const int saved = errno;
        (void)!::write(gSignalPipe[1], "x", 1);
        errno = saved;
    }
}

}  // namespace

KZApplication::KZApplication(int& argc, char** argv) : QApplication(argc, argv) {
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
    // Leaving is the main loop's business; a closed alert or splash must not end anything.
    setQuitOnLastWindowClosed(false);
    m_waitObjects = std::make_unique<QObject>();
    m_waitTimer = new QTimer(m_waitObjects.get());
    m_waitTimer->setSingleShot(true);
    if (gSignalPipe[0] >= 0) {
        auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
        QObject::connect(notifier, &QSocketNotifier::activated, this, [this] {
            char buffer[64];
            while (::read(gSignalPipe[0], buffer, sizeof buffer) > 0) {
            }
            if (s_terminationRequested.exchange(false)) {
                HandleTermination();
            }
        });
    }
}

void KZApplication::HandleTermination() {
    TerminationRequested();
    // Modal windows that run a loop of their own close too, so that loop returns to ours.
    for (QWidget* widget : topLevelWidgets()) {
        if (widget->isModal() && widget->isVisible()) {
            widget->close();
        }
    }
}

KZApplication::~KZApplication() {
    m_waitObjects.reset();
    s_terminationRequested = false;
}

void KZApplication::InstallTerminationHandlers() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (gSignalPipe[0] < 0 && ::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gSignalPipe[0] = gSignalPipe[1] = -1;  // the loop still sees the flag
    }
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void KZApplication::EndMainLoop(int exitCode) {
    m_mainLoopEnded = true;
    m_exitCode = exitCode;
}

bool KZApplication::notify(QObject* receiver, QEvent* event) {
    if (receiver != nullptr && m_waitObjects != nullptr && receiver->parent() == m_waitObjects.get()) {
        ++m_wakeUps;
    } else {
        ++m_programEvents;
    }
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        UnhandledException();
    }
    return false;
}

bool KZApplication::Idle(int) { return false; }

int KZApplication::PrepareWait(std::vector<int>&) { return kMaxWaitMs; }

bool KZApplication::ProcessPendingEvents(bool wait) {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr) {
        return false;
    }
    const unsigned long long programEvents = m_programEvents;
    const unsigned long long wakeUps = m_wakeUps;
    // Without WaitForMoreEvents this returns at once; true when something was handled.
    const bool handled = dispatcher->processEvents(
        wait ? QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
    return handled && (m_programEvents != programEvents || m_wakeUps == wakeUps);
}

void KZApplication::WatchDescriptors(const std::vector<int>& descriptors) {
    for (auto it = m_notifiers.begin(); it != m_notifiers.end();) {
        if (std::find(descriptors.begin(), descriptors.end(), it->first) == descriptors.end()) {
            // A notifier may be the one whose activation is being handled further up the stack.
            it->second->setEnabled(false);
            it->second->deleteLater();
            it = m_notifiers.erase(it);
        } else {
            it->second->setEnabled(true);
            ++it;
        }
    }
    for (const int fd : descriptors) {
        if (fd < 0 || m_notifiers.count(fd) != 0) continue;
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, m_waitObjects.get());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this, notifier] {
            // Level-triggered: left on, it would fire again until the idle pass has read.
            notifier->setEnabled(false);
            m_woken.push_back(static_cast<int>(notifier->socket()));
        });
        m_notifiers.emplace(fd, notifier);
    }
}

bool KZApplication::Wait() {
    std::vector<int> descriptors;
    const int timeout = std::min(PrepareWait(descriptors), kMaxWaitMs);
    m_woken.clear();
    if (timeout <= 0) {
        return ProcessPendingEvents(false);
    }
    WatchDescriptors(descriptors);
    m_waitTimer->start(timeout);
    const bool handled = ProcessPendingEvents(true);
    m_waitTimer->stop();
    for (const auto& [fd, notifier] : m_notifiers) notifier->setEnabled(false);
    return handled;
}

int KZApplication::Control(QWidget* window, bool flush) {
    const QPointer<QWidget> served(window);
    // Loops served from inside this one leave deferred deletions to the outermost, since code
    // that asked for them further up the stack may still use those objects.
    ++m_controlDepth;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } depthGuard{m_controlDepth};
    bool waitNext = false;  // after an idle pass the loop waits rather than spins
    for (;;) {
        if (s_terminationRequested.exchange(false)) {
            HandleTermination();
            // A modal window being served closes too; the loops it was called from then see the
            // main loop ended.
            if (served != nullptr) {
                served->close();
            }
        }
        if (window != nullptr ? served == nullptr || !served->isVisible() : m_mainLoopEnded && !flush) {
            return window != nullptr ? 0 : m_exitCode;
        }
        const bool handled = waitNext ? Wait() : ProcessPendingEvents(false);
        waitNext = false;
        if (handled) {
            m_idleCount = 0;
            continue;
        }
        if (m_controlDepth == 1) {
            // Qt deletes these only when a QEventLoop of its own returns; ours is not one.
            sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        if (flush) {
            return 0;
        }
        if (m_idleCount >= 0) {
            bool again = true;
            try {
                again = Idle(m_idleCount);
            } catch (...) {
                // Idle work is part of the loop: it fails the same way one event does.
                UnhandledException();
            }
            if (!again) {
                m_idleCount = -1;
            } else if (m_idleCount < INT_MAX) {
                ++m_idleCount;
            }
        }
        waitNext = true;
    }
}
