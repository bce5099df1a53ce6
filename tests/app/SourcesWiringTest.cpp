// The application's sources: created at their start-up step, polled on every idle pass while the
// loop waits on their descriptors, and their event loaded at start and stored soon after updates.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "app/AppTestSupport.h"
#include "app/TZApplication.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KTCPSocket.h"
#include "scoring/EventFile.h"
#include "scoring/EventRecord.h"
#include "settings/KRegistry.h"
#include "sources/SourcesTestSupport.h"
#include "sources/TSources.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Source 1 of the default table listens on a port the system picks, with the test script.
class SourcesApplication : public TZApplication {
public:
    using TZApplication::TZApplication;
    std::function<void(SourcesApplication&)> running;  // once the event is loaded
    std::function<bool(SourcesApplication&)> idle;     // true ends the run
    bool WokenByDescriptor() const { return !WokenDescriptors().empty(); }

protected:
    void StartupHook(const std::string& name) override {
        TZApplication::StartupHook(name);
        if (name == "Sources") {
            Settings()->Define(u"Sources\\1\\SerialPort:String=-2,127.0.0.1,0");
            Settings()->Define(u"Sources\\1\\Script:String=Results.kss");
        }
        if (name == "LoadEvent" && running) running(*this);
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

TEST(SourcesWiring, ResultsArrivingWhileTheLoopWaitsAreReadAtOnceStoredSoonAfterAndLoadedUnofficial) {
    KTempFolder root;
    for (const char* folder : {"program", "documents", "run"}) fs::create_directories(root / folder);
    fs::copy_file(fs::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc", root / "program" / "Kestrun.rcc");
    WriteBytes(root / "program" / "Results.kss", kResultsScript);
    const fs::path eventFile = EventFile::PathIn(root / "documents");
    FakeAlerts alerts;
    QtArguments arguments;
    const auto make = [&] {
        TZApplicationSetup setup{root / "program" / "Kestrun",
                                 root / "documents",
                                 root / "run",
                                 &alerts,
                                 false,
                                 [] { return false; },
                                 u"en_US"};
        return std::make_unique<SourcesApplication>(
            arguments.argc, arguments.argv, TCommandLine(setup.programFile.string(), "-noserialport"), setup);
    };

    // The message goes out in pieces from another thread, each in the middle of one of the loop's
    // waits once start-up's window events are over.
    const std::string message = ResultsMessage(
        "Boys 5K", {{"1", "11", "Ann Lee", "AAA", "17:01.20"}, {"2", "12", "Bo Day", "BBB", "17:05.31"}});
    constexpr int kPieces = 5;
    const auto Piece = [&](int i) { return i * message.size() / kPieces; };  // where piece i starts
    KSocketHandle client;
    std::thread sender;
    std::atomic<int> read = 0;
    Clock::time_point sentAt[kPieces], readAt[kPieces];
    int wokenByDescriptor = 0;
    const Clock::time_point start = Clock::now();
    {
        auto app = make();
        app->running = [&](SourcesApplication& self) {
            client = Client(dynamic_cast<KTCPSocket&>(*self.Sources()->LiveStream(0)).ListenPort());
        };
        app->idle = [&](SourcesApplication& self) {
            if (!sender.joinable() && self.IdleCount() >= 3) {
                sender = std::thread([&] {
                    for (int i = 0; i < kPieces; ++i) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(7 + i));
                        sentAt[i] = Clock::now();
                        SendText(client, message.substr(Piece(i), Piece(i + 1) - Piece(i)));
                        for (const auto until = Clock::now() + std::chrono::seconds(2);
                             read <= i && Clock::now() < until;)
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                });
            }
            const unsigned long long chars = self.Sources()->CharsRead();
            while (read < kPieces && chars >= Piece(read + 1)) {
                wokenByDescriptor += self.WokenByDescriptor() ? 1 : 0;
                readAt[read++] = Clock::now();
            }
            // The file follows the feed within a few seconds, without waiting for the exit.
            return (read == kPieces && fs::exists(eventFile)) ||
                   Clock::now() - start > std::chrono::seconds(10);
        };
        EXPECT_EQ(app->Run(), 0);
        if (sender.joinable()) sender.join();
    }
    ASSERT_EQ(read, kPieces);
    EXPECT_EQ(wokenByDescriptor, kPieces) << "the descriptor, not the end of a wait, woke the loop";
    std::string latencies;
    for (int i = 0; i < kPieces; ++i)
        latencies +=
            std::to_string(std::chrono::duration<double, std::milli>(readAt[i] - sentAt[i]).count()) + " ";
    RecordProperty("latency_ms", latencies);
    EventRecord kept;
    ASSERT_TRUE(EventFile::Load(kept, eventFile));
    EXPECT_EQ(kept.Results().Size(), 2u);

    auto again = make();
    again->running = [](SourcesApplication& self) {
        EventRecord& event = self.Sources()->Event();
        EventRecord::ScopedLock lock(event);
        EXPECT_EQ(event.Results().Size(), 2u);
        EXPECT_EQ(event.Standings().Size(), 2u);
        EXPECT_FALSE(event.Standings().IsOfficial());
    };
    again->idle = [](SourcesApplication&) { return true; };
    EXPECT_EQ(again->Run(), 0);
    EXPECT_TRUE(alerts.Texts("error").empty());
}
