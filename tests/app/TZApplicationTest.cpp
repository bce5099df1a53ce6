#include "app/TZApplication.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <tuple>

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

using TZApplicationTest = AppTest;

bool LogEnded(const fs::path& data) {
    const std::vector<KString> log = FileLines(data / "Kestrun.log");
    return !log.empty() && log.back().starts_with(u"M: ") &&
           log.back().ends_with(u": Kestrun Application End");
}

}  // namespace

TEST_F(TZApplicationTest, FirstStartTakesTheLocalesLanguageWritesSettingsAndLogAndControlShiftTheTemplate) {
    WriteBytes(program / "Test.lng", kGerman);
    const auto whileRunning = [](TestApplication&) {
        // Times are written as the language says.
        EXPECT_EQ(CurrentTimeFormat().secondFractionSeparator, u',');
        EXPECT_EQ(CurrentResultCodeTexts().Text(ResultCode::Disqualified), u"Disq");
        KZApplication::RequestTermination();  // ends as closing the main window would
    };
    Make(u"de_AT");
    ASSERT_EQ(Run(whileRunning, false), 0);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(ReadBytes(data / "Kestrun.cfg").starts_with("\xFF\xFE")) << "UTF-16LE with a byte-order mark";
    const std::vector<KString> settings = FileLines(data / "Kestrun.cfg");
    ASSERT_GT(settings.size(), 90u);
    EXPECT_EQ(settings[0], u"Registry Version: 1.00");
    for (const KString& line : settings)  // texts are no settings
        EXPECT_FALSE(line.starts_with(u"\\Strings\\") || line.starts_with(u"\\Language\\Choices\\"))
            << ToUtf8(line);
    for (KStringView line : {u"\\General\\ActivityLog:Bool,1=0", u"\\Language\\Choice:String,1=de_AT"})
        EXPECT_NE(std::find(settings.begin(), settings.end(), line), settings.end()) << ToUtf8(KString(line));
    const std::vector<KString> log = FileLines(data / "Kestrun.log");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].starts_with(u"M: ") && log[0].ends_with(u": Kestrun Application Start"));
    EXPECT_TRUE(LogEnded(data));
    EXPECT_EQ(ReadBytes(program / "Test.lng"), kGerman);
    // The template holds every text: the translated ones and the English rest.
    Make(u"de_AT", true);
    ASSERT_EQ(Run(), 0);
    EXPECT_GT(ReadBytes(program / "Test.lng").size(), 10 * (sizeof kGerman - 1));
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
    const auto whileRunning = [](TestApplication& self) {
        // An empty choice loads no language file.
        EXPECT_EQ(self.Settings()->GetText(u"Strings\\Alerts\\Error"), u"Error");
        // The non-scoring list is rebuilt from the settings at start-up.
        EXPECT_TRUE(self.NonScoring()->IsNonScoring(u"Acme") && self.NonScoring()->IsNonScoring(u"UNA"));
    };
    ASSERT_EQ(Run(whileRunning), 0);
    EXPECT_TRUE(app->IsActivityLogEnabled());
    const std::string settings = ReadBytes(data / "Kestrun.cfg");  // single-byte as it was read
    // Entries after the built-ins are stored sorted.
    for (const char* line : {"\\General\\ActivityLog:Bool,1=1\r\n", "\\Language\\Choice:String,1=\r\n",
                             "\\Results\\Unattached\\4\\Name:String,1=Acme\r\n"})
        EXPECT_NE(settings.find(line), std::string::npos) << line;
}

TEST_F(TZApplicationTest, MissingResourcesOrADeclinedFurtherCopyEndBeforeAnythingIsWritten) {
    // Other copies running (none: the resource file is missing), a language file, the alert shown.
    using Case = std::tuple<int, bool, std::string>;
    const std::string copy = "|A copy of Kestrun is already running.";  // no German text for it
    const Case cases[] = {{2, true, "confirm|Kopie 3" + copy},
                          {0, false, "error|Error|Error loading application resources (1003)."},
                          {0, true, "error|Fehler|Ressourcen fehlen (1003)."}};
    for (const auto& [running, languageFile, shown] : cases) {
        app.reset();
        fs::remove(program / "Test.lng");
        if (languageFile) WriteBytes(program / "Test.lng", kGerman);
        if (running == 0) fs::remove(program / "Kestrun.rcc");
        std::vector<std::unique_ptr<TInstanceCounter>> copies;
        for (int i = 0; i < running; ++i) copies.push_back(std::make_unique<TInstanceCounter>(runtime));
        alerts.confirmed = false;
        Make(u"de_AT");
        EXPECT_EQ(Run(), running == 0 ? -1 : 0);
        EXPECT_EQ(alerts.shown, std::vector<std::string>{shown});
        EXPECT_FALSE(fs::exists(data));
        EXPECT_FALSE(app->IpcServing());
    }
}

