#include "app/TZApplication.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "app/FakeAlerts.h"
#include "app/KZSplash.h"
#include "app/TInstanceCounter.h"
#include "app/TZControl.h"
#include "app/TestFolder.h"
#include "foundation/KError.h"
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
        if (onHook) {
            onHook(*this, name);
        }
    }
    bool Idle(int count) override {
        const bool again = TZApplication::Idle(count);
        if (onIdle) {
            onIdle(*this, count);
        }
        return again;
    }
};

// Program, documents and runtime folders of one test run.
struct Folders {
    TestFolder root;
    fs::path program = root.Path() / "program";
    fs::path documents = root.Path() / "documents";
    fs::path runtime = root.Path() / "run";
    fs::path data = documents / "Velmar" / "Kestrun";

    explicit Folders(bool withResources = true) {
        fs::create_directories(program);
        fs::create_directories(documents);
        fs::create_directories(runtime);
        if (withResources) {
            fs::copy_file(fs::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc", program / "Kestrun.rcc");
        }
    }
};

struct Arguments {
    int argc = 1;
    char name[16] = "Kestrun";
    char* argv[2] = {name, nullptr};
};

std::unique_ptr<TestApplication> MakeApplication(Arguments& arguments, const Folders& folders,
                                                 FakeAlerts& alerts,
                                                 const std::string& commandLine = "-noserialport",
                                                 const KString& locale = u"en_US") {
    TZApplicationSetup setup;
    setup.programFile = folders.program / "Kestrun";
    setup.documentsFolder = folders.documents;
    setup.runtimeFolder = folders.runtime;
    setup.alerts = &alerts;
    setup.controlShiftHeld = [] { return false; };
    setup.systemLocale = locale;
    return std::make_unique<TestApplication>(arguments.argc, arguments.argv,
                                             TCommandLine(setup.programFile.string(), commandLine), setup);
}

// Closes the main window as soon as the program runs, as an operator would.
void CloseWhenRunning(TestApplication& app) {
    app.onHook = [](TestApplication& self, const std::string& name) {
        if (name == "LoadEvent") {
            QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
}

// The lines of a UTF-16LE file with a byte-order mark, as UTF-8.
std::vector<std::string> ReadUnicodeLines(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') {
        return lines;
    }
    KString text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != KString::npos; start = end + 2) {
        lines.push_back(ToUtf8(text.substr(start, end - start)));
    }
    return lines;
}

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(TZApplication, StartsAndShutsDownInTheFixedOrder) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts, "");
    CloseWhenRunning(*app);
    ASSERT_EQ(app->Run(), 0);
    const std::vector<std::string> expected = {"SetPriorities",
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
                                               "hook:CreateNonScoringAffiliations",
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
    EXPECT_EQ(app->Trace(), expected);
    EXPECT_TRUE(alerts.shown.empty());
}

TEST(TZApplication, NoSerialPortOptionSkipsTheEnumeration) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts, "-noserialport");
    CloseWhenRunning(*app);
    ASSERT_EQ(app->Run(), 0);
    const auto& trace = app->Trace();
    EXPECT_EQ(std::find(trace.begin(), trace.end(), "hook:EnumerateSerialPorts"), trace.end());
    EXPECT_NE(std::find(trace.begin(), trace.end(), "hook:StartSockets"), trace.end());
}

TEST(TZApplication, FirstStartAndExitWritesTheSettingsFileAndALogOfStartAndEnd) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    CloseWhenRunning(*app);
    ASSERT_EQ(app->Run(), 0);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_FALSE(app->IsActivityLogEnabled());

    const auto settings = ReadUnicodeLines(folders.data / "Kestrun.cfg");
    ASSERT_GT(settings.size(), 90u);
    EXPECT_EQ(settings[0], "Registry Version: 1.00");
    EXPECT_EQ(settings[1], "\\:,1=");
    bool activityLog = false;
    bool choice = false;
    for (const std::string& line : settings) {
        EXPECT_FALSE(line.starts_with("\\Strings\\")) << line;
        EXPECT_FALSE(line.starts_with("\\Language\\Choices\\")) << line;
        activityLog = activityLog || line == "\\General\\ActivityLog:Bool,1=0";
        choice = choice || line == "\\Language\\Choice:String,1=en_US";
    }
    EXPECT_TRUE(activityLog);
    EXPECT_TRUE(choice);  // the first start takes the system's locale

    const auto log = ReadLines(folders.data / "Kestrun.log");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].starts_with("M: ") && EndsWith(log[0], ": Kestrun Application Start")) << log[0];
    EXPECT_TRUE(log[1].starts_with("M: ") && EndsWith(log[1], ": Kestrun Application End")) << log[1];
}

