#include "scoring/TeamScoring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "TeamScoringSupport.h"
#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/NonScoringAffiliations.h"

namespace {

/// One runner as a source would deliver it.
struct Runner {
    KString team;
    int32_t place = -1;             ///< -1: none given (the sort places finishers)
    std::optional<double> seconds;  ///< finishing time
    ResultCode code = ResultCode::None;
    int32_t laps = 0;
    std::optional<double> split;  ///< cumulative split time
};

TimeValue Seconds(double seconds) {
    return TimeValue(TickCount::FromInt64(static_cast<int64_t>(seconds * 80000 + 0.5)), kTicksHundredth);
}

Runner MakeRunner(KString team, int32_t place, std::optional<double> seconds,
                  ResultCode code = ResultCode::None, int32_t laps = 0,
                  std::optional<double> split = std::nullopt) {
    Runner r;
    r.team = std::move(team);
    r.place = place;
    r.seconds = seconds;
    r.code = code;
    r.laps = laps;
    r.split = split;
    return r;
}

/// A finisher whose time follows its place, so places and times agree.
Runner Finisher(KString team, int32_t place) { return MakeRunner(std::move(team), place, 600.0 + place); }

class RecordingProgress : public TScoringProgress {
public:
    void SetStatusText(const KString& text) override { calls.push_back("status:" + ToUtf8(text)); }
    void SetProgress(int percent) override {
        lastPercent = percent;
        ++progressCalls;
    }
    void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }

    std::vector<std::string> calls;
    int lastPercent = -1;
    int progressCalls = 0;
};

class TeamScoringTest : public ::testing::Test {
protected:
    TeamScoringTest() {
        AddScoringDefaults(settings);
        nonScoring.Rebuild();
    }

    void Add(const std::vector<Runner>& runners) {
        for (const Runner& r : runners) {
            ResultRecord* record = event.Results().Add();
            record->SetId(ToKString(++m_nextId));
            record->SetAffiliation(r.team);
            if (r.place >= 0) record->SetPlace(r.place);
            if (r.seconds) record->SetTime(Seconds(*r.seconds));
            if (r.code != ResultCode::None) record->SetCode(r.code);
            record->SetLapsToGo(r.laps);
            if (r.split) record->SetCumSplitTime(Seconds(*r.split));
        }
    }
    void AddTeam(const KString& team, std::initializer_list<int32_t> places) {
        for (int32_t place : places) Add({Finisher(team, place)});
    }
    void Set(const char16_t* path, int32_t value) {
        if (KRInt* node = settings.FindInt(path)) {
            node->SetValue(value);
        } else {
            settings.FindBool(path)->SetValue(value != 0);
        }
    }

    /// "team:place:points:scorers:members" per team line, in standings order.
    std::string Standings(bool finalize = false) {
        scoring.CalculateStandings(event, finalize);
        std::string out;
        for (ResultRecord& team : event.Standings().Sorted()) {
            if (!out.empty()) out += " | ";
            out += ToUtf8(team.Affiliation()) + ":" + std::to_string(team.Place()) + ":" +
                   std::to_string(team.Points()) + ":" + std::to_string(team.NumScorers()) + ":" +
                   std::to_string(team.NumMembers());
        }
        return out;
    }
    std::vector<int32_t> PlaceList(const KString& team) {
        for (ResultRecord& line : event.Standings().Sorted()) {
            if (line.Affiliation() == team) return line.PlaceList();
        }
        return {};
    }

    KRegistry settings;
    ScoringFakeAlerts alerts;
    NonScoringAffiliations nonScoring{settings, alerts};
    TeamScoring scoring{settings, nonScoring};
    EventRecord event;

private:
    int m_nextId = 0;
};

}  // namespace

