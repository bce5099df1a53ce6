#include "app/TZApplication.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "app/AppTestSupport.h"
#include "app/KZSplash.h"
#include "app/TInstanceCounter.h"
#include "app/TZControl.h"
#include "scoring/NonScoringAffiliations.h"
#include "settings/KRegistry.h"

namespace {

namespace fs = std::filesystem;

// An application whose hooks and idle passes a test can act in.
class TestApplication : public TZApplication {
public:
    using TZApplication::TZApplication;

    std::function<void(TestApplication&, const std::string&)> onHook;
    std::function<void(TestApplication&, int)> onIdle;

protected:
    void StartupHook(const std::string& name) override {
        TZApplication::StartupHook(name);
        if (onHook) onHook(*this, name);
    }
    bool Idle(int count) override {
        const bool again = TZApplication::Idle(count);
        if (onIdle) onIdle(*this, count);
        return again;
    }
};

bool Has(const std::vector<std::string>& trace, const std::string& step) {
    return std::find(trace.begin(), trace.end(), step) != trace.end();
}

// A language file whose locale is de_AT.
const char kGerman[] =
    "Test,de_AT\r\nRegistry Version: 1.00\r\nStrings\\:,1=\r\nStrings\\Alerts\\:,1=\r\n"
    "Strings\\Alerts\\Error:String,1=Fehler\r\nStrings\\Alerts\\CopyTitle:String,1=Kopie\r\n"
    "Strings\\Errors\\:,1=\r\nStrings\\Errors\\1003:String,1=Ressourcen fehlen\r\n";

// Program, documents and runtime folders of one run; the program folder holds the resource file.
class TZApplicationTest : public ::testing::Test {
protected:
    TZApplicationTest() {
        for (const fs::path& folder : {program, documents, runtime}) fs::create_directories(folder);
        fs::copy_file(fs::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc", program / "Kestrun.rcc");
    }

    TestApplication& Make(const std::string& commandLine = "-noserialport", KStringView locale = u"en_US",
                          bool controlShiftHeld = false) {
        app.reset();  // one Qt application at a time
        TZApplicationSetup setup;
        setup.programFile = program / "Kestrun";
        setup.documentsFolder = documents;
        setup.runtimeFolder = runtime;
        setup.alerts = &alerts;
        setup.controlShiftHeld = [controlShiftHeld] { return controlShiftHeld; };
        setup.systemLocale = KString(locale);
        app = std::make_unique<TestApplication>(arguments.argc, arguments.argv,
                                                TCommandLine(setup.programFile.string(), commandLine), setup);
        return *app;
    }

    /// Runs the program; once it runs, calls `whileRunning` and then, unless told not to,
    /// closes the main window as an operator would.
    int Run(std::function<void(TestApplication&)> whileRunning = {}, bool close = true) {
        if (!app) Make();
        app->onHook = [other = app->onHook, whileRunning, close](TestApplication& self,
                                                                 const std::string& name) {
            if (other) other(self, name);
            if (name != "LoadEvent") return;
            if (whileRunning) whileRunning(self);
            if (close) QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        };
        return app->Run();
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        for (const KString& line : FileLines(data / "Kestrun.log")) lines.push_back(ToUtf8(line));
        return lines;
    }

    KTempFolder root;
    fs::path program = root / "program";
    fs::path documents = root / "documents";
    fs::path runtime = root / "run";
    fs::path data = documents / "Velmar" / "Kestrun";
    FakeAlerts alerts;
    QtArguments arguments;
    std::unique_ptr<TestApplication> app;
};

}  // namespace

TEST_F(TZApplicationTest, StartsAndShutsDownInTheFixedOrder) {
    std::vector<std::string> expected = {"SetPriorities",
                                         "StartIpcServer",
                                         "hook:FontTable",
                                         "ShowSplash",
                                         "FlushEvents",
                                         "CreateSettings",
                                         "LoadDefaults",
                                         "LoadSettingsFile",
                                         "RebuildLanguageChoices",
                                         "ChooseSystemLanguage",
                                         "LoadLanguage",
                                         "LoadFirstRunDefaults",
                                         "AlertTexts",
                                         "LoadResources",
                                         "CreateLog",
                                         "hook:EnumerateSerialPorts",
                                         "hook:StartSockets",
                                         "hook:TimeFormatting",
                                         "hook:WindUnits",
                                         "hook:ResultCodes",
                                         "hook:ResultsLogging",
                                         "hook:LayoutNames",
                                         "hook:Sources",
                                         "hook:Scoreboards",
                                         "hook:NonScoringAffiliations",
                                         "hook:DefaultFields",
                                         "hook:EventWindowLayout",
                                         "hook:LayoutScaleAndGrid",
                                         "hook:ToolBarImages",
                                         "hook:CreateSchedule",
                                         "hook:CreatePeopleFileType",
                                         "hook:CreateSources",
                                         "hook:CreateScoreboards",
                                         "CreateNonScoringAffiliations",
                                         "ActivityLogFlag",
                                         "hook:CreateDisplayWindow",
                                         "RemoveSplash",
                                         "CreateMainWindow",
                                         "hook:LoadEvent",
                                         "MainLoop",
                                         "DestroyMainWindow",
                                         "unhook:DestroyScoreboards",
                                         "unhook:DestroySources",
                                         "unhook:DestroyDisplayWindow",
                                         "unhook:DestroySchedule",
                                         "unhook:ToolBarImages",
                                         "unhook:LayoutScaleAndGrid",
                                         "unhook:EventWindowLayout",
                                         "unhook:DefaultFields",
                                         "unhook:NonScoringAffiliations",
                                         "unhook:Scoreboards",
                                         "unhook:Sources",
                                         "unhook:LayoutNames",
                                         "unhook:ResultsLogging",
                                         "unhook:ResultCodes",
                                         "unhook:WindUnits",
                                         "unhook:TimeFormatting",
                                         "unhook:StopSockets",
                                         "unhook:ReleaseSerialPorts",
                                         "unhook:ReleaseFontTable",
                                         "SaveSettingsFile",
                                         "DestroySettings",
                                         "CloseLog"};
    Make("");
    QString title;
    ASSERT_EQ(Run([&](TestApplication& self) { title = self.MainWindow()->windowTitle(); }), 0);
    EXPECT_EQ(app->Trace(), expected);
    EXPECT_EQ(title, QStringLiteral("Kestrun  v" KESTRUN_VERSION_TEXT));
    EXPECT_TRUE(alerts.shown.empty());

    // "-noserialport" skips the enumeration, and only that.
    fs::remove_all(data);
    Make("-noserialport");
    ASSERT_EQ(Run(), 0);
    expected.erase(std::find(expected.begin(), expected.end(), "hook:EnumerateSerialPorts"));
    EXPECT_EQ(app->Trace(), expected);
}

TEST_F(TZApplicationTest, FirstStartAndExitWritesTheSettingsFileAndALogOfStartAndEnd) {
    fs::create_directories(data);
    WriteBytes(data / "Kestrun.log", "M: 12/05/26 10:00:00: left by an earlier run\r\n");
    ASSERT_EQ(Run(), 0);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_FALSE(app->IsActivityLogEnabled());
    const std::vector<KString> settings = FileLines(data / "Kestrun.cfg");
    ASSERT_GT(settings.size(), 90u);
    EXPECT_TRUE(ReadBytes(data / "Kestrun.cfg").starts_with("\xFF\xFE"));
    EXPECT_EQ(settings[0], u"Registry Version: 1.00");
    EXPECT_EQ(settings[1], u"\\:,1=");
    for (const KString& line : settings) {
        EXPECT_FALSE(line.starts_with(u"\\Strings\\")) << ToUtf8(line);
        EXPECT_FALSE(line.starts_with(u"\\Language\\Choices\\")) << ToUtf8(line);
    }
    const auto has = [&](KStringView line) {
        return std::find(settings.begin(), settings.end(), line) != settings.end();
    };
    EXPECT_TRUE(has(u"\\General\\ActivityLog:Bool,1=0"));
    EXPECT_TRUE(has(u"\\Language\\Choice:String,1=en_US")) << "the first start takes the system's locale";

    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].starts_with("M: ") && log[0].ends_with(": Kestrun Application Start")) << log[0];
    EXPECT_TRUE(log[1].starts_with("M: ") && log[1].ends_with(": Kestrun Application End")) << log[1];
}

