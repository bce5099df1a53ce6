#include "app/TZControl.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include "app/TZApplication.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventRecord.h"
#include "scoring/ResultFields.h"
#include "settings/KRegistry.h"
#include "sources/TSources.h"
#include "ui/VZEventMDI.h"
#include "ui/VZMenuText.h"
#include "ui/VZScoreboardCommands.h"
#include "ui/VZText.h"

namespace {

QKeySequence KeyOf(const VZMenuText& text) {
    Qt::KeyboardModifiers modifiers;
    if (text.shift) modifiers |= Qt::ShiftModifier;
    if (text.ctrl) modifiers |= Qt::ControlModifier;
    if (text.alt) modifiers |= Qt::AltModifier;
    const Qt::Key key = text.functionKey > 0 ? static_cast<Qt::Key>(Qt::Key_F1 + text.functionKey - 1)
                                             : static_cast<Qt::Key>(QChar(text.key).toUpper().unicode());
    return QKeySequence(QKeyCombination(modifiers, key));
}

// The menu's view of the application's scoreboard manager.
class ManagerCommands : public VZScoreboardCommands {
public:
    explicit ManagerCommands(VScoreboards& manager) : m_manager(manager) {}
    bool ShowsTimeOfDay() const override { return m_manager.ShowTimeOfDay(); }
    void SetShowTimeOfDay(bool on) override { m_manager.SetShowTimeOfDay(on); }
    bool Uses24Hour() const override { return m_manager.Use24Hour(); }
    void SetUse24Hour(bool on) override { m_manager.SetUse24Hour(on); }
    void SendMessage() override { m_manager.SendMessage(); }
    // Asked on every idle pass: remembered, so the manager's lock is taken once.
    bool HasEvent() const override { return m_attached; }
    void AttachEvent(EventRecord& event) override {
        m_manager.AttachEvent(&event);
        m_attached = true;
    }

private:
    VScoreboards& m_manager;
    bool m_attached = false;
};

}  // namespace

TZControlSetup TZControlSetup::FromApplication() {
    TZControlSetup setup;
    TZApplication* app = TZApplication::Instance();
    if (app == nullptr) return setup;
    setup.settings = app->Settings();
    setup.log = app->Log();
    setup.event = app->Sources() != nullptr ? &app->Sources()->Event() : nullptr;
    setup.nonScoring = app->NonScoring();
    setup.activityLog = [app] { return app->IsActivityLogEnabled(); };
    setup.setActivityLog = [app](bool on) { app->SetActivityLogEnabled(on); };
    setup.dataDisplay = [app] { return app->DataDisplayEnabled(); };
    setup.setDataDisplay = [app](bool on) { app->SetDataDisplayEnabled(on); };
    return setup;
}

TZControl::TZControl(std::function<void()> closed)
    : TZControl(TZControlSetup::FromApplication(), std::move(closed)) {
    TZApplication* app = TZApplication::Instance();
    if (app != nullptr && app->Scoreboards() != nullptr) {
        m_ownScoreboards = std::make_unique<ManagerCommands>(*app->Scoreboards());
        SetScoreboards(m_ownScoreboards.get());
    }
}

TZControl::TZControl(TZControlSetup setup, std::function<void()> closed)
    : m_setup(std::move(setup)), m_closed(std::move(closed)) {
    if (m_setup.settings == nullptr) {
        m_ownSettings = std::make_unique<KRegistry>();
        m_setup.settings = m_ownSettings.get();
    }
    if (m_setup.scoring == nullptr && m_setup.nonScoring != nullptr) {
        m_ownScoring = std::make_unique<TeamScoring>(*m_setup.settings, *m_setup.nonScoring);
        m_ownScoring->SetActivityLog(m_setup.log, m_setup.activityLog);
        m_setup.scoring = m_ownScoring.get();
    }
    setWindowTitle(Title());
    setWindowIcon(QIcon(QStringLiteral(":/images/Kestrun")));

    move(10, 10);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize available = screen != nullptr ? screen->availableGeometry().size() : QSize(800, 600);
    resize(std::max(600, available.width() * 3 / 4), std::max(320, available.height() * 3 / 5));
    if (!RestoreGeometry()) setWindowState(windowState() | Qt::WindowMaximized);

    BuildMenus();
    BuildToolBar();
    BuildStatusArea();
    if (m_setup.event != nullptr) {
        m_eventWindow = new VZEventMDI(*m_setup.settings, m_setup.log, this);
        connect(m_eventWindow, &VZEventMDI::BannerChanged, m_banner, &QLabel::setText);
        m_eventWindow->Attach(m_setup.event);
        m_banner->setText(m_eventWindow->Banner());
        setCentralWidget(m_eventWindow);
    } else {
        setCentralWidget(new QWidget(this));
    }
}

