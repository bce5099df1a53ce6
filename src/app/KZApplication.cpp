#include "app/KZApplication.h"

#include <QAbstractEventDispatcher>
#include <QWidget>
#include <csignal>
#include <thread>

std::atomic<bool> KZApplication::s_terminationRequested{false};

namespace {
extern "C" void OnTerminationSignal(int) { KZApplication::RequestTermination(); }
}  // namespace

KZApplication::KZApplication(int& argc, char** argv) : QApplication(argc, argv) {
    static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
    // Leaving is the main loop's business; a closed alert or splash must not end anything.
    setQuitOnLastWindowClosed(false);
}

KZApplication::~KZApplication() { s_terminationRequested = false; }

void KZApplication::InstallTerminationHandlers() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void KZApplication::EndMainLoop(int exitCode) {
    m_mainLoopEnded = true;
    m_exitCode = exitCode;
}

bool KZApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        UnhandledException();
    }
    return false;
}

bool KZApplication::Idle(int) { return false; }

bool KZApplication::ProcessPendingEvents() {
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher == nullptr) {
        return false;
    }
    // Without WaitForMoreEvents this returns at once; true when something was handled.
    return dispatcher->processEvents(QEventLoop::AllEvents);
}

int KZApplication::Control(QWidget* window, bool flush) {
    const QPointer<QWidget> served(window);
    for (;;) {
        if (s_terminationRequested.exchange(false)) {
            TerminationRequested();
            // A modal window being served closes too; the loops it was called from then see the
            // main loop ended.
            if (served != nullptr) {
                served->close();
            }
        }
        if (window != nullptr ? served == nullptr || !served->isVisible() : m_mainLoopEnded && !flush) {
            return window != nullptr ? 0 : m_exitCode;
        }
        if (ProcessPendingEvents()) {
            m_idleCount = 0;
            continue;
        }
        if (flush) {
            return 0;
        }
        if (m_idleCount >= 0) {
            if (!Idle(m_idleCount)) {
                m_idleCount = -1;
            } else if (m_idleCount < INT_MAX) {
                ++m_idleCount;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