TEST_F(TeamScoringTest, FirstFiveAgainstNextFiveScoreFifteenAndForty) {
    AddTeam(u"A", {1, 2, 3, 4, 5});
    AddTeam(u"B", {6, 7, 8, 9, 10});
    EXPECT_EQ(Standings(), "A:1:15:5:5 | B:2:40:5:5");
    EXPECT_EQ(PlaceList(u"A"), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

TEST_F(TeamScoringTest, DisplacersPushOtherTeamsDownButTheEighthRunnerDoesNot) {
    AddTeam(u"A", {1, 2, 3, 4, 5, 6, 7, 8});
    AddTeam(u"B", {9, 10, 11, 12, 13});
    // B's first runner is the 8th counted (A's 6th and 7th count, its 8th does not): 8+9+10+11+12.
    EXPECT_EQ(Standings(), "A:1:15:7:8 | B:2:50:5:5");
    EXPECT_EQ(PlaceList(u"A"), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(TeamScoringTest, NonScoringRunnerTakesAPositionOnlyWhenNonScoringDisplaces) {
    struct Case {
        bool displaces;
        const char* standings;
    };
    const Case cases[] = {
        {true, "A:1:18:5:5"},   // 1+2+4+5+6: the runner after UNA gets 4 points
        {false, "A:1:15:5:5"},  // 1+2+3+4+5: UNA is skipped entirely
    };
    for (const auto& c : cases) {
        event.Results().Clear();
        AddTeam(u"A", {1, 2});
        Add({Finisher(u"UNA", 3)});
        AddTeam(u"A", {4, 5, 6});
        Set(u"Scoring\\UnatDisplaces", c.displaces);
        EXPECT_EQ(Standings(), c.standings) << c.displaces;
        EXPECT_EQ(PlaceList(u"A"), (std::vector<int32_t>{1, 2, 4, 5, 6}));
    }
}

TEST_F(TeamScoringTest, EqualPointsAreBrokenByTheSixthRunner) {
    // C's single runner at 2 leaves 1 and 3..11 for A and B: 32 points each.
    struct Case {
        std::optional<int32_t> sixthA, sixthB;
        const char* standings;
    };
    const Case cases[] = {
        {12, 13, "A:1:32:6:6 | B:2:32:6:6 | C:-1:2:1:1"},
        {13, 12, "B:1:32:6:6 | A:2:32:6:6 | C:-1:2:1:1"},
        {std::nullopt, 12, "B:1:32:6:6 | A:2:32:5:5 | C:-1:2:1:1"},  // a team without a 6th loses
        // Both without: the same place, the earlier-created line first.
        {std::nullopt, std::nullopt, "A:1:32:5:5 | B:1:32:5:5 | C:-1:2:1:1"},
    };
    for (const auto& c : cases) {
        event.Results().Clear();
        AddTeam(u"A", {1, 3, 8, 9, 11});
        Add({Finisher(u"C", 2)});
        AddTeam(u"B", {4, 5, 6, 7, 10});
        if (c.sixthA) AddTeam(u"A", {*c.sixthA});
        if (c.sixthB) AddTeam(u"B", {*c.sixthB});
        EXPECT_EQ(Standings(), c.standings);
    }
}

TEST_F(TeamScoringTest, SharedPlacesShareThePointsAndTheNextPlaceFollows) {
    Add({MakeRunner(u"A", 1, 600.0), MakeRunner(u"B", 2, 601.0), MakeRunner(u"A", 2, 601.0),
         MakeRunner(u"B", 4, 602.0)});
    Set(u"Scoring\\MinRunners", 2);
    Set(u"Scoring\\NumScorers", 2);
    // A: 1 + 2, B: 2 + 4.
    EXPECT_EQ(Standings(), "A:1:3:2:2 | B:2:6:2:2");
}

TEST_F(TeamScoringTest, TooSmallTeamKeepsItsPointsUnofficiallyAndScoresNothingWhenFinalized) {
    AddTeam(u"D", {1, 2, 3, 4});
    AddTeam(u"A", {5, 6, 7, 8, 9});
    AddTeam(u"B", {10, 11, 12, 13, 14});
    EXPECT_EQ(Standings(false), "A:1:35:5:5 | B:2:60:5:5 | D:-1:10:4:4");
    EXPECT_FALSE(event.Standings().IsOfficial());
    // Finalized: D's runners stand behind everyone, so A and B score as if they had not run.
    EXPECT_EQ(Standings(true), "A:1:15:5:5 | B:2:40:5:5 | D:-1:0:0:4");
    EXPECT_TRUE(event.Standings().IsOfficial());
    EXPECT_EQ(PlaceList(u"A"), (std::vector<int32_t>{5, 6, 7, 8, 9}));
    // The results themselves are untouched by finalizing.
    EXPECT_EQ(event.Results().Size(), 14u);
    EXPECT_EQ(event.Results().At(0)->Affiliation(), u"D");
    EXPECT_TRUE(event.Results().At(0)->Time() == Seconds(601));
    // The next update makes the standings unofficial again.
    EXPECT_EQ(Standings(false), "A:1:35:5:5 | B:2:60:5:5 | D:-1:10:4:4");
    EXPECT_FALSE(event.Standings().IsOfficial());
}

TEST_F(TeamScoringTest, FinalizedSetAsideTeamsKeepTheirFirstPassOrder) {
    AddTeam(u"A", {1, 2, 3, 4, 5});
    AddTeam(u"S", {6});
    AddTeam(u"T", {7, 8, 9});
    EXPECT_EQ(Standings(true), "A:1:15:5:5 | T:-1:0:0:3 | S:-1:0:0:1");
    EXPECT_EQ(Standings(false), "A:1:15:5:5 | T:-1:24:3:3 | S:-1:6:1:1");
}

TEST_F(TeamScoringTest, OnlyRunnersAtTheLeadersLapsScoreWhenScoresResetAtEachSplit) {
    struct Case {
        bool reset;
        const char* standings;
    };
    const Case cases[] = {
        // E's only runner is a lap behind: it still makes E's line and is a member.
        {true, "A:1:15:5:5 | B:-1:21:3:3 | E:-1:0:0:1"},
        {false, "A:1:15:5:5 | B:2:40:5:5 | E:-1:11:1:1"},
    };
    for (const auto& c : cases) {
        event.Results().Clear();
        // On course with splits: 1 lap to go, then 2 laps to go.
        for (int i = 0; i < 5; ++i) Add({MakeRunner(u"A", -1, std::nullopt, ResultCode::None, 1, 300.0 + i)});
        for (int i = 0; i < 3; ++i) Add({MakeRunner(u"B", -1, std::nullopt, ResultCode::None, 1, 310.0 + i)});
        for (int i = 0; i < 2; ++i) Add({MakeRunner(u"B", -1, std::nullopt, ResultCode::None, 2, 200.0 + i)});
        Add({MakeRunner(u"E", -1, std::nullopt, ResultCode::None, 2, 205.0)});
        Set(u"Scoring\\ResetScores", c.reset);
        EXPECT_EQ(Standings(), c.standings) << c.reset;
    }
}

TEST_F(TeamScoringTest, CodedRunnerWithASplitIsListedWithPlaceZeroButIsNoMember) {
    AddTeam(u"A", {1, 2, 3, 4, 5});
    Add({MakeRunner(u"A", -1, std::nullopt, ResultCode::DidNotFinish, 0, 400.0)});
    Add({MakeRunner(u"F", -1, std::nullopt, ResultCode::DidNotFinish, 0, 410.0)});  // F's only runner
    Add({MakeRunner(u"F", -1, std::nullopt, ResultCode::Disqualified, 0, std::nullopt)});
    EXPECT_EQ(Standings(), "A:1:15:5:5 | F:-1:0:1:0");
    EXPECT_EQ(PlaceList(u"A"), (std::vector<int32_t>{1, 2, 3, 4, 5, 0}));
    // The first runner of an affiliation counts when time-valid, even with place 0.
    EXPECT_EQ(PlaceList(u"F"), (std::vector<int32_t>{0}));
}

TEST_F(TeamScoringTest, FourFinishersAndADidNotFinishAreAnIncompleteTeam) {
    struct Case {
        ResultCode code;
        std::optional<double> split;
    };
    const Case cases[] = {
        {ResultCode::DidNotFinish, std::nullopt}, {ResultCode::DidNotFinish, 400.0},
        {ResultCode::DidNotStart, std::nullopt},  {ResultCode::Disqualified, 400.0},
        {ResultCode::FalseStart, std::nullopt},   {ResultCode::Scratched, std::nullopt},
    };
    for (const auto& c : cases) {
        event.Results().Clear();
        AddTeam(u"G", {1, 2, 3, 4});
        AddTeam(u"H", {5, 6, 7, 8, 9});
        Add({MakeRunner(u"G", -1, std::nullopt, c.code, 0, c.split)});
        EXPECT_EQ(Standings(), "H:1:35:5:5 | G:-1:10:4:4") << static_cast<int>(c.code);
        EXPECT_EQ(Standings(true), "H:1:15:5:5 | G:-1:0:0:4") << static_cast<int>(c.code);
    }
}

TEST_F(TeamScoringTest, AdvancedRunnerIsAMemberWithoutPoints) {
    AddTeam(u"A", {1, 2, 3, 4});
    Add({MakeRunner(u"A", -1, 650.0, ResultCode::Advanced)});
    EXPECT_EQ(Standings(), "A:1:10:4:5");
    EXPECT_EQ(PlaceList(u"A"), (std::vector<int32_t>{1, 2, 3, 4, 0}));
}

TEST_F(TeamScoringTest, NonScoringListIsExactAndFollowsDeletes) {
    AddTeam(u"una", {1, 2, 3, 4, 5});  // lower case is not UNA: a team
    AddTeam(u"Guests", {6, 7, 8, 9, 10});
    AddTeam(u"A", {11, 12, 13, 14, 15});
    nonScoring.Add(u"Guests");
    nonScoring.Insert(u"Guests");
    EXPECT_EQ(Standings(), "una:1:15:5:5 | A:2:65:5:5");
    EXPECT_TRUE(nonScoring.Delete(3));
    EXPECT_EQ(Standings(), "una:1:15:5:5 | Guests:2:40:5:5 | A:3:65:5:5");
}

TEST_F(TeamScoringTest, SettingsAreReadAtEveryCalculation) {
    AddTeam(u"A", {1, 2, 3, 4});
    EXPECT_EQ(Standings(), "A:-1:10:4:4");
    Set(u"Scoring\\MinRunners", 4);
    EXPECT_EQ(Standings(), "A:1:10:4:4");
    Set(u"Scoring\\NumScorers", 2);
    Set(u"Scoring\\MaxDisplacers", 0);
    EXPECT_EQ(Standings(), "A:1:3:2:4");
}

TEST_F(TeamScoringTest, EmptyResultsGiveEmptyStandingsAndStillLogTheHeader) {
    ScoringTempDir dir;
    KLog log(dir.Path());
    scoring.SetActivityLog(&log);
    EXPECT_EQ(Standings(), "");
    std::ifstream in(dir.Path() / KLog::kFileName);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("(Place,Affil,Points,Scorers,NumTeamMembers)"), std::string::npos);
}

TEST_F(TeamScoringTest, ActivityLogShowsEachPassWhenEnabled) {
    ScoringTempDir dir;
    KLog log(dir.Path());
    bool enabled = false;
    scoring.SetActivityLog(&log, [&enabled] { return enabled; });
    AddTeam(u"A", {1, 2, 3, 4, 5});
    AddTeam(u"D", {6});
    Standings(false);
    enabled = true;
    Standings(false);
    Standings(true);

    std::vector<std::string> texts;
    std::ifstream in(dir.Path() / KLog::kFileName);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_EQ(line.rfind("M: ", 0), 0u) << line;
        texts.push_back(line.substr(line.rfind(": ") + 2));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Calculating Unofficial Team Standings",
                         "(Place,Affil,Points,Scorers,NumTeamMembers)",
                         "1,A,15,5,5",
                         "-1,D,6,1,1",
                         "End Calculating Unofficial Team Standings",
                         "Finalizing Team Standings",
                         "(Place,Affil,Points,Scorers,NumTeamMembers)",
                         "1,A,15,5,5",
                         "-1,D,6,1,1",
                         "(Place,Affil,Points,Scorers,NumTeamMembers)",
                         "1,A,15,5,5",
                         "-1,D,0,0,1",
                         "End Calculating Unofficial Team Standings",
                     }));
}

