// The application's sources: created at their start-up step, polled on every idle pass while the
// loop waits on their descriptors, and their event loaded at start and stored soon after updates.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "app/AppTestSupport.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KTCPSocket.h"
#include "scoring/EventFile.h"
#include "scoring/EventRecord.h"
#include "settings/KRegistry.h"
#include "sources/SourcesTestSupport.h"
#include "sources/TSources.h"

namespace {

using Clock = std::chrono::steady_clock;

// Source 1 of the default table listens on a port the system picks, with the test script.
class SourcesWiring : public AppTest {
protected:
    TestApplication& MakeWithSource() {
        WriteBytes(program / "Results.kss", kResultsScript);
        Make().onHook = [](TestApplication& self, const std::string& name) {
            if (name != "Sources") return;
            self.Settings()->Define(u"Sources\\1\\SerialPort:String=-2,127.0.0.1,0");
            self.Settings()->Define(u"Sources\\1\\Script:String=Results.kss");
        };
        return *app;
    }
};

}  // namespace

TEST_F(SourcesWiring, ResultsArrivingWhileTheLoopWaitsAreReadAtOnceStoredSoonAfterAndLoadedUnofficial) {
    const std::filesystem::path eventFile = EventFile::PathIn(documents);
    // The message goes out in pieces from another thread, each in the middle of one of the loop's
    // waits once start-up's window events are over.
    const std::string message = ResultsMessage(
        "Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:01.20"}, {"2", "12", "Bo Day", "BBB", "17:05.31"}});
    constexpr int kPieces = 5;
    const auto Piece = [&](int i) { return i * message.size() / kPieces; };  // where piece i starts
    KSocketHandle client;
    std::thread sender;
    std::atomic<int> read = 0;
    int wokenByDescriptor = 0;
    bool closed = false;
    const Clock::time_point start = Clock::now();
    MakeWithSource().onIdle = [&](TestApplication& self, int) {
        if (!sender.joinable() && self.IdleCount() >= 3) {
            sender = std::thread([&] {
                for (int i = 0; i < kPieces; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(7 + i));
                    SendText(client, message.substr(Piece(i), Piece(i + 1) - Piece(i)));
                    PollUntil([&] { return read > i; });
                }
            });
        }
        const unsigned long long chars = self.Sources()->CharsRead();
        for (; read < kPieces && chars >= Piece(read + 1); ++read)
            wokenByDescriptor += self.WokenByDescriptor() ? 1 : 0;
        // The file follows the feed within a few seconds, without waiting for the exit.
        const bool done = read == kPieces && std::filesystem::exists(eventFile);
        if ((done || Clock::now() - start > std::chrono::seconds(10)) && !std::exchange(closed, true))
            self.MainWindow()->close();
    };
    EXPECT_EQ(Run(
                  [&](TestApplication& self) {
                      client = Client(dynamic_cast<KTCPSocket&>(*self.Sources()->LiveStream(0)).ListenPort());
                  },
                  false),
              0);
    if (sender.joinable()) sender.join();
    ASSERT_EQ(read, kPieces);
    EXPECT_EQ(wokenByDescriptor, kPieces) << "the descriptor, not the end of a wait, woke the loop";
    EXPECT_TRUE(alerts.shown.empty());

    MakeWithSource();
    EXPECT_EQ(Run([](TestApplication& self) {
                  EventRecord& event = self.Sources()->Event();
                  EventRecord::ScopedLock lock(event);
                  EXPECT_EQ(event.Results().Size(), 2u);
                  EXPECT_EQ(event.Standings().Size(), 2u);
                  EXPECT_FALSE(event.Standings().IsOfficial());
              }),
              0);
    EXPECT_TRUE(alerts.shown.empty());
}
