#include "app/TZControl.h"

#include <QCloseEvent>

TZControl::TZControl(std::function<void()> closed) : m_closed(std::move(closed)) {
    setWindowTitle(Title());
    setWindowIcon(QIcon(QStringLiteral(":/images/Kestrun")));
    resize(800, 600);
}

QString TZControl::Title() { return QStringLiteral("Kestrun  v") + QStringLiteral(KESTRUN_VERSION_TEXT); }

bool TZControl::event(QEvent* event) {
    if (event->type() == static_cast<QEvent::Type>(kIdleEvent)) {
        ++m_idleEvents;
        if (m_idleWork) m_idleWork();
        return true;
    }
    return QMainWindow::event(event);
}

void TZControl::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && m_closed) {
        m_closed();
    }
}