TEST(TZApplication, SecondStartReadsTheSettingsFileAndKeepsItsValues) {
    Folders folders;
    fs::create_directories(folders.data);
    {
        std::ofstream file(folders.data / "Kestrun.cfg", std::ios::binary);
        file << "Registry Version: "
                "1.00\r\n\\:,1=\r\n\\General\\:,1=\r\n\\General\\ActivityLog:Bool,"
                "1=1\r\n"
                "\\Language\\:,1=\r\n\\Language\\Choice:String,1=\r\n";
    }
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    CloseWhenRunning(*app);
    ASSERT_EQ(app->Run(), 0);
    EXPECT_TRUE(app->SettingsFileLoaded());
    EXPECT_TRUE(app->IsActivityLogEnabled());
    const auto& trace = app->Trace();
    EXPECT_EQ(std::find(trace.begin(), trace.end(), "ChooseSystemLanguage"), trace.end());
    // Read as single-byte, so written back single-byte.
    const auto lines = ReadLines(folders.data / "Kestrun.cfg");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\\General\\ActivityLog:Bool,1=1"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "\\Language\\Choice:String,1="), lines.end());
}

TEST(TZApplication, MissingResourceFileEndsWithMinusOneAndWritesNothing) {
    Folders folders(false);
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    EXPECT_EQ(app->Run(), -1);
    EXPECT_EQ(alerts.Texts("error"), std::vector<KString>{u"Error loading application resources (1003)."});
    EXPECT_FALSE(fs::exists(folders.data));
    EXPECT_EQ(app->Settings(), nullptr);
    EXPECT_EQ(app->Trace().back(), "LoadResources");
}

TEST(TZApplication, DecliningASecondCopyEndsWithZeroAndTouchesNeitherLogNorSettings) {
    Folders folders;
    TInstanceCounter firstCopy(folders.runtime);
    FakeAlerts alerts;
    alerts.answers = {false};
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    EXPECT_EQ(app->InstanceCount(), 2);
    EXPECT_EQ(app->Run(), 0);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].kind, "confirm");
    EXPECT_EQ(alerts.shown[0].title, u"Copy 2");
    EXPECT_EQ(alerts.shown[0].text, u"A copy of Kestrun is already running.");
    EXPECT_FALSE(fs::exists(folders.data));
    EXPECT_FALSE(app->IpcServing());
}

TEST(TZApplication, ASecondCopyThatGoesOnRunsWithoutTheLocalService) {
    Folders folders;
    TInstanceCounter firstCopy(folders.runtime);
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    bool servingWhileRunning = true;
    app->onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "LoadEvent") {
            servingWhileRunning = self.IpcServing();
            QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_FALSE(servingWhileRunning);
    EXPECT_TRUE(fs::exists(folders.data / "Kestrun.cfg"));
}

TEST(TZApplication, FirstCopyServesTheLocalServiceAndReportsWhenItCannot) {
    {
        Folders folders;
        FakeAlerts alerts;
        Arguments arguments;
        auto app = MakeApplication(arguments, folders, alerts);
        bool serving = false;
        app->onHook = [&](TestApplication& self, const std::string& name) {
            if (name == "LoadEvent") {
                serving = self.IpcServing();
                QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
            }
        };
        EXPECT_EQ(app->Run(), 0);
        EXPECT_TRUE(serving);
    }
    {
        // No runtime folder: the count is 1, the server cannot listen, and the
        // program still runs.
        Folders folders;
        fs::remove_all(folders.runtime);
        FakeAlerts alerts;
        Arguments arguments;
        auto app = MakeApplication(arguments, folders, alerts);
        CloseWhenRunning(*app);
        EXPECT_EQ(app->Run(), 0);
        EXPECT_EQ(alerts.Texts("error"), std::vector<KString>{u"Operation failed (1002)."});
        EXPECT_TRUE(fs::exists(folders.data / "Kestrun.cfg"));
    }
}

