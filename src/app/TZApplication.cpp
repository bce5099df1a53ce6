#include "app/TZApplication.h"

#include "scoreboards/VScoreboardConfig.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventFile.h"
#include "scoring/EventRecord.h"
#include "scoring/NonScoringAffiliations.h"
#include "scoring/ResultFields.h"
#include "scoring/ScoringSettings.h"
#include "scoring/TeamScoring.h"
#include "sources/TSources.h"

#include <sys/resource.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLocale>
#include <QResource>
#include <chrono>
#include <thread>

#include "app/KZSplash.h"
#include "app/TInstanceCounter.h"
#include "app/TZAlerts.h"
#include "app/TZControl.h"
#include "app/TZIpcServer.h"
#include "foundation/KError.h"
#include "foundation/KLog.h"
#include "foundation/KTickCount.h"
#include "settings/KDefaultSettings.h"
#include "settings/KErrorText.h"
#include "settings/KLanguage.h"
#include "settings/KRegistry.h"
#include "settings/KSettingsFile.h"

TZApplication* TZApplication::s_instance = nullptr;

namespace {

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr long long kSplashMinimumMs = 1000;

// The start-up hooks of the subsystems, in their order; shutdown runs them
// backwards.
const char* const kSubsystemHooks[] = {
    "TimeFormatting", "WindUnits",         "ResultCodes",        "ResultsLogging",
    "LayoutNames",    "Sources",           "Scoreboards",        "NonScoringAffiliations",
    "DefaultFields",  "EventWindowLayout", "LayoutScaleAndGrid", "ToolBarImages",
};

}  // namespace

TZApplication::TZApplication(int& argc, char** argv, TCommandLine commandLine, TZApplicationSetup setup)
    : KZApplication(argc, argv), m_commandLine(std::move(commandLine)), m_setup(std::move(setup)) {
    s_instance = this;
    m_instance = std::make_unique<TInstanceCounter>(m_setup.runtimeFolder);
    if (m_setup.alerts != nullptr) {
        m_alerts = m_setup.alerts;
    } else {
        m_qtAlerts = std::make_unique<TZAlerts>();
        m_qtAlerts->SetTextLookup([this](KStringView path) { return Text(path, u""); });
        m_qtAlerts->SetModalLoop([this](QWidget* window) { Control(window); });
        m_alerts = m_qtAlerts.get();
    }
}

TZApplication::~TZApplication() {
    m_ipcServer.reset();
    m_mainWindow.clear();
    m_splash.reset();
    if (m_resourcesLoaded) {
        QResource::unregisterResource(m_resourceFile);
    }
    m_instance.reset();
    if (s_instance == this) {
        s_instance = nullptr;
    }
}

int TZApplication::InstanceCount() const { return m_instance->Count(); }

std::filesystem::path TZApplication::DataFolder() const { return SettingsFolder(m_setup.documentsFolder); }

bool TZApplication::IpcServing() const { return m_ipcServer != nullptr && m_ipcServer->IsListening(); }

KString TZApplication::Text(KStringView path, KStringView fallback) const {
    if (m_settings != nullptr) {
        KString text = m_settings->GetText(path);
        if (!text.empty()) {
            return text;
        }
    }
    return KString(fallback);
}

void TZApplication::Hook(const std::string& name) {
    Step("hook:" + name);
    StartupHook(name);
}