TEST_F(TeamScoringTest, FinalizeShowsBusyStatusAndProgressAndClearsThem) {
    RecordingProgress progress;
    scoring.SetProgress(&progress);
    AddTeam(u"A", {1, 2, 3, 4, 5});
    Standings(false);
    EXPECT_TRUE(progress.calls.empty());  // unofficial runs leave the window alone
    EXPECT_EQ(progress.progressCalls, 0);

    Standings(true);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"busy", "status:Preparing to Finalize Data...",
                                                        "status:Finalizing Data...", "status:", "idle"}));
    EXPECT_GT(progress.progressCalls, 2);
    EXPECT_EQ(progress.lastPercent, 0);  // reset after the run
}

TEST_F(TeamScoringTest, ReadersOfTheEventWaitUntilTheCalculationEnds) {
    // While the standings are rebuilt, another thread that takes the event lock
    // must wait; it gets the lock once the run is over.
    struct Watcher : ResultListObserver {
        explicit Watcher(EventRecord& e) : event(e) {}
        void AfterStandingsRecalculated(ResultList&) override {
            if (reader.joinable()) return;
            reader = std::thread([this] {
                EventRecord::ScopedLock lock(event);
                got = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            gotDuringRun = got.load();
        }
        EventRecord& event;
        std::thread reader;
        std::atomic<bool> got{false};
        bool gotDuringRun = false;
    } watcher(event);
    event.Standings().AddObserver(&watcher);
    AddTeam(u"A", {1, 2, 3, 4, 5});
    scoring.CalculateStandings(event, true);
    watcher.reader.join();
    event.Standings().RemoveObserver(&watcher);
    EXPECT_FALSE(watcher.gotDuringRun);
    EXPECT_TRUE(watcher.got);
}
