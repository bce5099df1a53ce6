#pragma once

// The application object: owns the program's long-lived objects, creates them
// in the start-up order and destroys them in the shutdown order, runs the main
// loop, and is the one place that turns a numbered error into an alert.
//
// Parts of the program that land later are called at their place in the order
// as hooks (protected virtual members, empty here). Every step and hook appends
// its name to Trace(), so the order is visible to a test.

#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/KZApplication.h"
#include "app/TCommandLine.h"
#include "app/TIpcService.h"
#include "app/TZControl.h"
#include "foundation/KAlerts.h"
#include "foundation/KString.h"
#include "foundation/KTextFile.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPortList.h"
#include "ports/KStreamFactory.h"
#include "sources/TStoreSchedule.h"

class KLog;
class KRegistry;
class KZSplash;
class TInstanceCounter;
class TZAlerts;
class NonScoringAffiliations;
class TeamScoring;
class TSources;
class TZIpcServer;
class VScoreboards;

/// Where the program finds and keeps its files, and how it talks to the
/// operator. main() fills it from the running system; tests fill it with
/// temporary folders and a scripted KAlerts.
struct TZApplicationSetup {
    /// The program file; its folder holds the splash, resource and language
    /// files, named after it.
    std::filesystem::path programFile;
    /// The user's documents folder; the settings file and the log live in
    /// Velmar/Kestrun below it.
    std::filesystem::path documentsFolder;
    /// Per-user runtime folder for the instance lock and the local service
    /// socket.
    std::filesystem::path runtimeFolder;
    /// Null: Qt message boxes.
    KAlerts* alerts = nullptr;
    /// Try to raise the process priority at start; off in tests.
    bool setPriorities = false;
    /// Are Control and Shift held now? Null: ask Qt.
    std::function<bool()> controlShiftHeld;
    /// The locale name the system reports (first start's language choice). Empty:
    /// ask Qt.
    KString systemLocale;
};

class TZApplication : public KZApplication {
public:
    /// Application-level events posted by other threads.
    static constexpr int kInitializeScoreboardsEvent = 10163;
    static constexpr int kRefreshScoreboardsEvent = 10164;

    /// Builds the Qt application and counts this copy (the instance count).
    TZApplication(int& argc, char** argv, TCommandLine commandLine, TZApplicationSetup setup);
    ~TZApplication() override;

    /// The one application object, or null.
    static TZApplication* Instance() { return s_instance; }

    /// Start-up, main loop, shutdown. 0 after a normal end or a declined second
    /// copy; -1 when the resource file cannot be loaded.
    int Run();

    void ReportError(int code, int subcode = -1);
    void ShowError(const KString& text);
    void ShowError(const KString& title, const KString& text);
    void ShowMessage(const KString& text);
    void ShowMessage(const KString& title, const KString& text);
    bool Confirm(const KString& title, const KString& text, KAlertButtons buttons, KAlertButton defaultButton,
                 KAlertSymbol symbol);

    /// Writes an M line when the log exists (callers check IsActivityLogEnabled
    /// for activity lines).
    void LogMain(KStringView text);
    bool IsActivityLogEnabled() const { return m_activityLogEnabled; }
    /// Sets the flag and stores it in General\ActivityLog.
    void SetActivityLogEnabled(bool enabled);
    bool DataDisplayEnabled() const { return m_dataDisplay; }
    void SetDataDisplayEnabled(bool enabled) { m_dataDisplay = enabled; }

    int InstanceCount() const;
    const TCommandLine& CommandLine() const { return m_commandLine; }
    std::filesystem::path ProgramFolder() const { return m_setup.programFile.parent_path(); }
    const std::filesystem::path& DocumentsFolder() const { return m_setup.documentsFolder; }
    /// DocumentsFolder()/Velmar/Kestrun: settings file, log, event file.
    std::filesystem::path DataFolder() const;