void TZApplication::StartupHook(const std::string& name) {
    // The subsystems built so far; the others land with their own hooks.
    if (name == "TimeFormatting") {
        SetTimeFormat(ReadTimeFormat(*m_settings));
    } else if (name == "ResultCodes") {
        SetResultCodeTexts(ReadResultCodeTexts(*m_settings));
    } else if (name == "DefaultFields") {
        // Default column widths are in pixels of the display's default font.
        EnsureDefaultFields(*m_settings, QFontMetrics(QGuiApplication::font()).averageCharWidth());
    } else if (name == "EnumerateSerialPorts") {
        m_serialPorts.Enumerate(*m_settings);
        // Which COM numbers work is what an operator checks first when a board stays dark.
        if (m_log != nullptr) m_log->LogMain(m_serialPorts.Describe());
    } else if (name == "StartSockets") {
        // Without a resolvable host name every network port fails to open; the program
        // still runs, on its serial ports.
        m_network.Start();
    } else if (name == "Sources") {
        TSources::StartSources(*m_settings, ProgramFolder(), m_settingsFileLoaded, m_sourcePrototypes,
                               m_serialPorts, m_network);
    } else if (name == "CreateSources") {
        m_sources = std::make_unique<TSources>(*m_settings, ProgramFolder(), m_sourcePrototypes);
        m_sources->SetActivityLog(m_log.get(), [this] { return m_activityLogEnabled; });
        m_sources->SetUpdateObserver([this] { m_storeSchedule.Updated(NowMs()); });
    } else if (name == "Scoreboards") {
        VScoreboardConfig::BuildScriptList(*m_settings, ProgramFolder());
        VScoreboardConfig::RegisterPrototypes(m_scoreboardPrototypes, *m_settings, m_serialPorts, m_network);
    } else if (name == "CreateScoreboards") {
        const KRBool* boot = m_settings->FindBool(u"\\Scoreboards\\Boot");
        if (boot != nullptr && boot->Value() && VScoreboardConfig::ScoreboardCount(*m_settings) > 0) {
            m_scoreboards =
                std::make_unique<VScoreboards>(*m_settings, ProgramFolder(), m_scoreboardPrototypes,
                                               VScoreboards::LocalTimeOfDay, KGetTickCount());
            m_scoreboards->StartWorker();
        }
    } else if (name == "LoadEvent") {
        LoadEvent();
    }
}

void TZApplication::Unhook(const std::string& name) {
    Step("unhook:" + name);
    if (name == "StopSockets") m_network.Stop();
    // The worker stops before the event it reads goes with the sources.
    if (name == "DestroyScoreboards") m_scoreboards.reset();
    if (name == "DestroySources" && m_sources != nullptr) {
        StoreEvent(true);
        m_sources.reset();
        m_scoring.reset();
    }
    ShutdownHook(name);
}