TZControl::~TZControl() {
    SaveGeometry();
    // The event window lets go of the event before the sources that own it do.
    delete m_eventWindow;
}

QString TZControl::Title() { return QStringLiteral("Kestrun  v") + QStringLiteral(KESTRUN_VERSION_TEXT); }

KString TZControl::Text(KStringView path) const { return m_setup.settings->GetText(path); }

bool TZControl::RestoreGeometry(KStringView group) {
    int32_t values[5];
    constexpr KStringView kKeys[5] = {u"Left", u"Top", u"Width", u"Height", u"Maximized"};
    for (int i = 0; i < 5; ++i) {
        const KRInt* key = m_setup.settings->FindInt(KString(group) + KString(kKeys[i]));
        if (key == nullptr) return false;
        values[i] = key->Value();
    }
    if (values[2] < 0 || values[3] < 0) return false;
    move(values[0], values[1]);
    resize(values[2], values[3]);
    setWindowState(values[4] != 0 ? (windowState() | Qt::WindowMaximized)
                                  : (windowState() & ~Qt::WindowMaximized));
    return true;
}

bool TZControl::SaveGeometry(KStringView group) {
    KRInt* keys[5];
    constexpr KStringView kKeys[5] = {u"Left", u"Top", u"Width", u"Height", u"Maximized"};
    for (int i = 0; i < 5; ++i) {
        keys[i] = m_setup.settings->FindInt(KString(group) + KString(kKeys[i]));
        if (keys[i] == nullptr) return false;
    }
    if (!isMaximized() && width() >= 0 && height() >= 0) {
        keys[0]->SetValue(x());
        keys[1]->SetValue(y());
        keys[2]->SetValue(width());
        keys[3]->SetValue(height());
    }
    keys[4]->SetValue(isMaximized() ? 1 : 0);
    return true;
}

void TZControl::BuildMenus() {
    VZModifierNames names{Text(u"Strings\\Menu\\Shift"), Text(u"Strings\\Menu\\Ctrl"),
                          Text(u"Strings\\Menu\\Alt"), Text(u"Strings\\Menu\\Func")};
    for (const VZMenuSpec& spec : MenuBarSpec()) {
        QMenu* menu = menuBar()->addMenu(
            VZQString(VZMenuText::Parse(Text(MenuTextPath(spec.key, u"Title"))).MarkedLabel()));
        connect(menu, &QMenu::aboutToShow, this, &TZControl::UpdateMenuItems);
        for (const VZMenuItemSpec& item : spec.items) {
            if (item.key.empty()) {
                menu->addSeparator();
                continue;
            }
            const VZMenuText text = VZMenuText::Parse(Text(MenuTextPath(spec.key, item.key)));
            QString shown = VZQString(text.MarkedLabel());
            if (text.HasAccelerator()) shown += QLatin1Char('\t') + VZQString(text.AcceleratorText(names));
            QAction* action = menu->addAction(shown);
            action->setCheckable(item.checkable);
            action->setEnabled(false);
            const VZCommand command = item.command;
            connect(action, &QAction::triggered, this, [this, command] { Command(command); });
            m_actions[command] = action;
            // The key works whether or not a menu was opened; the item's state is decided when
            // it is pressed.
            if (text.HasAccelerator()) {
                auto* shortcut = new QShortcut(KeyOf(text), this);
                connect(shortcut, &QShortcut::activated, this, [this, command] { Command(command); });
            }
        }
    }
}

