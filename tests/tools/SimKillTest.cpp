// A meet survives a crash: Kestrun killed outright in the middle of a simulated race comes back
// with the results it had received a few seconds before.
#include <gtest/gtest.h>

#include <span>
#include <thread>

#include "SimPort.h"
#include "SimRace.h"
#include "ports/KSocketTestSupport.h"
#include "scoring/EventFile.h"
#include "scoring/EventRecord.h"
#include "support/KKestrunProcess.h"

TEST(SimKill, KilledMidRaceKestrunRestartsWithTheResultsOfAFewSecondsBefore) {
#ifndef KESTRUN_PROGRAM
    GTEST_SKIP() << "built without the application";
#else
    using namespace std::chrono_literals;
    KTempFolder home;
    const std::filesystem::path data = home / "Documents" / "Velmar" / "Kestrun";
    std::filesystem::create_directories(data);
    const std::string port = std::to_string(FreePort(SOCK_STREAM));  // nothing listens on it now
    WriteBytes(
        data / "Kestrun.cfg",
        "Registry Version: 1.00\r\n\\:,1=\r\n\\Sources\\1\\SerialPort:String=-2,127.0.0.1," + port + "\r\n");

    const SimRace race = GenerateRace(80, 5, 11);
    const GatemarkEvent event{u"Unofficial", u"Crash 5K", {}, u"1", u"1", u"1", u"Mass", 80};
    constexpr size_t kKept = 20;
    {
        KKestrunProcess kestrun(KESTRUN_PROGRAM, home.Path());
        ASSERT_TRUE(kestrun.WaitStarted());
        SimPort timing("-1,127.0.0.1," + port);
        ASSERT_TRUE(timing.WaitConnected(30s));
        // A finisher every 100 ms, without a pause: the last 4 s before the kill need not be kept.
        auto lastKept = SimPort::Clock::now();
        for (size_t finished = 1; finished <= race.finishers.size(); ++finished) {
            for (const std::string& message :
                 EncodeGatemarkResults(event, std::span(race.finishers).first(finished)))
                timing.Send(message, 5s);
            if (finished == kKept) lastKept = SimPort::Clock::now();
            if (finished > kKept && SimPort::Clock::now() - lastKept > 4s) break;
            std::this_thread::sleep_for(100ms);
        }
        ASSERT_EQ(kestrun.Stop(SIGKILL), 128 + SIGKILL);
    }
    std::filesystem::remove(data / "Kestrun.log");  // so the start line seen is the new one's
    {
        KKestrunProcess kestrun(KESTRUN_PROGRAM, home.Path());
        ASSERT_TRUE(kestrun.WaitStarted());
        ASSERT_EQ(kestrun.Stop(SIGTERM), 0);  // stores the event it loaded
    }
    EventRecord stored;
    ASSERT_TRUE(EventFile::Load(stored, EventFile::PathIn(home / "Documents")));
    EventRecord::ScopedLock lock(stored);
    EXPECT_EQ(stored.Name(), u"Crash 5K");
    for (size_t i = 0; i < kKept; ++i) {
        const ResultRecord* result = stored.Results().Find(TextField::Id, race.finishers[i].id);
        EXPECT_EQ(result ? FormatTime(result->Time(), kTicksUnit) : u"missing", race.finishers[i].time) << i;
    }
#endif
}