int TZApplication::Run() {
    // Before anything is read.
    Step("SetPriorities");
    SetPriorities();
    Step("StartIpcServer");
    StartIpcServer();
    Hook("FontTable");
    Step("ShowSplash");
    ShowSplash();
    Step("FlushEvents");
    Control(nullptr, true);

    // Settings and language.
    Step("CreateSettings");
    CreateSettings();
    Step("LoadDefaults");
    LoadDefaults(*m_settings);
    Step("LoadSettingsFile");
    LoadSettingsFile();
    Step("RebuildLanguageChoices");
    RebuildLanguage();
    if (!m_settingsFileLoaded) {
        Step("ChooseSystemLanguage");
        KString locale = m_setup.systemLocale;
        if (locale.empty()) {
            locale = FromQString(QLocale::system().name());
        }
        if (KRString* choice = m_settings->FindString(u"Language\\Choice")) {
            choice->SetValue(locale);
        }
    }
    Step("LoadLanguage");
    LoadLanguageFile();
    if (!m_settingsFileLoaded) {
        Step("LoadFirstRunDefaults");
        LoadFirstRunDefaults(*m_settings);
    }
    Step("AlertTexts");
    m_operationFailedText = Text(u"Strings\\Alerts\\OperationFailed", m_operationFailedText);
    m_errorTitle = Text(u"Strings\\Alerts\\Error", m_errorTitle);
    m_messageTitle = Text(u"Strings\\Alerts\\Message", m_messageTitle);

    // The two ways out before anything is written.
    Step("LoadResources");
    m_resourceFile = QString::fromStdString((ProgramFolder() / m_setup.programFile.stem()).string() + ".rcc");
    m_resourcesLoaded = QResource::registerResource(m_resourceFile);
    if (!m_resourcesLoaded) {
        ReportError(KErrorCode::kResources);
        EndWithoutRunning();
        return -1;
    }
    setWindowIcon(QIcon(QStringLiteral(":/images/Kestrun")));
    if (InstanceCount() > 1) {
        Step("ConfirmCopy");
        const KString title =
            Text(u"Strings\\Alerts\\CopyTitle", u"Copy") + u" " + ToKString(InstanceCount());
        const KString text = Text(u"Strings\\Alerts\\CopyText", u"A copy of Kestrun is already running.");
        if (!Confirm(title, text, KAlertButtons::OkCancel, KAlertButton::Cancel, KAlertSymbol::Warning)) {
            EndWithoutRunning();
            return 0;
        }
    }

    // The long-lived objects.
    Step("CreateLog");
    CreateLog();
    if (!m_commandLine.HasOption(TCommandLine::kNoSerialPort)) {
        Hook("EnumerateSerialPorts");
    }
    Hook("StartSockets");
    for (const char* name : kSubsystemHooks) {
        Hook(name);
    }
    Hook("CreateSchedule");
    Hook("CreatePeopleFileType");
    Hook("CreateSources");
    Hook("CreateScoreboards");
    Step("CreateNonScoringAffiliations");
    m_nonScoring = std::make_unique<NonScoringAffiliations>(*m_settings, *m_alerts);
    m_nonScoring->Rebuild();
    m_scoring = std::make_unique<TeamScoring>(*m_settings, *m_nonScoring);
    m_scoring->SetActivityLog(m_log.get(), [this] { return m_activityLogEnabled; });
    if (m_sources != nullptr) m_sources->SetTeamScoring(m_scoring.get());
    Step("ActivityLogFlag");
    if (KRBool* flag = m_settings->FindBool(u"General\\ActivityLog")) {
        m_activityLogEnabled = flag->Value();
    }
    m_dataDisplay = true;
    Hook("CreateDisplayWindow");

    // The splash gives way to the main window.
    Step("RemoveSplash");
    RemoveSplash();
    Step("CreateMainWindow");
    m_mainWindow = new TZControl([this] { EndMainLoop(0); });
    m_mainWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    m_mainWindow->SetIdleWork([this] { PollSources(); });
    m_mainWindow->show();
    Hook("LoadEvent");
    Step("MainLoop");
    Control();

    // Shutdown.
    Step("DestroyMainWindow");
    delete m_mainWindow.data();
    Unhook("DestroyScoreboards");
    Unhook("DestroySources");
    Unhook("DestroyDisplayWindow");
    Unhook("DestroySchedule");
    for (auto it = std::rbegin(kSubsystemHooks); it != std::rend(kSubsystemHooks); ++it) {
        Unhook(*it);
    }
    Unhook("StopSockets");
    Unhook("ReleaseSerialPorts");
    Unhook("ReleaseFontTable");
    if (ControlShiftHeld()) {
        Step("WriteLanguageFile");
        WriteLanguageFileNow();
    }
    Step("SaveSettingsFile");
    SaveSettingsFile();
    Step("DestroySettings");
    m_nonScoring.reset();
    m_settings.reset();
    KRNodeTypes::Unregister();
    Step("CloseLog");
    if (m_log != nullptr) {
        m_log->LogMain(u"Kestrun Application End");
        m_log.reset();
    }
    return 0;
}

void TZApplication::SetPriorities() {
    if (!m_setup.setPriorities) {
        return;
    }
    // Linux nice values belong to threads and are inherited by the threads
    // created later, so lowering the main thread would lower the scoreboard and
    // port threads with it. Only the raise is tried; without the privilege it
    // fails and nothing changes.
    (void)::setpriority(PRIO_PROCESS, 0, -5);
}

void TZApplication::StartIpcServer() {
    if (InstanceCount() != 1) {
        return;
    }
    m_ipcServer = std::make_unique<TZIpcServer>(m_ipc);
    if (!m_ipcServer->Start(m_setup.runtimeFolder)) {
        m_ipcServer.reset();
        ReportError(KErrorCode::kIpcServer);
    }
}