TEST_F(TZApplicationTest, LaterStartReadsTheSettingsFileAndWritesItBackInItsMode) {
    fs::create_directories(data);
    WriteBytes(data / "Kestrun.cfg",
               "Registry Version: 1.00\r\n\\:,1=\r\n\\General\\:,1=\r\n\\General\\ActivityLog:Bool,1=1\r\n"
               "\\Language\\:,1=\r\n\\Language\\Choice:String,1=\r\n"
               "\\Results\\:,1=\r\n\\Results\\Unattached\\:,1=\r\n"
               "\\Results\\Unattached\\4\\:,1=\r\n\\Results\\Unattached\\4\\Name:String,1=Zephyr\r\n"
               "\\Results\\Unattached\\5\\:,1=\r\n\\Results\\Unattached\\5\\Name:String,1=Acme\r\n");
    WriteBytes(program / "Test.lng", kGerman);
    KString errorTitle;
    bool nonScoring = false;
    ASSERT_EQ(Run([&](TestApplication& self) {
                  errorTitle = self.Settings()->GetText(u"Strings\\Alerts\\Error");
                  nonScoring =
                      self.NonScoring()->IsNonScoring(u"Acme") && self.NonScoring()->IsNonScoring(u"UNA");
              }),
              0);
    EXPECT_TRUE(nonScoring) << "the non-scoring list is rebuilt from the settings at start-up";
    EXPECT_TRUE(app->SettingsFileLoaded());
    EXPECT_TRUE(app->IsActivityLogEnabled());
    EXPECT_FALSE(Has(app->Trace(), "ChooseSystemLanguage"));
    EXPECT_EQ(errorTitle, u"Error") << "an empty choice loads no language file";
    const std::string settings = ReadBytes(data / "Kestrun.cfg");  // single-byte as it was read
    EXPECT_NE(settings.find("\\General\\ActivityLog:Bool,1=1\r\n"), std::string::npos);
    EXPECT_NE(settings.find("\\Language\\Choice:String,1=\r\n"), std::string::npos);
    EXPECT_NE(settings.find("\\Results\\Unattached\\4\\Name:String,1=Acme\r\n"), std::string::npos)
        << "entries after the built-ins are stored sorted";
}