    KRegistry* Settings() const { return m_settings.get(); }
    KLog* Log() const { return m_log.get(); }
    /// The non-scoring affiliations that team scoring tests runners against.
    NonScoringAffiliations* NonScoring() const { return m_nonScoring.get(); }
    /// The COM ports found at start; empty with "-noserialport".
    const KSerialPortList& SerialPorts() const { return m_serialPorts; }
    /// Whether network ports can open, decided at start.
    const KNetwork& Network() const { return m_network; }
    /// The sources and the event they feed, from their start-up step to shutdown; else null.
    TSources* Sources() const { return m_sources.get(); }
    /// The scoreboard manager, from its start-up step (when Scoreboards\Boot is set and a
    /// scoreboard is configured) to shutdown; else null.
    VScoreboards* Scoreboards() const { return m_scoreboards.get(); }
    TZControl* MainWindow() const { return m_mainWindow; }
    KZSplash* Splash() const { return m_splash.get(); }
    TIpcService& IpcService() { return m_ipc; }
    bool IpcServing() const;
    bool SettingsFileLoaded() const { return m_settingsFileLoaded; }

    /// How many initialise (10163) and refresh (10164) requests reached the application.
    long long ScoreboardInitializeRequests() const { return m_scoreboardEvents[0]; }
    long long ScoreboardRefreshRequests() const { return m_scoreboardEvents[1]; }

    /// Names of the start-up and shutdown steps and hooks, in the order they ran.
    const std::vector<std::string>& Trace() const { return m_trace; }

protected:
    bool event(QEvent* event) override;
    bool Idle(int count) override;
    int PrepareWait(std::vector<int>& descriptors) override;
    void UnhandledException() override;
    void TerminationRequested() override;

    // Hooks of later parts, in start-up order (shutdown hooks run in reverse).
    virtual void StartupHook(const std::string& name);
    virtual void ShutdownHook(const std::string& name) { (void)name; }

private:
    void Step(const std::string& name) { m_trace.push_back(name); }
    void Hook(const std::string& name);
    void Unhook(const std::string& name);
    void SetPriorities();
    void StartIpcServer();
    void ShowSplash();
    void RemoveSplash();
    void CreateSettings();
    void LoadSettingsFile();
    void SaveSettingsFile();
    void RebuildLanguage();
    void LoadLanguageFile();
    void WriteLanguageFileNow();
    void CreateLog();
    bool ControlShiftHeld() const;
    void EndWithoutRunning();
    KString Text(KStringView path, KStringView fallback) const;
    void PollSources();
    void LoadEvent();
    /// At exit a failure is reported; while running it is logged once, and retried later.
    void StoreEvent(bool atExit);

    TCommandLine m_commandLine;
    TZApplicationSetup m_setup;
    std::unique_ptr<TInstanceCounter> m_instance;
    std::unique_ptr<TZAlerts> m_qtAlerts;
    KAlerts* m_alerts = nullptr;
    KString m_operationFailedText = u"Operation failed";
    KString m_errorTitle = u"Error";
    KString m_messageTitle = u"Message";
    TIpcService m_ipc;
    std::unique_ptr<TZIpcServer> m_ipcServer;
    std::unique_ptr<KZSplash> m_splash;
    long long m_splashDeadline = 0;  // steady-clock milliseconds
    std::unique_ptr<KRegistry> m_settings;
    bool m_settingsFileLoaded = false;
    KCharMode m_settingsCharMode = KCharMode::Detect;
    KCharMode m_languageCharMode = KCharMode::Detect;
    bool m_resourcesLoaded = false;
    QString m_resourceFile;
    std::unique_ptr<KLog> m_log;
    std::unique_ptr<NonScoringAffiliations> m_nonScoring;
    KSerialPortList m_serialPorts;
    KNetwork m_network;
    // After the port list and the network, which the prototypes' streams refer to.
    KStreamPrototypes m_sourcePrototypes;
    std::unique_ptr<TeamScoring> m_scoring;
    std::unique_ptr<TSources> m_sources;
    KStreamPrototypes m_scoreboardPrototypes;
    // After the sources, whose event it renders, and destroyed before them.
    std::unique_ptr<VScoreboards> m_scoreboards;
    TStoreSchedule m_storeSchedule;
    bool m_sourcesBehind = false;    // the last poll left characters for the next pass
    bool m_idleReadNothing = false;  // the last idle pass read no character
    bool m_storeFailureLogged = false;
    bool m_activityLogEnabled = false;
    bool m_dataDisplay = false;
    QPointer<TZControl> m_mainWindow;
    long long m_scoreboardEvents[2] = {0, 0};
    std::vector<std::string> m_trace;
    static TZApplication* s_instance;
};
