#include "scoreboards/VScoreboards.h"

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

#include "scoreboards/ScoreboardTestSupport.h"

constexpr int64_t kHour = 3600 * 1000;

TEST(Scoreboards, InitializeGoesToTheFirstBoardOnlyMessagesToEveryBoardAndTheClockShowsTimeOfDayOrRawTime) {
    ScoreboardFixture f(2);
    for (const int n : {1, 2}) f.Set(n, u"ResultsMode:Int=0");
    f.settings.Define(u"\\Scoreboards\\Optimize:Int=0");
    VScoreboards& manager = f.Start();
    manager.RequestInitialize();
    EXPECT_EQ(f.At(1000), "INIT");
    EXPECT_EQ(f.At(1100, 2), "");
    // CR LF and LF CR are one break each, two single breaks an empty line; a break at the end adds none.
    EXPECT_EQ(f.Message(u"Lap\r\nTwo\n\rThree\r\rFive\n", 1200), "<mLap;mTwo;mThree;m;mFive;>");
    EXPECT_EQ(f.Board(2).Take(), "<mLap;mTwo;mThree;m;mFive;>");
    EXPECT_EQ(f.Board(2).writes, 7) << "Optimize 0 writes each line";
    manager.SetMessageText(manager.GetMessageText());
    EXPECT_EQ(manager.GetMessageText(), u"Lap\r\nTwo\r\nThree\r\n\r\nFive\r\n");
    EXPECT_EQ(f.Message(u"", 1300), "<>");
    // The time of day in 12 or 24 hours.
    manager.SetShowTimeOfDay(true);
    uint32_t now = 2000;
    const auto shown = [&](int64_t timeOfDay) {
        f.timeOfDay = timeOfDay;
        return f.At(now += 1000);
    };
    EXPECT_EQ(shown(13 * kHour + 5 * 60000 + 7300), "T1:05:07.3  |");
    EXPECT_EQ(shown(12 * kHour + 30 * 60000), "T12:30:00.0  |");
    EXPECT_EQ(shown(15 * 60000), "T15:00.0  |");
    manager.SetUse24Hour(true);
    EXPECT_EQ(shown(13 * kHour + 5 * 60000 + 7300), "T13:05:07.3  |");
    // TimeMode 2: the raw running time instead of the time of day.
    manager.SetShowTimeOfDay(false);
    f.Set(1, u"TimeMode:Int=2");
    f.Set(1, u"TimeAdjust:Int=1500");
    EXPECT_EQ(shown(10 * kHour), "R10:00:01.5  |");
    f.Set(1, u"TimeAdjust:Int=-5000");
    EXPECT_EQ(shown(1000), "R0.0  |");
}

TEST(Scoreboards, EachOffsetIsShownOnBothScriptPagesInTurnAndAChangeIsSentOnlyWhenItIsOnThePageShown) {
    ScoreboardFixture f(1, std::string(kTestScript) + ";;Results[1]\r\n3(%s)\r\n");
    f.settings.Define(u"\\Scoreboards\\Optimize:Int=2");
    f.AddRunners(7);
    f.Start();
    // Changes the fifth runner, Id 15.
    const auto edit = [&](void (ResultRecord::*set)(KStringView), KStringView text) {
        EventRecord::ScopedLock lock(f.event);
        (f.event.Results().At(4)->*set)(text);
    };
    EXPECT_EQ(f.At(1000), "H[11][12][13]T");
    edit(&ResultRecord::SetLastName, u"Moved");
    EXPECT_EQ(f.At(3000), "");
    EXPECT_EQ(f.At(6000), "H(11)(12)(13)T")
        << "the next page is due 5 s after the first, not after the change";
    EXPECT_EQ(f.At(11000), "H[14][15][16]T");
    edit(&ResultRecord::SetId, u"99");
    EXPECT_EQ(f.At(12000), "H[14][99][16]T") << "a change on the page shown is sent at once";
    for (uint32_t now = 12100; now < 17000; now += 100) EXPECT_EQ(f.At(now), "");
    EXPECT_EQ(f.At(17000), "H(14)(99)(16)T");
    EXPECT_EQ(f.At(22000), "H[17][][]T");
    EXPECT_EQ(f.At(27000), "H(17)()()T");
    EXPECT_EQ(f.At(32000), "H[11][12][13]T");
    EXPECT_EQ(f.At(37000), "H(11)(12)(13)T");
    EXPECT_EQ(f.Board(1).writes, 9) << "Optimize 2: each update in one write";
    f.manager->DetachEvent(&f.event);
    f.manager->AttachEvent(&f.event);
    EXPECT_EQ(f.At(37100), "H[11][12][13]T") << "a new event starts at the top of the list";
    f.Set(1, u"SerialPort:String=0,9");
    EXPECT_EQ(f.At(37200, 9), "H[11][12][13]T") << "a new port gets the page shown";
    EXPECT_EQ(f.Board(1).Take(), "");
}