TEST_F(TZApplicationTest, MissingResourceFileEndsWithMinusOneInTheSystemsLanguageAndWritesNothing) {
    struct Case {
        bool languageFile;
        const char16_t* title;
        const char16_t* text;
    };
    for (const Case& c : {Case{false, u"Error", u"Error loading application resources (1003)."},
                          Case{true, u"Fehler", u"Ressourcen fehlen (1003)."}}) {
        fs::remove(program / "Kestrun.rcc");
        if (c.languageFile) WriteBytes(program / "Test.lng", kGerman);
        alerts.shown.clear();
        Make("", u"de_AT");
        EXPECT_EQ(Run(), -1);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].title, c.title);
        EXPECT_EQ(alerts.shown[0].text, c.text);
        EXPECT_FALSE(fs::exists(data));
        EXPECT_EQ(app->Trace().back(), "LoadResources");
    }
}

TEST_F(TZApplicationTest, DecliningAFurtherCopyEndsWithZeroAndTouchesNeitherLogNorSettings) {
    struct Case {
        int running;
        bool languageFile;
        const char16_t* title;
    };
    for (const Case& c : {Case{1, false, u"Copy 2"}, Case{2, true, u"Kopie 3"}}) {
        app.reset();
        std::vector<std::unique_ptr<TInstanceCounter>> copies;
        for (int i = 0; i < c.running; ++i) copies.push_back(std::make_unique<TInstanceCounter>(runtime));
        if (c.languageFile) WriteBytes(program / "Test.lng", kGerman);
        alerts.shown.clear();
        alerts.answers = {false};
        Make("", u"de_AT");
        EXPECT_EQ(app->InstanceCount(), c.running + 1);
        EXPECT_EQ(Run(), 0);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].kind, "confirm");
        EXPECT_EQ(alerts.shown[0].title, c.title);
        EXPECT_FALSE(fs::exists(data));
        EXPECT_FALSE(app->IpcServing());
    }
    EXPECT_EQ(alerts.shown[0].text, u"A copy of Kestrun is already running.");  // no German text for it
}

