// The application's sources: created at their start-up step, polled on every idle pass while the
// loop waits on their descriptors, and their event loaded at start, stored soon after updates and
// at exit.
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

class SourcesApplication : public TZApplication {
public:
    using TZApplication::TZApplication;
    std::function<void(SourcesApplication&)> running;  // called once the event is loaded
    std::function<bool(SourcesApplication&)> idle;     // true ends the run
    /// Did a watched descriptor end the wait before this idle pass?
    bool WokenByDescriptor() const { return !WokenDescriptors().empty(); }

protected:
    void StartupHook(const std::string& name) override {
        TZApplication::StartupHook(name);
        // Source 1 of the default table listens on a port the system picks, with the test script.
        if (name == "Sources") {
            Settings()->Define(u"Sources\\1\\SerialPort:String=-2,127.0.0.1,0");
            Settings()->Define(u"Sources\\1\\Script:String=Results.kss");
        }
        if (name == "LoadEvent" && running) running(*this);
    }
    bool Idle(int count) override {
        const bool again = TZApplication::Idle(count);
        if (idle && MainWindow() != nullptr && idle(*this)) {
            idle = nullptr;
            MainWindow()->close();
        }
        return again;
    }
};

class SourcesWiringTest : public ::testing::Test {
protected:
    SourcesWiringTest() {
        for (const fs::path& folder : {program, documents, runtime}) fs::create_directories(folder);
        fs::copy_file(fs::path(KESTRUN_PROGRAM).parent_path() / "Kestrun.rcc", program / "Kestrun.rcc");
        WriteBytes(program / "Results.kss", kResultsScript);
    }

    SourcesApplication& Make() {
        app.reset();
        TZApplicationSetup setup;
        setup.programFile = program / "Kestrun";
        setup.documentsFolder = documents;
        setup.runtimeFolder = runtime;
        setup.alerts = &alerts;
        setup.controlShiftHeld = [] { return false; };
        setup.systemLocale = u"en_US";
        app = std::make_unique<SourcesApplication>(
            arguments.argc, arguments.argv, TCommandLine(setup.programFile.string(), "-noserialport"), setup);
        return *app;
    }
    static uint16_t ListenPort(SourcesApplication& self) {
        return dynamic_cast<KTCPSocket&>(*self.Sources()->LiveStream(0)).ListenPort();
    }
    static size_t ResultCount(SourcesApplication& self) {
        EventRecord& event = self.Sources()->Event();
        EventRecord::ScopedLock lock(event);
        return event.Results().Size();
    }

    KTempFolder root;
    fs::path program = root / "program";
    fs::path documents = root / "documents";
    fs::path runtime = root / "run";
    fs::path eventFile = EventFile::PathIn(documents);
    FakeAlerts alerts;
    QtArguments arguments;
    std::unique_ptr<SourcesApplication> app;
};

const std::vector<TestLine> kRunners = {{"1", "11", "Ann Lee", "AAA", "17:01.20"},
                                        {"2", "12", "Bo Day", "BBB", "17:05.31"}};

}  // namespace

TEST_F(SourcesWiringTest, ResultsArrivingWhileRunningAreStoredSoonAfterAndComeBackUnofficialAtTheNextStart) {
    KSocketHandle client;
    Clock::time_point sent;
    bool stored = false;
    SourcesApplication& first = Make();
    first.running = [&](SourcesApplication& self) {
        ASSERT_NE(self.Sources(), nullptr);
        client = Client(ListenPort(self));
    };
    first.idle = [&](SourcesApplication&) {
        if (sent == Clock::time_point()) {
            sent = Clock::now();
            SendText(client, ResultsMessage("Boys 5K", kRunners));
        }
        // The file follows the feed within a few seconds, without waiting for the exit.
        stored = fs::exists(eventFile);
        return stored || Clock::now() - sent > std::chrono::seconds(5);
    };
    EXPECT_EQ(first.Run(), 0);
    ASSERT_TRUE(stored);
    EventRecord kept;
    ASSERT_TRUE(EventFile::Load(kept, eventFile));
    EXPECT_EQ(kept.Results().Size(), 2u);
    EXPECT_EQ(kept.Name(), u"Boys 5K");

    SourcesApplication& second = Make();
    second.running = [](SourcesApplication& self) {
        EventRecord& event = self.Sources()->Event();
        EventRecord::ScopedLock lock(event);
        EXPECT_EQ(event.Results().Size(), 2u);
        EXPECT_EQ(event.Standings().Size(), 2u);
        EXPECT_FALSE(event.Standings().IsOfficial());
    };
    second.idle = [](SourcesApplication&) { return true; };
    EXPECT_EQ(second.Run(), 0);
    EXPECT_TRUE(alerts.Texts("error").empty());
}

TEST_F(SourcesWiringTest, ByteArrivingWhileTheLoopWaitsIsReadWithinMilliseconds) {
    constexpr int kBytes = 5;
    KSocketHandle client;
    std::atomic<int> read = 0;
    Clock::time_point sentAt[kBytes], readAt[kBytes];
    int wokenByDescriptor = 0;
    std::thread sender;
    SourcesApplication& self = Make();
    self.running = [&](SourcesApplication& running) { client = Client(ListenPort(running)); };
    const auto startSender = [&] {
        // Each byte goes out from another thread in the middle of one of the loop's waits.
        sender = std::thread([&] {
            for (int i = 0; i < kBytes; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(7 + i));
                sentAt[i] = Clock::now();
                SendText(client, "x");
                const auto deadline = Clock::now() + std::chrono::seconds(2);
                while (read <= i && Clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    };
    const Clock::time_point start = Clock::now();
    self.idle = [&](SourcesApplication& running) {
        // Once the client is taken and the start-up's window events are over, the loop only waits.
        if (!sender.joinable() && running.IdleCount() >= 3) startSender();
        const auto chars = static_cast<int>(running.Sources()->CharsRead());
        while (read < std::min(chars, kBytes)) {
            wokenByDescriptor += running.WokenByDescriptor() ? 1 : 0;
            readAt[read++] = Clock::now();
        }
        return read == kBytes || Clock::now() - start > std::chrono::seconds(10);
    };
    EXPECT_EQ(self.Run(), 0);
    if (sender.joinable()) sender.join();
    ASSERT_EQ(read, kBytes);
    // The byte's descriptor ended the wait, rather than the wait running out.
    EXPECT_EQ(wokenByDescriptor, kBytes);
    std::string latencies;
    for (int i = 0; i < kBytes; ++i) {
        latencies +=
            std::to_string(std::chrono::duration<double, std::milli>(readAt[i] - sentAt[i]).count()) + " ";
    }
    RecordProperty("latency_ms", latencies);
}