TEST(TZApplication, LogThatCannotBeCreatedIsReportedAndTheProgramRunsWithoutIt) {
    Folders folders;
    fs::create_directories(folders.data / "Kestrun.log");  // a folder where the file should be
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    bool ran = false;
    app->onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "LoadEvent") {
            ran = self.Log() == nullptr;
            QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_TRUE(ran);
    const auto errors = alerts.Texts("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with(u"Error opening a file (3002,")) << ToUtf8(errors[0]);
    EXPECT_TRUE(fs::exists(folders.data / "Kestrun.cfg"));
}

TEST(TZApplication, IdleEventReachesTheMainWindowOnEveryIdlePass) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    std::vector<int> counts;
    app->onIdle = [&](TestApplication& self, int count) {
        counts.push_back(count);
        if (counts.size() == 5) {
            EXPECT_EQ(self.MainWindow()->IdleEventsReceived(), 5);
            self.MainWindow()->close();
        }
    };
    EXPECT_EQ(app->Run(), 0);
    ASSERT_GE(counts.size(), 5u);
    EXPECT_EQ(counts[0], 0);
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_TRUE(counts[i] == counts[i - 1] + 1 || counts[i] == 0) << i;  // an event resets it
    }
}

TEST(TZApplication, ExceptionEscapingAnEventIsReportedAndTheLoopGoesOn) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    app->onHook = [](TestApplication& self, const std::string& name) {
        if (name == "LoadEvent") {
            QTimer::singleShot(0, self.MainWindow(), [] { throw KError(KErrorCode::kFileRead, 5); });
            QTimer::singleShot(5, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_EQ(alerts.Texts("error"), std::vector<KString>{u"Unhandled main loop exception (1001)."});
    EXPECT_TRUE(fs::exists(folders.data / "Kestrun.cfg"));
}

TEST(TZApplication, TerminationRequestEndsLikeClosingTheMainWindow) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    app->onHook = [](TestApplication&, const std::string& name) {
        if (name == "LoadEvent") {
            KZApplication::RequestTermination();
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_EQ(ReadLines(folders.data / "Kestrun.log").size(), 2u);
    EXPECT_TRUE(fs::exists(folders.data / "Kestrun.cfg"));
}

TEST(TZApplication, ScoreboardEventsAreHandledAtApplicationLevel) {
    Folders folders;
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    app->onHook = [](TestApplication& self, const std::string& name) {
        if (name == "LoadEvent") {
            QCoreApplication::postEvent(&self, new QEvent(static_cast<QEvent::Type>(10163)));
            QCoreApplication::postEvent(&self, new QEvent(static_cast<QEvent::Type>(10164)));
            QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_EQ(app->ScoreboardInitializeRequests(), 1);
    EXPECT_EQ(app->ScoreboardRefreshRequests(), 1);
}

TEST(TZApplication, SplashShowsVersionAndReleaseForAtLeastOneSecondUntilTheObjectsExist) {
    Folders folders;
    fs::copy_file(fs::path(KESTRUN_SOURCE_DIR) / "data" / "Kestrun.tgs", folders.program / "Kestrun.tgs");
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    std::chrono::steady_clock::time_point shown;
    std::chrono::steady_clock::duration visible{};
    QString version;
    QString release;
    bool goneWhenRunning = false;
    app->onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "FontTable") {
            shown = std::chrono::steady_clock::now();
        } else if (name == "CreateDisplayWindow" && self.Splash() != nullptr) {
            version = self.Splash()->VersionLine();
            release = self.Splash()->ReleaseLine();
            EXPECT_EQ(self.Splash()->size(), QSize(400, 300));
        } else if (name == "LoadEvent") {
            visible = std::chrono::steady_clock::now() - shown;
            goneWhenRunning = self.Splash() == nullptr;
            QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_EQ(version, QStringLiteral("Version: " KESTRUN_VERSION_TEXT));
    EXPECT_EQ(release, QStringLiteral("Released: " KESTRUN_RELEASE_DATE));
    EXPECT_TRUE(goneWhenRunning);
    EXPECT_GE(visible, std::chrono::milliseconds(1000));
}

TEST(TZApplication, MainWindowCarriesTheProgramTitle) {
    EXPECT_EQ(TZControl::Title(), QStringLiteral("Kestrun  v" KESTRUN_VERSION_TEXT));
}

namespace {

void WriteLanguageFile(const fs::path& path) {
    std::ofstream file(path, std::ios::binary);
    file << "Test,de_AT\r\nRegistry Version: 1.00\r\nStrings\\:,1=\r\nStrings\\Alerts\\:,1=\r\n"
            "Strings\\Alerts\\Error:String,1=Fehler\r\nStrings\\Alerts\\CopyTitle:String,1=Kopie\r\n"
            "Strings\\Errors\\:,1=\r\nStrings\\Errors\\1003:String,1=Ressourcen fehlen\r\n";
}

}  // namespace

TEST(TZApplication, FirstStartChoosesTheLanguageOfTheSystemLocaleForItsAlerts) {
    Folders folders(false);
    WriteLanguageFile(folders.program / "Test.lng");
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts, "", u"de_AT");
    EXPECT_EQ(app->Run(), -1);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, u"Fehler");
    EXPECT_EQ(alerts.shown[0].text, u"Ressourcen fehlen (1003).");
}

TEST(TZApplication, CopyAlertTitleComesFromTheLanguageAndCountsTheCopy) {
    Folders folders;
    WriteLanguageFile(folders.program / "Test.lng");
    TInstanceCounter first(folders.runtime);
    TInstanceCounter second(folders.runtime);
    FakeAlerts alerts;
    alerts.answers = {false};
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts, "", u"de_AT");
    EXPECT_EQ(app->Run(), 0);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, u"Kopie 3");
}

TEST(TZApplication, ControlAndShiftHeldAtExitRewriteTheLanguageFileBeforeTheSettings) {
    for (const bool held : {false, true}) {
        Folders folders;
        WriteLanguageFile(folders.program / "Test.lng");
        const auto before = fs::file_size(folders.program / "Test.lng");
        FakeAlerts alerts;
        Arguments arguments;
        TZApplicationSetup setup;
        setup.programFile = folders.program / "Kestrun";
        setup.documentsFolder = folders.documents;
        setup.runtimeFolder = folders.runtime;
        setup.alerts = &alerts;
        setup.controlShiftHeld = [held] { return held; };
        setup.systemLocale = u"de_AT";
        TestApplication app(arguments.argc, arguments.argv, TCommandLine(setup.programFile.string(), ""),
                            setup);
        CloseWhenRunning(app);
        ASSERT_EQ(app.Run(), 0);
        const auto& trace = app.Trace();
        const auto written = std::find(trace.begin(), trace.end(), "WriteLanguageFile");
        if (!held) {
            EXPECT_EQ(written, trace.end());
            EXPECT_EQ(fs::file_size(folders.program / "Test.lng"), before);
            continue;
        }
        ASSERT_NE(written, trace.end());
        EXPECT_LT(written, std::find(trace.begin(), trace.end(), "SaveSettingsFile"));
        // The template holds every text: the translated ones and the English rest.
        std::ifstream file(folders.program / "Test.lng", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_GT(bytes.size(), before * 10);
    }
}

TEST(TZApplication, SettingsFileThatCannotBeWrittenIsReportedAndShutdownGoesOn) {
    Folders folders;
    fs::create_directories(folders.data / "Kestrun.cfg");  // a folder where the file should be
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    CloseWhenRunning(*app);
    EXPECT_EQ(app->Run(), 0);
    const auto errors = alerts.Texts("error");
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), u"Error saving the configuration file (6002).");
    const auto log = ReadLines(folders.data / "Kestrun.log");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(EndsWith(log[1], ": Kestrun Application End"));
}

TEST(TZApplication, UnreadableSplashIsSkippedWithoutAnAlert) {
    Folders folders;
    std::ofstream(folders.program / "Kestrun.tgs", std::ios::binary) << "not a Targa image";
    FakeAlerts alerts;
    Arguments arguments;
    auto app = MakeApplication(arguments, folders, alerts);
    bool splashShown = true;
    app->onHook = [&](TestApplication& self, const std::string& name) {
        if (name == "CreateDisplayWindow") {
            splashShown = self.Splash() != nullptr;
        } else if (name == "LoadEvent") {
            QTimer::singleShot(0, self.MainWindow(), [&self] { self.MainWindow()->close(); });
        }
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_FALSE(splashShown);
    EXPECT_TRUE(alerts.shown.empty());
}
