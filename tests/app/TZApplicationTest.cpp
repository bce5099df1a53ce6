#include "app/TZApplication.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

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

// A language file whose locale is de_AT; it sets a time separator and a result-code text too.
const char kGerman[] =
    "Test,de_AT\r\nRegistry Version: 1.00\r\nStrings\\:,1=\r\nStrings\\Alerts\\:,1=\r\n"
    "Strings\\Alerts\\Error:String,1=Fehler\r\nStrings\\Alerts\\CopyTitle:String,1=Kopie\r\n"
    "Strings\\Errors\\:,1=\r\nStrings\\Errors\\1003:String,1=Ressourcen fehlen\r\n"
    "Strings\\Time\\:,1=\r\nStrings\\Time\\SecondFracSep:String,1=,\r\n"
    "Strings\\Event\\:,1=\r\nStrings\\Event\\Results\\:,1=\r\nStrings\\Event\\Results\\Codes\\:,1=\r\n"
    "Strings\\Event\\Results\\Codes\\Disqualified:String,1=Disq\r\n";

class TZApplicationTest : public AppTest {
protected:
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
};

}  // namespace

TEST_F(TZApplicationTest, FirstStartAndExitWritesTheSettingsFileAndALogOfStartAndEnd) {
    fs::create_directories(data);
    WriteBytes(data / "Kestrun.log", "M: 12/05/26 10:00:00: left by an earlier run\r\n");
    ASSERT_EQ(Run([](TestApplication& self) {
                  EXPECT_EQ(self.MainWindow()->windowTitle(),
                            QStringLiteral("Kestrun  v" KESTRUN_VERSION_TEXT));
              }),
              0);
    EXPECT_TRUE(alerts.shown.empty());
    const std::vector<KString> settings = FileLines(data / "Kestrun.cfg");
    ASSERT_GT(settings.size(), 90u);
    EXPECT_EQ(settings[0], u"Registry Version: 1.00");
    for (const KString& line : settings)  // texts are no settings
        EXPECT_FALSE(line.starts_with(u"\\Strings\\") || line.starts_with(u"\\Language\\Choices\\"))
            << ToUtf8(line);
    // The first start takes the system's locale.
    for (KStringView line : {u"\\General\\ActivityLog:Bool,1=0", u"\\Language\\Choice:String,1=en_US"})
        EXPECT_NE(std::find(settings.begin(), settings.end(), line), settings.end()) << ToUtf8(KString(line));
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
    ASSERT_EQ(
        Run([](TestApplication& self) {
            EXPECT_EQ(self.Settings()->GetText(u"Strings\\Alerts\\Error"), u"Error")
                << "an empty choice loads no language file";
            // The non-scoring list is rebuilt from the settings at start-up.
            EXPECT_TRUE(self.NonScoring()->IsNonScoring(u"Acme") && self.NonScoring()->IsNonScoring(u"UNA"));
        }),
        0);
    EXPECT_TRUE(app->SettingsFileLoaded());
    EXPECT_TRUE(app->IsActivityLogEnabled());
    const std::string settings = ReadBytes(data / "Kestrun.cfg");  // single-byte as it was read
    // Entries after the built-ins are stored sorted.
    for (const char* line : {"\\General\\ActivityLog:Bool,1=1\r\n", "\\Language\\Choice:String,1=\r\n",
                             "\\Results\\Unattached\\4\\Name:String,1=Acme\r\n"})
        EXPECT_NE(settings.find(line), std::string::npos) << line;
}

TEST_F(TZApplicationTest, FirstStartTakesTheSystemsLanguageAndControlShiftAtExitRewritesItsFile) {
    WriteBytes(program / "Test.lng", kGerman);
    for (const bool held : {false, true}) {
        Make(u"de_AT", held);
        ASSERT_EQ(Run([](TestApplication&) {
                      EXPECT_EQ(CurrentTimeFormat().secondFractionSeparator, u',')
                          << "times are written as the language says";
                      EXPECT_EQ(CurrentResultCodeTexts().Text(ResultCode::Disqualified), u"Disq");
                  }),
                  0);
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
        std::string shown;
    };
    const std::string copy = "|A copy of Kestrun is already running.";  // no German text for it
    const Case cases[] = {{1, false, 0, "confirm|Copy 2" + copy},
                          {2, true, 0, "confirm|Kopie 3" + copy},
                          {0, false, -1, "error|Error|Error loading application resources (1003)."},
                          {0, true, -1, "error|Fehler|Ressourcen fehlen (1003)."}};
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
        EXPECT_EQ(alerts.shown, std::vector<std::string>{c.shown});
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
        std::vector<std::string> errors;
    };
    const Case cases[] = {{"first copy", false, true, true, {}},
                          {"copy that goes on", true, true, false, {}},
                          {"no runtime folder", false, false, false, {"Operation failed (1002)."}}};
    for (const Case& c : cases) {
        app.reset();
        fs::remove_all(runtime);
        if (c.runtimeFolder) fs::create_directories(runtime);
        auto other = c.otherCopy ? std::make_unique<TInstanceCounter>(runtime) : nullptr;
        fs::create_directories(data);
        const std::string earlierLine = "M: 12/05/26 10:00:00: written by another copy";
        WriteBytes(data / "Kestrun.log", earlierLine + "\r\n");
        Make();
        EXPECT_EQ(Run([&](TestApplication& self) { EXPECT_EQ(self.IpcServing(), c.serving) << c.name; }), 0);
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
        std::string error;
    };
    const auto throwInAnEvent = [](TestApplication& self) {
        QTimer::singleShot(0, self.MainWindow(), [] { throw KError(KErrorCode::kFileRead, 5); });
    };
    // A folder where a file should be: the log made before the start, the settings while running.
    const Case cases[] = {
        {"log", {}, "error|Error|Error opening a file (3002,"},
        {"settings", [&](TestApplication&) { fs::create_directories(data / "Kestrun.cfg"); },
         "error|Error|Error saving the configuration file (6002)."},
        {"event", throwInAnEvent, "error|Error|Unhandled main loop exception (1001)."}};
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
        ASSERT_EQ(alerts.shown.size(), 1u) << c.name;
        EXPECT_TRUE(alerts.shown[0].starts_with(c.error)) << alerts.shown[0];
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
        Make().onHook = [&](TestApplication& self, const std::string& name) {
            if (name == "FontTable") shown = std::chrono::steady_clock::now();
            if (name == "CreateDisplayWindow" && self.Splash() != nullptr)
                lines = self.Splash()->VersionLine() + "|" + self.Splash()->ReleaseLine();
        };
        std::chrono::steady_clock::duration visible{};
        EXPECT_EQ(Run([&](TestApplication& self) {
                      visible = std::chrono::steady_clock::now() - shown;
                      EXPECT_EQ(self.Splash(), nullptr);
                  }),
                  0);
        EXPECT_TRUE(alerts.shown.empty());
        EXPECT_EQ(lines, readable ? QStringLiteral("Version: " KESTRUN_VERSION_TEXT
                                                   "|Released: " KESTRUN_RELEASE_DATE)
                                  : QString());
        EXPECT_TRUE(!readable || visible >= std::chrono::milliseconds(1000));
    }
}