TEST(Scoreboards, ChangedResultsWaitForTheUpdateHoldTheMinimumDelayOrAManualRefresh) {
    // Steps: the time of the period, the runners added before it (-1 asks for a refresh instead)
    // and what the board receives.
    const std::pair<const char16_t*, std::vector<std::tuple<uint32_t, int, const char*>>> cases[] = {
        {u"UpdateHold:Int=500",
         {{1000, 1, ""}, {1300, 1, ""}, {1600, 1, ""}, {2000, 0, ""}, {2100, 0, "H[11][12][13]T"}}},
        {u"MinUpdateDelay:Int=1000", {{1000, 1, "H[11]T"}, {1500, 1, ""}, {2000, 0, "H[11][12]T"}}},
        {u"ResultsMode:Int=2", {{1000, 2, ""}, {9000, 1, ""}, {9100, -1, "H[11][12][13]T"}, {20000, 1, ""}}},
    };
    for (const auto& [setting, steps] : cases) {
        SCOPED_TRACE(ToUtf8(setting));
        ScoreboardFixture f;
        f.Set(1, setting);
        f.Set(1, u"PageMode:Int=0");
        f.Start();
        for (const auto& [now, added, expected] : steps) {
            if (added < 0) f.manager->Refresh();
            f.AddRunners(std::max(added, 0));
            EXPECT_EQ(f.At(now), expected) << now;
        }
    }
}

TEST(Scoreboards, ABoardWhosePeerIsGoneNeverSlowsTheOthersAndABusyOneGetsOnlyTheCurrentPageLater) {
    ScoreboardFixture f(4);
    KSocketHandle gone = BoundSocket(SOCK_STREAM);  // bound, never listening: connects are refused
    KSocketHandle listener = BoundSocket(SOCK_STREAM);
    ASSERT_EQ(::listen(listener.Get(), 1), 0);
    f.Set(1, u"SerialPort:String=" + NetSpec(-1, "127.0.0.1", LocalPort(gone)));
    f.Set(3, u"SerialPort:String=" + NetSpec(-1, "127.0.0.1", LocalPort(listener)));
    f.Set(2, u"PageMode:Int=0");
    f.AddRunners(2);
    f.Board(4).ready = false;
    f.Start();
    KSocketHandle peer(::accept(listener.Get(), nullptr, nullptr));
    f.manager->RunPeriod(1000);
    EXPECT_EQ(ReceiveText(peer, 12), "H[11][12][]T");
    // A board that restarts is redialled and gets the page it showed, though nothing changed.
    peer.Reset();
    f.manager->RunPeriod(1050);
    peer.Reset(::accept(listener.Get(), nullptr, nullptr));
    f.manager->RunPeriod(1060);
    EXPECT_EQ(ReceiveText(peer, 12), "H[11][12][]T");
    peer.Reset();  // and goes away for good
    const auto start = std::chrono::steady_clock::now();
    for (uint32_t now = 1100; now < 3000; now += 100) {
        f.AddRunners(1);
        EXPECT_EQ(f.At(now, 2).substr(0, 9), "H[11][12]") << now;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    f.Board(4).ready = true;
    EXPECT_EQ(f.At(3000, 4), "H[11][12][13]T");
    EXPECT_EQ(f.Board(4).writes, 1) << "Optimize 1: each update in one write";
}
