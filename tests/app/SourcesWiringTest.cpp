// The application's sources: created at their start-up step, polled on every idle pass while the
// loop waits on their descriptors, and their event loaded at start and stored soon after updates.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>

#include "app/AppTestSupport.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KTCPSocket.h"
#include "scoring/EventFile.h"
#include "scoring/EventRecord.h"
#include "sources/SourcesTestSupport.h"
#include "sources/TSources.h"

using SourcesWiring = AppTest;

TEST_F(SourcesWiring, ResultsArrivingWhileTheLoopWaitsAreReadAtOnceStoredSoonAfterAndLoadedUnofficial) {
    using namespace std::chrono_literals;
    KSocketHandle client;
    std::thread sender;
    bool read = false, wokenByDescriptor = false, closed = false;
    const auto start = std::chrono::steady_clock::now();
    // Source 1 listens on a port the system picks, with the test script.
    std::filesystem::create_directories(data);
    WriteBytes(data / "Kestrun.cfg",
               "Registry Version: 1.00\r\n\\:,1=\r\n\\Sources\\1\\SerialPort:String=-2,127.0.0.1,0\r\n"
               "\\Sources\\1\\Script:String=Results.kss\r\n");
    WriteBytes(program / "Results.kss", kResultsScript);
    Make().onIdle = [&](TestApplication& self, int) {
        // Another thread connects and, in the middle of one of the loop's waits, sends a message, once
        // start-up's window events are over.
        if (!sender.joinable() && self.IdleCount() >= 3) {
            const uint16_t port = dynamic_cast<KTCPSocket&>(*self.Sources()->LiveStream(0)).ListenPort();
            sender = std::thread([&client, port] {
                client = Client(port);
                std::this_thread::sleep_for(7ms);
                SendText(client, ResultsMessage("Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:01.20"}}));
            });
        }
        if (!read && self.Sources()->CharsRead() > 0)
            read = true, wokenByDescriptor = self.WokenByDescriptor();
        // The file follows the feed within a few seconds, without waiting for the exit.
        const bool done = read && std::filesystem::exists(EventFile::PathIn(documents));
        if ((done || std::chrono::steady_clock::now() - start > 10s) && !std::exchange(closed, true))
            self.MainWindow()->close();
    };
    EXPECT_EQ(Run({}, false), 0);
    if (sender.joinable()) sender.join();
    ASSERT_TRUE(read);
    EXPECT_TRUE(wokenByDescriptor) << "the descriptor, not the end of a wait, woke the loop";
    EXPECT_TRUE(alerts.shown.empty());

    Make();
    EXPECT_EQ(Run([](TestApplication& self) {
                  EventRecord& event = self.Sources()->Event();
                  EventRecord::ScopedLock lock(event);
                  EXPECT_EQ(event.Results().Size(), 1u);
                  EXPECT_EQ(event.Standings().Size(), 1u);
                  EXPECT_FALSE(event.Standings().IsOfficial());
              }),
              0);
    EXPECT_TRUE(alerts.shown.empty());
}