void TZControl::BuildToolBar() {
    QToolBar* bar = addToolBar(QString());
    bar->setMovable(false);
    bar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBarActions[0] = bar->addAction(QIcon(QStringLiteral(":/images/FinalizeData")), QString());
    m_toolBarActions[0]->setStatusTip(VZQString(Text(u"Strings\\Hardware\\FlyOver\\FinalizeData")));
    connect(m_toolBarActions[0], &QAction::triggered, this, [this] { Command(VZCommand::FinalizeData); });
    m_toolBarActions[1] = bar->addAction(QString());
    connect(m_toolBarActions[1], &QAction::triggered, this, [this] { Command(m_toggleCommand); });
    UpdateToolBar();
}

void TZControl::UpdateToolBar() {
    const bool on = m_setup.dataDisplay && m_setup.dataDisplay();
    const VZCommand command = on ? VZCommand::DisableDisplay : VZCommand::EnableDisplay;
    if (command == m_toggleCommand) return;
    m_toggleCommand = command;
    QAction* toggle = m_toolBarActions[1];
    toggle->setIcon(
        QIcon(on ? QStringLiteral(":/images/DataDisplayOn") : QStringLiteral(":/images/DataDisplayOff")));
    const QString flyOver = VZQString(
        Text(on ? u"Strings\\Hardware\\FlyOver\\DisableData" : u"Strings\\Hardware\\FlyOver\\EnableData"));
    toggle->setStatusTip(flyOver);
    toggle->setToolTip(flyOver);
}