TEST_F(TZApplicationTest, OnlyTheFirstCopyServesTheLocalServiceAndOneThatCannotSaysSo) {
    for (const auto& [otherCopy, runtimeFolder] : {std::pair{false, true}, {true, true}, {false, false}}) {
        app.reset();
        fs::remove_all(runtime);
        if (runtimeFolder) fs::create_directories(runtime);
        auto other = otherCopy ? std::make_unique<TInstanceCounter>(runtime) : nullptr;
        fs::create_directories(data);
        WriteBytes(data / "Kestrun.log", "M: 12/05/26 10:00:00: written by another copy\r\n");
        Make();
        const bool first = !otherCopy && runtimeFolder;
        EXPECT_EQ(Run([&](TestApplication& self) { EXPECT_EQ(self.IpcServing(), first); }), 0);
        // A further copy asks first; one that cannot serve says so.
        EXPECT_EQ(alerts.shown, std::vector<std::string>(
                                    !first, otherCopy ? "confirm|Copy 2|A copy of Kestrun is already running."
                                                      : "error|Error|Operation failed (1002)."));
        // Only the first copy starts the log afresh; a further one adds to it.
        EXPECT_EQ(FileLines(data / "Kestrun.log").front().ends_with(u"another copy"), otherCopy);
    }
}

TEST_F(TZApplicationTest, FailureWhileStartingOrRunningIsReportedAndTheProgramGoesOnToItsEnd) {
    using Case = std::tuple<std::string, std::function<void(TestApplication&)>, std::string>;
    // A folder where a file should be: the log made before the start, the settings while running.
    const Case cases[] = {
        {"log", {}, "error|Error|Error opening a file (3002,"},
        {"settings", [&](TestApplication&) { fs::create_directories(data / "Kestrun.cfg"); },
         "error|Error|Error saving the configuration file (6002)."},
        {"event",
         [](TestApplication& self) {
             QTimer::singleShot(0, self.MainWindow(), [] { throw KError(KErrorCode::kFileRead, 5); });
         },
         "error|Error|Unhandled main loop exception (1001)."}};
    WriteBytes(program / "Kestrun.tgs", "not a Targa image");  // a splash to skip without a word
    for (const auto& [name, whileRunning, error] : cases) {
        fs::remove_all(documents);
        if (name == "log") fs::create_directories(data / "Kestrun.log");
        Make();
        EXPECT_EQ(Run(whileRunning), 0);
        ASSERT_EQ(alerts.shown.size(), 1u) << name;
        EXPECT_TRUE(alerts.shown[0].starts_with(error)) << alerts.shown[0];
        EXPECT_TRUE(name == "log" || LogEnded(data)) << name;  // a log that could be opened ends
        EXPECT_EQ(fs::is_regular_file(data / "Kestrun.cfg"), name != "settings");
    }
}

TEST_F(TZApplicationTest, IdleEventReachesTheMainWindowOnEveryIdlePassAndScoreboardEventsTheApplication) {
    int passes = 0;
    Make().onIdle = [&passes](TestApplication& self, int) {
        ASSERT_NE(self.MainWindow(), nullptr);
        EXPECT_EQ(self.MainWindow()->IdleEventsReceived(), ++passes);
        for (const int event : {10163, 10164})
            if (passes == 1) QCoreApplication::postEvent(&self, new QEvent(static_cast<QEvent::Type>(event)));
        if (passes == 5) self.MainWindow()->close();
    };
    EXPECT_EQ(Run({}, false), 0);
    EXPECT_EQ(app->ScoreboardInitializeRequests(), 1);
    EXPECT_EQ(app->ScoreboardRefreshRequests(), 1);
}

TEST_F(TZApplicationTest, SplashShowsVersionAndReleaseForAtLeastOneSecond) {
    fs::copy_file(fs::path(KESTRUN_SOURCE_DIR) / "data" / "Kestrun.tgs", program / "Kestrun.tgs");
    std::chrono::steady_clock::time_point shown;
    std::chrono::steady_clock::duration visible{};
    QString lines;
    Make().onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "FontTable") shown = std::chrono::steady_clock::now();
        if (name == "CreateDisplayWindow" && self.Splash() != nullptr)
            lines = self.Splash()->VersionLine() + "|" + self.Splash()->ReleaseLine();
        if (name == "LoadEvent") visible = std::chrono::steady_clock::now() - shown;
        EXPECT_TRUE(name != "LoadEvent" || self.Splash() == nullptr) << "the splash is gone once running";
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(lines, QStringLiteral("Version: " KESTRUN_VERSION_TEXT "|Released: " KESTRUN_RELEASE_DATE));
    EXPECT_GE(visible, std::chrono::milliseconds(1000));
}
