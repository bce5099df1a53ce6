#pragma once

// The main window: title, geometry kept in General\MainWindow\, the menu bar built from the
// Strings\MenuBar texts, the tool bar, the status area, and the event window inside. Closing it
// ends the main loop. It receives the idle event 10022 on every idle pass of the loop and then
// lets the sources read, and attaches the event to the scoreboards.

#include <QMainWindow>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "foundation/KString.h"
#include "scoring/TeamScoring.h"
#include "ui/VZMenuModel.h"

class EventRecord;
class KLog;
class KRegistry;
class NonScoringAffiliations;
class QLabel;
class QProgressBar;
class VZEventMDI;
class VZScoreboardCommands;

/// What the main window works with. FromApplication() takes it from the running application;
/// tests give their own.
struct TZControlSetup {
    KRegistry* settings = nullptr;
    KLog* log = nullptr;
    /// The sources' event; null without sources (no event window then).
    EventRecord* event = nullptr;
    /// Computes the final standings; null: one is made from `nonScoring` (none without it).
    TeamScoring* scoring = nullptr;
    const NonScoringAffiliations* nonScoring = nullptr;
    std::function<bool()> activityLog;
    std::function<void(bool)> setActivityLog;
    std::function<bool()> dataDisplay;
    std::function<void(bool)> setDataDisplay;
    /// Are Control and Shift held now? Null: ask Qt.
    std::function<bool()> controlShiftHeld;

    static TZControlSetup FromApplication();
};

class TZControl : public QMainWindow, private TScoringProgress {
public:
    /// Event code of the idle heartbeat sent on every idle pass.
    static constexpr int kIdleEvent = 10022;
    /// The tool bar's toggle follows the data display flag at most this often.
    static constexpr std::chrono::milliseconds kToolBarSync{100};

    /// `closed` is called once the window has accepted a close. The application's objects are
    /// used, its scoreboard manager among them.
    explicit TZControl(std::function<void()> closed);
    TZControl(TZControlSetup setup, std::function<void()> closed);
    /// Stores the geometry.
    ~TZControl() override;

    /// "Kestrun  v" and the version text.
    static QString Title();
    long long IdleEventsReceived() const { return m_idleEvents; }
    /// Done first on every idle event (the application polls its sources here).
    void SetIdleWork(std::function<void()> work) { m_idleWork = std::move(work); }

    /// The scoreboard manager's commands while one exists; null: none (the default).
    void SetScoreboards(VZScoreboardCommands* scoreboards) { m_scoreboards = scoreboards; }
    /// Opens the Options dialog at a page (0 sources, 1 scoreboards, 2 scoring, 3 results).
    /// Until one is given, the Options items are disabled.
    void SetOptionsDialog(std::function<void(int page)> open) { m_optionsDialog = std::move(open); }
    /// Opens the settings editor; Control+Shift on an Options item opens it instead of the
    /// Options dialog once it is given.
    void SetSettingsEditor(std::function<void()> open) { m_settingsEditor = std::move(open); }

    /// Reads Left, Top, Width, Height and Maximized of `group`. False, changing nothing, when one
    /// is missing or the width or height is negative.
    bool RestoreGeometry(KStringView group = u"General\\MainWindow\\");
    /// Stores the place and size unless maximised (a maximised window keeps the last restored
    /// ones), then Maximized. False when a key is missing.
    bool SaveGeometry(KStringView group = u"General\\MainWindow\\");

    /// Does what choosing the item of `command` does, if its item is enabled now.
    void Command(VZCommand command);
    /// The state the menus' items are enabled and checked from.
    VZMenuState MenuState() const;
    /// The menu item of `command`; null for commands without one.
    QAction* Action(VZCommand command) const;
    /// Recomputes enabling and check marks, as opening a menu does.
    void UpdateMenuItems();

    VZEventMDI* EventWindow() const { return m_eventWindow; }
    /// The status area's text fields: fly-over and messages, the banner, the calculation's text.
    QString StatusMessage() const;
    QString BannerText() const;
    QString CalculationText() const;
    /// The tool bar's second button: 10154 while the data display is on, else 10155.
    VZCommand DataDisplayCommand() const { return m_toggleCommand; }
    QAction* ToolBarAction(int index) const { return m_toolBarActions[index]; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusArea();
    void UpdateToolBar();
    void FinalizeData();
    void OpenOptions(VZCommand command);
    void About();
    bool ControlShiftHeld() const;
    KString Text(KStringView path) const;

    // The progress of Finalize Data.
    void SetStatusText(const KString& text) override;
    void SetProgress(int percent) override;
    void SetBusy(bool busy) override;

    TZControlSetup m_setup;
    std::function<void()> m_closed;
    std::function<void()> m_idleWork;
    std::unique_ptr<KRegistry> m_ownSettings;  // when the setup gives none
    std::unique_ptr<TeamScoring> m_ownScoring;
    std::unique_ptr<VZScoreboardCommands> m_ownScoreboards;  // over the application's manager
    VZScoreboardCommands* m_scoreboards = nullptr;
    std::function<void(int)> m_optionsDialog;
    std::function<void()> m_settingsEditor;
    std::map<VZCommand, QAction*> m_actions;
    QAction* m_toolBarActions[2] = {nullptr, nullptr};
    VZCommand m_toggleCommand = VZCommand::None;
    std::chrono::steady_clock::time_point m_lastToolBarSync{};
    VZEventMDI* m_eventWindow = nullptr;
    QLabel* m_banner = nullptr;
    QLabel* m_calculation = nullptr;
    QProgressBar* m_progress = nullptr;
    long long m_idleEvents = 0;
};
