// The application's scoreboards: created at their start-up step when Boot is set, fed the sources'
// event by the idle pass, initialised by application event 10163, and stopped before the sources go.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <chrono>
#include <functional>

#include "app/AppTestSupport.h"
#include "app/TZApplication.h"
#include "ports/KTCPSocket.h"
#include "scoreboards/ScoreboardTestSupport.h"
#include "settings/KRegistry.h"
#include "sources/SourcesTestSupport.h"
#include "sources/TSources.h"

namespace {

namespace fs = std::filesystem;

constexpr char kBoardScript[] =
    ";;Initialization\r\n0INIT\r\n;;ResultsHeader\r\n0H\r\n;;Results\r\n3[%s]\r\n;;ResultsTrailer\r\n0T\r\n";

// Source 1 listens on a port the system picks; scoreboard 1 dials the test's board.
class BoardApplication : public TZApplication {
public:
    using TZApplication::TZApplication;
    KString boardSpec;
    bool boot = true;
    std::function<bool(BoardApplication&)> idle;  // true ends the run

protected:
    void StartupHook(const std::string& name) override {
        if (name == "Scoreboards") {
            Settings()->Define(u"Scoreboards\\Boot:Bool=" + ToKString(boot ? 1 : 0));
            Settings()->Define(u"Scoreboards\\1\\Script:String=board.vss");
            Settings()->Define(u"Scoreboards\\1\\SerialPort:String=" + boardSpec);
            Settings()->Define(u"Scoreboards\\1\\Filter:Int=0");
        }
        TZApplication::StartupHook(name);
        if (name == "Sources") {
            Settings()->Define(u"Sources\\1\\SerialPort:String=-2,127.0.0.1,0");
            Settings()->Define(u"Sources\\1\\Script:String=Results.kss");
        }
    }
    bool Idle(int count) override {
        const bool again = TZApplication::Idle(count);
        if (idle && idle(*this)) {
            idle = nullptr;
            MainWindow()->close();
        }
        return again;
    }
};

}  // namespace

TEST(ScoreboardsWiring, ResultsReachingASourceAreOnTheBoardAfterItsInitialisationAndBootOffMeansNoBoards) {
    KTempFolder root;
    for (const char* folder : {"program", "documents", "run"}) fs::create_directories(root / folder);
    fs::copy_file(fs::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc", root / "program" / "Kestrun.rcc");
    WriteBytes(root / "program" / "Results.kss", kResultsScript);
    WriteBytes(root / "program" / "board.vss", kBoardScript);
    LoopbackBoard board;
    FakeAlerts alerts;
    QtArguments arguments;
    TZApplicationSetup setup{
        root / "program" / "Kestrun", root / "documents", root / "run", &alerts, false, {}, u"en_US"};
    setup.controlShiftHeld = [] { return false; };
    const auto make = [&](bool boot) {
        auto app = std::make_unique<BoardApplication>(
            arguments.argc, arguments.argv, TCommandLine(setup.programFile.string(), "-noserialport"), setup);
        app->boardSpec = board.Spec();
        app->boot = boot;
        return app;
    };

    KSocketHandle source;
    auto app = make(true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool sent = false;
    app->idle = [&](BoardApplication& self) {
        if (!source.IsValid()) {
            EXPECT_NE(self.Scoreboards(), nullptr);
            source = Client(dynamic_cast<KTCPSocket&>(*self.Sources()->LiveStream(0)).ListenPort());
            QEvent initialize(static_cast<QEvent::Type>(TZApplication::kInitializeScoreboardsEvent));
            QCoreApplication::sendEvent(&self, &initialize);
        }
        const std::string& received = board.Received();
        // The results go out once the board is initialised, so INIT must come first.
        if (received.starts_with("INIT") && !std::exchange(sent, true))
            SendText(source, ResultsMessage("Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:01.20"},
                                                        {"2", "12", "Bo Day", "BBB", "17:05.31"}}));
        return received.find("H[11][12][]T") != std::string::npos ||
               std::chrono::steady_clock::now() > deadline;
    };
    EXPECT_EQ(app->Run(), 0);
    app.reset();
    EXPECT_TRUE(board.Received().starts_with("INIT")) << board.Received();
    EXPECT_NE(board.Received().find("H[11][12][]T"), std::string::npos) << board.Received();

    app = make(false);
    app->idle = [](BoardApplication& self) {
        EXPECT_EQ(self.Scoreboards(), nullptr);
        QEvent refresh(static_cast<QEvent::Type>(TZApplication::kRefreshScoreboardsEvent));
        QCoreApplication::sendEvent(&self, &refresh);
        return true;
    };
    EXPECT_EQ(app->Run(), 0);
    EXPECT_TRUE(alerts.Texts("error").empty());
}