TEST_F(TZApplicationTest, OnlyTheFirstCopyServesTheLocalServiceAndOneThatCannotSaysSo) {
    struct Case {
        const char* name;
        bool otherCopy;
        bool runtimeFolder;
        bool serving;
        std::vector<KString> errors;
    };
    const Case cases[] = {{"first copy", false, true, true, {}},
                          {"copy that goes on", true, true, false, {}},
                          {"no runtime folder", false, false, false, {u"Operation failed (1002)."}}};
    for (const Case& c : cases) {
        app.reset();
        fs::remove_all(runtime);
        if (c.runtimeFolder) fs::create_directories(runtime);
        auto other = c.otherCopy ? std::make_unique<TInstanceCounter>(runtime) : nullptr;
        alerts.shown.clear();
        fs::create_directories(data);
        const std::string earlierLine = "M: 12/05/26 10:00:00: written by another copy";
        WriteBytes(data / "Kestrun.log", earlierLine + "\r\n");
        Make();
        bool serving = !c.serving;
        EXPECT_EQ(Run([&](TestApplication& self) { serving = self.IpcServing(); }), 0) << c.name;
        EXPECT_EQ(serving, c.serving) << c.name;
        EXPECT_EQ(alerts.Texts("error"), c.errors) << c.name;
        EXPECT_TRUE(fs::exists(data / "Kestrun.cfg")) << c.name;
        // Only the first copy starts the log afresh; a further one adds to it.
        EXPECT_EQ(LogLines().front() == earlierLine, c.otherCopy) << c.name;
    }
}

