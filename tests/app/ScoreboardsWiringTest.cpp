// The application's scoreboards: created at their start-up step when Boot is set, offered on the
// Scoreboard menu, fed the sources' event by the main window's heartbeat, initialised by
// application event 10163, and stopped before the sources go.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <chrono>

#include "app/AppTestSupport.h"
#include "scoreboards/ScoreboardTestSupport.h"

namespace {

// Scoreboard 1 runs the scoreboard tests' script and dials the test's board.
class ScoreboardsWiring : public AppTest {
protected:
    TestApplication& MakeWithBoard(bool boot) {
        WriteBytes(program / "board.vss", kTestScript);
        Make().onHook = [this, boot](TestApplication& self, const std::string& name) {
            if (name == "Sources")
                self.Settings()->AddTable({u"Scoreboards\\Boot:Bool=" + ToKString(boot ? 1 : 0),
                                           u"Scoreboards\\1\\Script:String=board.vss",
                                           u"Scoreboards\\1\\SerialPort:String=" + board.Spec()});
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

TEST_F(ScoreboardsWiring,
       BootedBoardsAreOnTheMenuAndGetTheirInitialisationAndTheEventAndBootOffMeansNoBoards) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // The window's heartbeat gives the boards the sources' event: its page, empty yet, goes out.
    MakeWithBoard(true).onIdle = [&](TestApplication& self, int) {
        if (board.Received().find("H[][][]T") != std::string::npos ||
            std::chrono::steady_clock::now() > deadline)
            self.MainWindow()->close();
    };
    const auto started = [](TestApplication& self) {
        EXPECT_TRUE(self.MainWindow()->MenuState().scoreboards);
        Send(self, TZApplication::kInitializeScoreboardsEvent);
    };
    EXPECT_EQ(Run(started, false), 0);
    app.reset();
    EXPECT_EQ(board.Received(), "INITH[][][]T");

    MakeWithBoard(false);
    EXPECT_EQ(Run([](TestApplication& self) {
                  EXPECT_EQ(self.Scoreboards(), nullptr);
                  EXPECT_FALSE(self.MainWindow()->MenuState().scoreboards);
                  Send(self, TZApplication::kRefreshScoreboardsEvent);
              }),
              0);
    EXPECT_TRUE(alerts.shown.empty());
}