void TZControl::BuildStatusArea() {
    m_calculation = new QLabel(this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setMaximumWidth(160);
    m_progress->hide();
    m_banner = new QLabel(this);
    statusBar()->addPermanentWidget(m_calculation);
    statusBar()->addPermanentWidget(m_progress);
    statusBar()->addPermanentWidget(m_banner);
}

QString TZControl::StatusMessage() const { return statusBar()->currentMessage(); }
QString TZControl::BannerText() const { return m_banner->text(); }
QString TZControl::CalculationText() const { return m_calculation->text(); }

QAction* TZControl::Action(VZCommand command) const {
    const auto found = m_actions.find(command);
    return found != m_actions.end() ? found->second : nullptr;
}

VZMenuState TZControl::MenuState() const {
    VZMenuState state;
    state.event = m_setup.event != nullptr;
    state.eventWindow = m_eventWindow != nullptr;
    state.scoreboards = m_scoreboards != nullptr;
    state.messageDialog = m_scoreboards != nullptr && m_scoreboards->CanEditMessage();
    state.optionsDialog = static_cast<bool>(m_optionsDialog);
    state.activityLog = m_setup.activityLog && m_setup.activityLog();
    state.dataDisplay = m_setup.dataDisplay && m_setup.dataDisplay();
    state.timeOfDay = m_scoreboards != nullptr && m_scoreboards->ShowsTimeOfDay();
    state.use24Hour = m_scoreboards != nullptr && m_scoreboards->Uses24Hour();
    return state;
}

void TZControl::UpdateMenuItems() {
    const VZMenuState state = MenuState();
    for (const auto& [command, action] : m_actions) {
        const VZItemState item = MenuItemState(command, state);
        action->setEnabled(item.enabled);
        if (action->isCheckable()) action->setChecked(item.checked);
    }
}

void TZControl::Command(VZCommand command) {
    const auto toggle = [](const std::function<bool()>& get, const std::function<void(bool)>& set) {
        if (get && set) set(!get());
    };
    switch (command) {
        case VZCommand::DisableDisplay:
        case VZCommand::EnableDisplay:
            if (m_setup.setDataDisplay) m_setup.setDataDisplay(command == VZCommand::EnableDisplay);
            UpdateToolBar();
            return;
        default:
            break;
    }
    if (!MenuItemState(command, MenuState()).enabled) return;
    switch (command) {
        case VZCommand::Exit:
            close();
            break;
        case VZCommand::About:
            About();
            break;
        case VZCommand::FileOptions:
        case VZCommand::ScoreboardOptions:
        case VZCommand::ScoringOptions:
        case VZCommand::ResultsOptions:
            OpenOptions(command);
            break;
        case VZCommand::Clear: {
            EventRecord::ScopedLock lock(*m_setup.event);
            m_setup.event->Clear();
            break;
        }
        case VZCommand::ActivityLog:
            toggle(m_setup.activityLog, m_setup.setActivityLog);
            break;
        case VZCommand::UpdateDisplay:
            toggle(m_setup.dataDisplay, m_setup.setDataDisplay);
            UpdateToolBar();
            break;
        case VZCommand::FinalizeData:
            FinalizeData();
            break;
        case VZCommand::ApplyDefaultFields: {
            EventRecord::ScopedLock lock(*m_setup.event);
            ApplyDefaultFields(*m_setup.settings, *m_setup.event);
            break;
        }
        case VZCommand::ScoreboardInitialize:
        case VZCommand::ScoreboardRefresh:
            // The application handles these, whichever window asks.
            QCoreApplication::postEvent(QCoreApplication::instance(),
                                        new QEvent(static_cast<QEvent::Type>(command)));
            break;
        case VZCommand::TimeOfDay:
            m_scoreboards->SetShowTimeOfDay(!m_scoreboards->ShowsTimeOfDay());
            break;
        case VZCommand::TimeOfDay24Hour:
            m_scoreboards->SetUse24Hour(!m_scoreboards->Uses24Hour());
            break;
        case VZCommand::EditMessage:
            m_scoreboards->EditMessage();
            break;
        case VZCommand::SendMessage:
            m_scoreboards->SendMessage();
            break;
        default:
            break;
    }
}

bool TZControl::ControlShiftHeld() const {
    if (m_setup.controlShiftHeld) return m_setup.controlShiftHeld();
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    return held.testFlag(Qt::ControlModifier) && held.testFlag(Qt::ShiftModifier);
}

void TZControl::OpenOptions(VZCommand command) {
    if (m_settingsEditor && ControlShiftHeld()) {
        m_settingsEditor();
    } else {
        m_optionsDialog(OptionsPage(command));
    }
}

void TZControl::About() {
    const KString text = u"Kestrun\n" + Text(u"Strings\\About\\Version") + u" " +
                         FromUtf8(KESTRUN_VERSION_TEXT) + u"\n" + Text(u"Strings\\About\\Released") + u" " +
                         FromUtf8(KESTRUN_RELEASE_DATE);
    const KString title = Text(u"Strings\\About\\Title");
    // Through the application's alerts, whose modal loop keeps the sources read meanwhile.
    if (TZApplication* app = TZApplication::Instance()) {
        app->ShowMessage(title, text);
    } else {
        QMessageBox::about(this, VZQString(title), VZQString(text));
    }
}

void TZControl::FinalizeData() {
    if (m_setup.event == nullptr || m_setup.scoring == nullptr) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_setup.scoring->SetProgress(this);
    m_setup.scoring->CalculateStandings(*m_setup.event, true);
    m_setup.scoring->SetProgress(nullptr);
    {
        EventRecord::ScopedLock lock(*m_setup.event);
        if (!m_setup.event->Standings().IsOfficial()) m_setup.event->Standings().SetOfficial(true);
    }
    m_progress->hide();
    m_calculation->clear();
    if (m_eventWindow != nullptr) m_eventWindow->update();
    QApplication::restoreOverrideCursor();
}

void TZControl::SetStatusText(const KString& text) {
    m_calculation->setText(VZQString(text));
    m_calculation->repaint();
}

void TZControl::SetProgress(int percent) {
    m_progress->show();
    m_progress->setValue(percent);
    m_progress->repaint();
}

void TZControl::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

bool TZControl::event(QEvent* event) {
    if (event->type() != static_cast<QEvent::Type>(kIdleEvent)) return QMainWindow::event(event);
    ++m_idleEvents;
    if (m_idleWork) m_idleWork();
    // The event window redraws on change notices and has no idle work of its own.
    if (m_scoreboards != nullptr && m_setup.event != nullptr && !m_scoreboards->HasEvent()) {
        m_scoreboards->AttachEvent(*m_setup.event);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastToolBarSync >= kToolBarSync) {
        m_lastToolBarSync = now;
        UpdateToolBar();
    }
    return true;
}

void TZControl::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && m_closed) {
        m_closed();
    }
}
