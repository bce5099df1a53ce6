// The application's scoreboards: created at their start-up step when Boot is set, offered on the
// Scoreboard menu, fed the sources' event by the main window's heartbeat, initialised by
// application event 10163, and stopped before the sources go.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <chrono>

#include "app/AppTestSupport.h"
#include "ports/KTCPSocket.h"
#include "scoreboards/ScoreboardTestSupport.h"
#include "sources/SourcesTestSupport.h"
#include "sources/TSources.h"

namespace {

// Source 1 listens on a port the system picks; scoreboard 1 dials the test's board.
class ScoreboardsWiring : public AppTest {
protected:
    TestApplication& MakeWithBoard(bool boot) {
        WriteBytes(program / "Results.kss", kResultsScript);
        WriteBytes(program / "board.vss",
                   ";;Initialization\r\n0INIT\r\n;;ResultsHeader\r\n0H\r\n;;Results\r\n3[%s]\r\n"
                   ";;ResultsTrailer\r\n0T\r\n");
        Make().onHook = [this, boot](TestApplication& self, const std::string& name) {
            if (name != "Sources") return;
            for (const KString& line : std::initializer_list<KString>{
                     u"Sources\\1\\SerialPort:String=-2,127.0.0.1,0",
                     u"Sources\\1\\Script:String=Results.kss",
                     u"Scoreboards\\Boot:Bool=" + ToKString(boot ? 1 : 0),
                     u"Scoreboards\\1\\Script:String=board.vss",
                     u"Scoreboards\\1\\SerialPort:String=" + board.Spec(), u"Scoreboards\\1\\Filter:Int=0"})
                self.Settings()->Define(line);
        };
        return *app;
    }
    static void Send(TestApplication& self, int event) {
        QEvent e(static_cast<QEvent::Type>(event));
        QCoreApplication::sendEvent(&self, &e);
    }

    LoopbackBoard board;
};

}  // namespace

TEST_F(ScoreboardsWiring, ResultsReachingASourceAreOnTheBoardAfterItsInitialisationAndBootOffMeansNoBoards) {
    KSocketHandle source;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool sent = false, done = false;
    MakeWithBoard(true).onIdle = [&](TestApplication& self, int) {
        if (!source.IsValid()) {
            EXPECT_NE(self.Scoreboards(), nullptr);
            EXPECT_TRUE(self.MainWindow()->MenuState().scoreboards);
            source = Client(dynamic_cast<KTCPSocket&>(*self.Sources()->LiveStream(0)).ListenPort());
            Send(self, TZApplication::kInitializeScoreboardsEvent);
        }
        const std::string& received = board.Received();
        // The results go out once the board is initialised, so INIT must come first.
        if (received.starts_with("INIT") && !std::exchange(sent, true))
            SendText(source, ResultsMessage("Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:01.20"},
                                                        {"2", "12", "Bo Day", "BBB", "17:05.31"}}));
        if ((received.find("H[11][12][]T") != std::string::npos ||
             std::chrono::steady_clock::now() > deadline) &&
            !std::exchange(done, true))
            self.MainWindow()->close();
    };
    EXPECT_EQ(Run({}, false), 0);
    app.reset();
    EXPECT_TRUE(board.Received().starts_with("INIT")) << board.Received();
    EXPECT_NE(board.Received().find("H[11][12][]T"), std::string::npos) << board.Received();

    MakeWithBoard(false);
    EXPECT_EQ(Run([](TestApplication& self) {
                  EXPECT_EQ(self.Scoreboards(), nullptr);
                  EXPECT_FALSE(self.MainWindow()->MenuState().scoreboards);
                  Send(self, TZApplication::kRefreshScoreboardsEvent);
              }),
              0);
    EXPECT_TRUE(alerts.Texts("error").empty());
}