void TZApplication::ShowSplash() {
    const std::filesystem::path path = ProgramFolder() / (m_setup.programFile.stem().string() + ".tgs");
    const QImage image = KZSplash::LoadImage(path);
    if (image.isNull()) {
        return;  // no splash is no reason not to start
    }
    m_splash = std::make_unique<KZSplash>(image, QStringLiteral(KESTRUN_VERSION_TEXT),
                                          QStringLiteral(KESTRUN_RELEASE_DATE));
    m_splash->show();
    m_splashDeadline = NowMs() + kSplashMinimumMs;
}

void TZApplication::RemoveSplash() {
    if (m_splash == nullptr) {
        return;
    }
    const long long rest = m_splashDeadline - NowMs();
    if (rest > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(rest));
    }
    m_splash->hide();
    m_splash.reset();
}

void TZApplication::CreateSettings() {
    KRNodeTypes::Register();
    m_settings = std::make_unique<KRegistry>();
}

void TZApplication::LoadSettingsFile() {
    const KSettingsLoadResult result = ::LoadSettingsFile(*m_settings, m_setup.documentsFolder);
    m_settingsFileLoaded = result.loaded;
    m_settingsCharMode = result.mode;
    if (!result.ok) {
        ReportError(KErrorCode::kConfigLoad);
    }
}

void TZApplication::SaveSettingsFile() {
    if (!::SaveSettingsFile(*m_settings, m_setup.documentsFolder, m_settingsCharMode)) {
        ReportError(KErrorCode::kConfigSave);
    }
}

void TZApplication::RebuildLanguage() { RebuildLanguageChoices(*m_settings, ProgramFolder()); }

void TZApplication::LoadLanguageFile() {
    m_languageCharMode = LoadLanguage(*m_settings, ProgramFolder()).mode;
}

void TZApplication::WriteLanguageFileNow() {
    // Nothing matching the choice means nothing to write; a failed save keeps the old file.
    (void)WriteLanguageFile(*m_settings, ProgramFolder(), m_languageCharMode);
}

void TZApplication::CreateLog() {
    try {
        m_log = std::make_unique<KLog>(DataFolder());
        // A further copy adds to the log the first copy is still writing.
        if (InstanceCount() <= 1) m_log->Reset();
        m_log->LogMain(u"Kestrun Application Start");
    } catch (const KError& error) {
        // Without a log the program still scores; the operator learns why the log
        // is empty.
        m_log.reset();
        ReportError(error.Code(), error.Subcode());
    }
}

void TZApplication::EndWithoutRunning() {
    RemoveSplash();
    m_ipcServer.reset();
    m_settings.reset();
    KRNodeTypes::Unregister();
}

bool TZApplication::ControlShiftHeld() const {
    if (m_setup.controlShiftHeld) {
        return m_setup.controlShiftHeld();
    }
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    return held.testFlag(Qt::ControlModifier) && held.testFlag(Qt::ShiftModifier);
}

void TZApplication::ReportError(int code, int subcode) {
    if (m_settings != nullptr) {
        ShowError(m_errorTitle, ComposeErrorText(m_settings.get(), code, subcode));
        return;
    }
    // Before the tree exists and after it is gone, the operation-failed text kept from the
    // language stands for every code.
    KString text = m_operationFailedText + u" (" + ToKString(code);
    if (subcode >= 0) {
        text += u"," + ToKString(subcode);
    }
    ShowError(m_errorTitle, text + u").");
}

void TZApplication::ShowError(const KString& text) { ShowError(m_errorTitle, text); }

void TZApplication::ShowError(const KString& title, const KString& text) { m_alerts->ShowError(title, text); }

void TZApplication::ShowMessage(const KString& text) { ShowMessage(m_messageTitle, text); }

void TZApplication::ShowMessage(const KString& title, const KString& text) {
    m_alerts->ShowMessage(title, text);
}

bool TZApplication::Confirm(const KString& title, const KString& text, KAlertButtons buttons,
                            KAlertButton defaultButton, KAlertSymbol symbol) {
    return m_alerts->Confirm(title, text, buttons, defaultButton, symbol);
}

