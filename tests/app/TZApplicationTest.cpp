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
#include "scoring/ResultCode.h"
#include "scoring/TimeFormat.h"
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

// A language file whose locale is de_AT; it sets a time separator and a result-code text too.
const char kGerman[] =
    "Test,de_AT\r\nRegistry Version: 1.00\r\nStrings\\:,1=\r\nStrings\\Alerts\\:,1=\r\n"
    "Strings\\Alerts\\Error:String,1=Fehler\r\nStrings\\Alerts\\CopyTitle:String,1=Kopie\r\n"
    "Strings\\Errors\\:,1=\r\nStrings\\Errors\\1003:String,1=Ressourcen fehlen\r\n"
    "Strings\\Time\\:,1=\r\nStrings\\Time\\SecondFracSep:String,1=,\r\n"
    "Strings\\Event\\:,1=\r\nStrings\\Event\\Results\\:,1=\r\nStrings\\Event\\Results\\Codes\\:,1=\r\n"
    "Strings\\Event\\Results\\Codes\\Disqualified:String,1=Disq\r\n";

// Program, documents and runtime folders of one run; the program folder holds the resource file.
class TZApplicationTest : public ::testing::Test {
protected:
    TZApplicationTest() {
        for (const fs::path& folder : {program, documents, runtime}) fs::create_directories(folder);
        fs::copy_file(fs::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc", program / "Kestrun.rcc");
    }

    TestApplication& Make(KStringView locale = u"en_US", bool controlShiftHeld = false) {
        app.reset();  // one Qt application at a time
        alerts.shown.clear();
        TZApplicationSetup setup;
        setup.programFile = program / "Kestrun";
        setup.documentsFolder = documents;
        setup.runtimeFolder = runtime;
        setup.alerts = &alerts;
        setup.controlShiftHeld = [controlShiftHeld] { return controlShiftHeld; };
        setup.systemLocale = KString(locale);
        app = std::make_unique<TestApplication>(
            arguments.argc, arguments.argv, TCommandLine(setup.programFile.string(), "-noserialport"), setup);
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
    bool LogEnded() const {
        const std::vector<std::string> log =
            fs::is_regular_file(data / "Kestrun.log") ? LogLines() : std::vector<std::string>{};
        return !log.empty() && log.back().starts_with("M: ") &&
               log.back().ends_with(": Kestrun Application End");
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

TEST_F(TZApplicationTest, FirstStartAndExitWritesTheSettingsFileAndALogOfStartAndEnd) {
    fs::create_directories(data);
    WriteBytes(data / "Kestrun.log", "M: 12/05/26 10:00:00: left by an earlier run\r\n");
    QString title;
    ASSERT_EQ(Run([&](TestApplication& self) { title = self.MainWindow()->windowTitle(); }), 0);
    EXPECT_EQ(title, QStringLiteral("Kestrun  v" KESTRUN_VERSION_TEXT));
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
    EXPECT_TRUE(LogEnded()) << log[1];
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
    EXPECT_EQ(errorTitle, u"Error") << "an empty choice loads no language file";
    const std::string settings = ReadBytes(data / "Kestrun.cfg");  // single-byte as it was read
    EXPECT_NE(settings.find("\\General\\ActivityLog:Bool,1=1\r\n"), std::string::npos);
    EXPECT_NE(settings.find("\\Language\\Choice:String,1=\r\n"), std::string::npos);
    EXPECT_NE(settings.find("\\Results\\Unattached\\4\\Name:String,1=Acme\r\n"), std::string::npos)
        << "entries after the built-ins are stored sorted";
}

TEST_F(TZApplicationTest, FirstStartTakesTheSystemsLanguageAndControlShiftAtExitRewritesItsFile) {
    WriteBytes(program / "Test.lng", kGerman);
    for (const bool held : {false, true}) {
        Make(u"de_AT", held);
        KChar fractionSeparator = 0;
        KString disqualified;
        ASSERT_EQ(Run([&](TestApplication&) {
                      fractionSeparator = CurrentTimeFormat().secondFractionSeparator;
                      disqualified = KString(CurrentResultCodeTexts().Text(ResultCode::Disqualified));
                  }),
                  0);
        EXPECT_EQ(fractionSeparator, u',') << "times are written as the language says";
        EXPECT_EQ(disqualified, u"Disq");
        // The template holds every text: the translated ones and the English rest.
        const std::string file = ReadBytes(program / "Test.lng");
        EXPECT_EQ(file == kGerman, !held);
        EXPECT_EQ(file.size() > 10 * (sizeof kGerman - 1), held);
    }
}

TEST_F(TZApplicationTest, MissingResourcesOrADeclinedFurtherCopyEndBeforeAnythingIsWritten) {
    struct Case {
        int running;  // other copies; none: the resource file is missing
        bool languageFile;
        int exitCode;
        const char* kind;
        const char16_t* title;
        const char16_t* text;
    };
    const char16_t* const copyText = u"A copy of Kestrun is already running.";  // no German text for it
    const Case cases[] = {{1, false, 0, "confirm", u"Copy 2", copyText},
                          {2, true, 0, "confirm", u"Kopie 3", copyText},
                          {0, false, -1, "error", u"Error", u"Error loading application resources (1003)."},
                          {0, true, -1, "error", u"Fehler", u"Ressourcen fehlen (1003)."}};
    for (const Case& c : cases) {
        app.reset();
        fs::remove(program / "Test.lng");
        if (c.languageFile) WriteBytes(program / "Test.lng", kGerman);
        if (c.running == 0) fs::remove(program / "Kestrun.rcc");
        std::vector<std::unique_ptr<TInstanceCounter>> copies;
        for (int i = 0; i < c.running; ++i) copies.push_back(std::make_unique<TInstanceCounter>(runtime));
        alerts.answers = {false};
        Make(u"de_AT");
        EXPECT_EQ(Run(), c.exitCode);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].kind, c.kind);
        EXPECT_EQ(alerts.shown[0].title, c.title);
        EXPECT_EQ(alerts.shown[0].text, c.text);
        EXPECT_FALSE(fs::exists(data));
        EXPECT_FALSE(app->IpcServing());
    }
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

TEST_F(TZApplicationTest, FailureWhileStartingOrRunningIsReportedAndTheProgramGoesOnToItsEnd) {
    struct Case {
        const char* name;
        std::function<void(TestApplication&)> whileRunning;
        const char16_t* error;
    };
    const auto throwInAnEvent = [](TestApplication& self) {
        QTimer::singleShot(0, self.MainWindow(), [] { throw KError(KErrorCode::kFileRead, 5); });
    };
    // A folder where a file should be: the log made before the start, the settings while running.
    const Case cases[] = {
        {"log", {}, u"Error opening a file (3002,"},
        {"settings", [&](TestApplication&) { fs::create_directories(data / "Kestrun.cfg"); },
         u"Error saving the configuration file (6002)."},
        {"event", throwInAnEvent, u"Unhandled main loop exception (1001)."}};
    for (const Case& c : cases) {
        fs::remove_all(documents);
        if (c.name == std::string("log")) fs::create_directories(data / "Kestrun.log");
        Make();
        bool withLog = false;
        EXPECT_EQ(Run([&](TestApplication& self) {
                      withLog = self.Log() != nullptr;
                      if (c.whileRunning) c.whileRunning(self);
                  }),
                  0);
        const std::vector<KString> errors = alerts.Texts("error");
        ASSERT_EQ(errors.size(), 1u) << c.name;
        EXPECT_TRUE(errors[0].starts_with(c.error)) << ToUtf8(errors[0]);
        EXPECT_EQ(withLog, c.name != std::string("log"));
        EXPECT_EQ(LogEnded(), withLog) << c.name;
        EXPECT_EQ(fs::is_regular_file(data / "Kestrun.cfg"), c.name != std::string("settings"));
    }
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

TEST_F(TZApplicationTest, TerminationRequestEndsLikeClosingTheMainWindow) {
    EXPECT_EQ(Run([](TestApplication&) { KZApplication::RequestTermination(); }, false), 0);
    EXPECT_TRUE(LogEnded());
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
    for (const bool readable : {true, false}) {
        if (!readable) WriteBytes(program / "Kestrun.tgs", "not a Targa image");
        std::chrono::steady_clock::time_point shown;
        QString lines;
        QSize size;
        Make().onHook = [&](TestApplication& self, const std::string& name) {
            if (name == "FontTable") shown = std::chrono::steady_clock::now();
            if (name == "CreateDisplayWindow" && self.Splash() != nullptr) {
                lines = self.Splash()->VersionLine() + "|" + self.Splash()->ReleaseLine();
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
        EXPECT_TRUE(goneWhenRunning);
        EXPECT_TRUE(alerts.shown.empty());
        if (!readable) {
            EXPECT_TRUE(lines.isEmpty()) << "no splash";
            continue;
        }
        EXPECT_EQ(lines, QStringLiteral("Version: " KESTRUN_VERSION_TEXT "|Released: " KESTRUN_RELEASE_DATE));
        EXPECT_EQ(size, QSize(400, 300));
        EXPECT_GE(visible, std::chrono::milliseconds(1000));
    }
}