TEST_F(TZApplicationTest, LogThatCannotBeCreatedIsReportedAndTheProgramRunsWithoutIt) {
    fs::create_directories(data / "Kestrun.log");  // a folder where the file should be
    bool withoutLog = false;
    EXPECT_EQ(Run([&](TestApplication& self) { withoutLog = self.Log() == nullptr; }), 0);
    EXPECT_TRUE(withoutLog);
    const auto errors = alerts.Texts("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(u"Error opening a file (3002,")) << ToUtf8(errors[0]);
    EXPECT_TRUE(fs::exists(data / "Kestrun.cfg"));
}

TEST_F(TZApplicationTest, SettingsFileThatCannotBeWrittenIsReportedAndShutdownGoesOn) {
    // A folder where the file should be, made while the program runs.
    EXPECT_EQ(Run([&](TestApplication&) { fs::create_directories(data / "Kestrun.cfg"); }), 0);
    EXPECT_EQ(alerts.Texts("error"), std::vector<KString>{u"Error saving the configuration file (6002)."});
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[1].ends_with(": Kestrun Application End"));
}

TEST_F(TZApplicationTest, IdleEventReachesTheMainWindowOnEveryIdlePass) {
    int passes = 0;
    Make().onIdle = [&passes](TestApplication& self, int) {
        ASSERT_NE(self.MainWindow(), nullptr);
        EXPECT_EQ(self.MainWindow()->IdleEventsReceived(), ++passes);
        if (passes == 5) self.MainWindow()->close();
    };
    EXPECT_EQ(Run({}, false), 0);
}

TEST_F(TZApplicationTest, ExceptionEscapingAnEventIsReportedAndTheLoopGoesOn) {
    EXPECT_EQ(Run([](TestApplication& self) {
                  QTimer::singleShot(0, self.MainWindow(), [] { throw KError(KErrorCode::kFileRead, 5); });
              }),
              0);
    EXPECT_EQ(alerts.Texts("error"), std::vector<KString>{u"Unhandled main loop exception (1001)."});
    EXPECT_TRUE(fs::exists(data / "Kestrun.cfg"));
}

TEST_F(TZApplicationTest, TerminationRequestEndsLikeClosingTheMainWindow) {
    EXPECT_EQ(Run([](TestApplication&) { KZApplication::RequestTermination(); }, false), 0);
    EXPECT_EQ(LogLines().size(), 2u);
    EXPECT_TRUE(fs::exists(data / "Kestrun.cfg"));
}

TEST_F(TZApplicationTest, ScoreboardEventsAreHandledAtApplicationLevel) {
    EXPECT_EQ(Run([](TestApplication& self) {
                  QCoreApplication::postEvent(&self, new QEvent(static_cast<QEvent::Type>(10163)));
                  QCoreApplication::postEvent(&self, new QEvent(static_cast<QEvent::Type>(10164)));
              }),
              0);
    EXPECT_EQ(app->ScoreboardInitializeRequests(), 1);
    EXPECT_EQ(app->ScoreboardRefreshRequests(), 1);
}

TEST_F(TZApplicationTest, SplashShowsVersionAndReleaseForAtLeastOneSecondAndAnUnreadableOneIsSkipped) {
    fs::copy_file(fs::path(KESTRUN_SOURCE_DIR) / "data" / "Kestrun.tgs", program / "Kestrun.tgs");
    std::chrono::steady_clock::time_point shown;
    QString version;
    QString release;
    QSize size;
    bool splashShown = false;
    Make().onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "FontTable") shown = std::chrono::steady_clock::now();
        if (name == "CreateDisplayWindow") splashShown = self.Splash() != nullptr;
        if (name == "CreateDisplayWindow" && splashShown) {
            version = self.Splash()->VersionLine();
            release = self.Splash()->ReleaseLine();
            size = self.Splash()->size();
        }
    };
    std::chrono::steady_clock::duration visible{};
    bool goneWhenRunning = false;
    EXPECT_EQ(Run([&](TestApplication& self) {
                  visible = std::chrono::steady_clock::now() - shown;
                  goneWhenRunning = self.Splash() == nullptr;
              }),
              0);
    EXPECT_TRUE(splashShown);
    EXPECT_EQ(version, QStringLiteral("Version: " KESTRUN_VERSION_TEXT));
    EXPECT_EQ(release, QStringLiteral("Released: " KESTRUN_RELEASE_DATE));
    EXPECT_EQ(size, QSize(400, 300));
    EXPECT_TRUE(goneWhenRunning);
    EXPECT_GE(visible, std::chrono::milliseconds(1000));

    WriteBytes(program / "Kestrun.tgs", "not a Targa image");
    Make().onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "CreateDisplayWindow") splashShown = self.Splash() != nullptr;
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(splashShown);
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(TZApplicationTest, ControlAndShiftHeldAtExitRewriteTheLanguageFileBeforeTheSettings) {
    WriteBytes(program / "Test.lng", kGerman);
    for (const bool held : {false, true}) {
        Make("", u"de_AT", held);
        ASSERT_EQ(Run(), 0);
        const auto& trace = app->Trace();
        const auto written = std::find(trace.begin(), trace.end(), "WriteLanguageFile");
        EXPECT_EQ(written != trace.end(), held);
        EXPECT_TRUE(!held || written < std::find(trace.begin(), trace.end(), "SaveSettingsFile"));
        // The template holds every text: the translated ones and the English rest.
        const std::string file = ReadBytes(program / "Test.lng");
        EXPECT_EQ(file == kGerman, !held);
        EXPECT_EQ(file.size() > 10 * (sizeof kGerman - 1), held);
    }
}