void TZApplication::LogMain(KStringView text) {
    if (m_log != nullptr) {
        m_log->LogMain(text);
    }
}

void TZApplication::SetActivityLogEnabled(bool enabled) {
    m_activityLogEnabled = enabled;
    if (m_settings != nullptr) {
        if (KRBool* flag = m_settings->FindBool(u"General\\ActivityLog")) {
            flag->SetValue(enabled);
        }
    }
}

bool TZApplication::event(QEvent* event) {
    const bool handled = KZApplication::event(event);
    switch (static_cast<int>(event->type())) {
        case kInitializeScoreboardsEvent:
            ++m_scoreboardEvents[0];  // without scoreboards there is nothing to initialise
            if (m_scoreboards != nullptr) m_scoreboards->RequestInitialize();
            return true;
        case kRefreshScoreboardsEvent:
            ++m_scoreboardEvents[1];
            if (m_scoreboards != nullptr) m_scoreboards->Refresh();
            return true;
        default:
            return handled;
    }
}

bool TZApplication::Idle(int) {
    // Deferred work of the data display window and pointer repetition come with
    // those windows.
    const unsigned long long charsRead = m_sources != nullptr ? m_sources->CharsRead() : 0;
    if (m_mainWindow != nullptr) {
        QEvent idle(static_cast<QEvent::Type>(TZControl::kIdleEvent));
        sendEvent(m_mainWindow, &idle);
    }
    m_idleReadNothing = m_sources == nullptr || m_sources->CharsRead() == charsRead;
    if (m_storeSchedule.DueInMs(NowMs()) == 0) StoreEvent(false);
    return true;
}

void TZApplication::PollSources() {
    // The main window's heartbeat attaches the event to the scoreboards after this.
    m_sourcesBehind = m_sources != nullptr && m_sources->PollSources();
}

int TZApplication::PrepareWait(std::vector<int>& descriptors) {
    if (m_sourcesBehind) return 0;  // a flood is read on at once, a pass at a time
    long long timeout = kMaxWaitMs;
    const long long storeDue = m_storeSchedule.DueInMs(NowMs());
    if (storeDue >= 0) timeout = std::min(timeout, storeDue);
    if (m_sources != nullptr) {
        descriptors = m_sources->PollDescriptors();
        // A descriptor that woke the loop without anything to read (a hung-up line, a failed
        // connect) would wake it again at once; it sits out one wait.
        if (m_idleReadNothing) {
            for (const int woken : WokenDescriptors()) std::erase(descriptors, woken);
        }
    }
    return static_cast<int>(timeout);
}

void TZApplication::LoadEvent() {
    if (m_sources == nullptr) return;
    EventRecord& event = m_sources->Event();
    try {
        EventFile::Load(event, EventFile::PathIn(m_setup.documentsFolder));
    } catch (const KError& error) {
        ReportError(error.Code(), error.Subcode());
    }
    // A file stored after Finalize Data comes back unofficial.
    if (m_scoring != nullptr) m_scoring->CalculateStandings(event, false);
    event.Standings().SetOfficial(false);
}

void TZApplication::StoreEvent(bool atExit) {
    m_storeSchedule.Stored(NowMs());
    try {
        EventRecord::ScopedLock lock(m_sources->Event());
        EventFile::Store(m_sources->Event(), EventFile::PathIn(m_setup.documentsFolder));
        m_storeFailureLogged = false;
    } catch (const KError& error) {
        if (atExit) {
            ReportError(error.Code(), error.Subcode());
        } else if (!m_storeFailureLogged && m_log != nullptr) {
            // An alert every second would stop the meet; the log says why the file is behind.
            m_storeFailureLogged = true;
            m_log->LogError(u"Event file not stored: " +
                            ComposeErrorText(m_settings.get(), error.Code(), error.Subcode()));
        }
    }
}

void TZApplication::UnhandledException() { ReportError(KErrorCode::kUnhandledException); }

void TZApplication::TerminationRequested() {
    // The same end as the operator closing the main window.
    if (m_mainWindow != nullptr) {
        m_mainWindow->close();
    }
    EndMainLoop(0);
}
