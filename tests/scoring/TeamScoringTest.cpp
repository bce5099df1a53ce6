#include "scoring/TeamScoring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "support/KTempFolder.h"

namespace {

TimeValue Seconds(double seconds) {
    return TimeValue(TickCount::FromInt64(static_cast<int64_t>(seconds * 80000 + 0.5)), kTicksHundredth);
}

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
    /// A runner as a source delivers it; without a place the sort places it by its time.
    ResultRecord* Add(const KString& team, std::optional<double> seconds, int32_t place = -1,
                      ResultCode code = ResultCode::None, int32_t laps = 0,
                      std::optional<double> split = std::nullopt) {
        ResultRecord* record = event.Results().Add();
        record->SetId(ToKString(++m_nextId));
        record->SetAffiliation(team);
        if (place >= 0) record->SetPlace(place);
        if (seconds) record->SetTime(Seconds(*seconds));
        if (code != ResultCode::None) record->SetCode(code);
        record->SetLapsToGo(laps);
        if (split) record->SetCumSplitTime(Seconds(*split));
        return record;
    }
    /// Finishers whose times follow their places.
    void AddTeam(const KString& team, std::initializer_list<int32_t> places) {
        for (int32_t place : places) Add(team, 600.0 + place, place);
    }
    void Restart() {
        event.Results().Clear();
        rules = ScoringRules{};
    }

    /// "team:place:points:scorers:members" per team line, in standings order.
    std::string Standings(bool finalize = false) {
        scorer.SetRules(rules);
        scorer.scoring.CalculateStandings(event, finalize);
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
        ResultRecord* line = event.Standings().Find(TextField::Affiliation, team);
        return line ? line->PlaceList() : std::vector<int32_t>{};
    }

    StandaloneScorer scorer;
    ScoringRules rules;
    EventRecord event;

private:
    int m_nextId = 0;
};

using Places = std::vector<int32_t>;

}  // namespace

TEST_F(TeamScoringTest, FirstFiveAgainstNextFiveScoreFifteenAndForty) {
    AddTeam(u"A", {1, 2, 3, 4, 5});
    AddTeam(u"B", {6, 7, 8, 9, 10});
    EXPECT_EQ(Standings(), "A:1:15:5:5 | B:2:40:5:5");
    EXPECT_EQ(PlaceList(u"A"), (Places{1, 2, 3, 4, 5}));
}

TEST_F(TeamScoringTest, DisplacersPushOtherTeamsDownButTheEighthRunnerDoesNot) {
    AddTeam(u"A", {1, 2, 3, 4, 5, 6, 7, 8});
    AddTeam(u"B", {9, 10, 11, 12, 13});
    // B's first runner is the 8th counted (A's 6th and 7th count, its 8th does not): 8+9+10+11+12.
    EXPECT_EQ(Standings(), "A:1:15:7:8 | B:2:50:5:5");
    EXPECT_EQ(PlaceList(u"A"), (Places{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(TeamScoringTest, NonScoringRunnerTakesAPositionOnlyWhenNonScoringDisplaces) {
    const struct {
        bool displaces;
        const char* standings;
    } cases[] = {
        {true, "A:1:18:5:5"},   // 1+2+4+5+6: the runner after UNA gets 4 points
        {false, "A:1:15:5:5"},  // 1+2+3+4+5: UNA is skipped entirely
    };
    for (const auto& c : cases) {
        Restart();
        AddTeam(u"A", {1, 2});
        AddTeam(u"UNA", {3});
        AddTeam(u"A", {4, 5, 6});
        rules.unatDisplaces = c.displaces;
        EXPECT_EQ(Standings(), c.standings) << c.displaces;
        EXPECT_EQ(PlaceList(u"A"), (Places{1, 2, 4, 5, 6}));
    }
}

TEST_F(TeamScoringTest, EqualPointsAreBrokenByTheSixthRunner) {
    // C's single runner at 2 leaves 1 and 3..11 for A and B: 32 points each.
    const struct {
        std::optional<int32_t> sixthA, sixthB;
        const char* standings;
    } cases[] = {
        {12, 13, "A:1:32:6:6 | B:2:32:6:6 | C:-1:2:1:1"},
        {13, 12, "B:1:32:6:6 | A:2:32:6:6 | C:-1:2:1:1"},
        {std::nullopt, 12, "B:1:32:6:6 | A:2:32:5:5 | C:-1:2:1:1"},  // a team without a 6th loses
        // Both without: the same place, the earlier-created line first.
        {std::nullopt, std::nullopt, "A:1:32:5:5 | B:1:32:5:5 | C:-1:2:1:1"},
    };
    for (const auto& c : cases) {
        Restart();
        AddTeam(u"A", {1, 3, 8, 9, 11});
        AddTeam(u"C", {2});
        AddTeam(u"B", {4, 5, 6, 7, 10});
        if (c.sixthA) AddTeam(u"A", {*c.sixthA});
        if (c.sixthB) AddTeam(u"B", {*c.sixthB});
        EXPECT_EQ(Standings(), c.standings);
    }
}

TEST_F(TeamScoringTest, SharedPlacesShareThePointsAndTheNextPlaceFollows) {
    Add(u"A", 600.0, 1);
    Add(u"B", 601.0, 2);
    Add(u"A", 601.0, 2);
    Add(u"B", 602.0, 4);
    rules.minRunners = rules.numScorers = 2;
    EXPECT_EQ(Standings(), "A:1:3:2:2 | B:2:6:2:2");  // A: 1 + 2, B: 2 + 4
}

TEST_F(TeamScoringTest, TooSmallTeamsKeepTheirPointsUnofficiallyAndScoreNothingWhenFinalized) {
    AddTeam(u"D", {1, 2, 3, 4});
    AddTeam(u"A", {5, 6, 7, 8, 9});
    AddTeam(u"B", {10, 11, 12, 13, 14});
    AddTeam(u"S", {15});
    const std::string unofficial = "A:1:35:5:5 | B:2:60:5:5 | D:-1:10:4:4 | S:-1:15:1:1";
    EXPECT_EQ(Standings(false), unofficial);
    EXPECT_FALSE(event.Standings().IsOfficial());
    // Finalized: D's and S's runners stand behind everyone, so A and B score as if they had not run.
    EXPECT_EQ(Standings(true), "A:1:15:5:5 | B:2:40:5:5 | D:-1:0:0:4 | S:-1:0:0:1");
    EXPECT_TRUE(event.Standings().IsOfficial());
    EXPECT_EQ(PlaceList(u"A"), (Places{5, 6, 7, 8, 9}));
    // The results themselves are untouched by finalizing.
    EXPECT_EQ(event.Results().Size(), 15u);
    EXPECT_EQ(event.Results().At(0)->Affiliation(), u"D");
    EXPECT_TRUE(event.Results().At(0)->Time() == Seconds(601));
    // The next update makes the standings unofficial again.
    EXPECT_EQ(Standings(false), unofficial);
    EXPECT_FALSE(event.Standings().IsOfficial());
}

TEST_F(TeamScoringTest, OnlyRunnersAtTheLeadersLapsScoreWhenScoresResetAtEachSplit) {
    const struct {
        bool reset;
        const char* standings;
    } cases[] = {
        // E's only runner is a lap behind: it still makes E's line and is a member.
        {true, "A:1:15:5:5 | B:-1:21:3:3 | E:-1:0:0:1"},
        {false, "A:1:15:5:5 | B:2:40:5:5 | E:-1:11:1:1"},
    };
    for (const auto& c : cases) {
        Restart();
        // On course with splits: 1 lap to go, then 2 laps to go.
        for (int i = 0; i < 5; ++i) Add(u"A", std::nullopt, -1, ResultCode::None, 1, 300.0 + i);
        for (int i = 0; i < 3; ++i) Add(u"B", std::nullopt, -1, ResultCode::None, 1, 310.0 + i);
        for (int i = 0; i < 2; ++i) Add(u"B", std::nullopt, -1, ResultCode::None, 2, 200.0 + i);
        Add(u"E", std::nullopt, -1, ResultCode::None, 2, 205.0);
        rules.resetScores = c.reset;
        EXPECT_EQ(Standings(), c.standings) << c.reset;
    }
}

TEST_F(TeamScoringTest, CodedRunnersAreListedWithPlaceZeroButOnlyAdvancedIsAMember) {
    AddTeam(u"A", {1, 2, 3, 4});
    Add(u"A", 650.0, -1, ResultCode::Advanced);
    Add(u"A", std::nullopt, -1, ResultCode::DidNotFinish, 0, 400.0);
    Add(u"F", std::nullopt, -1, ResultCode::DidNotFinish, 0, 410.0);  // F's only time-valid runner
    Add(u"F", std::nullopt, -1, ResultCode::Disqualified);
    EXPECT_EQ(Standings(), "A:1:10:4:5 | F:-1:0:1:0");
    EXPECT_EQ(PlaceList(u"A"), (Places{1, 2, 3, 4, 0, 0}));
    // The first runner of an affiliation counts when time-valid, even with place 0.
    EXPECT_EQ(PlaceList(u"F"), (Places{0}));
}

TEST_F(TeamScoringTest, FourFinishersAndADidNotFinishAreAnIncompleteTeam) {
    const struct {
        ResultCode code;
        std::optional<double> split;
    } cases[] = {
        {ResultCode::DidNotFinish, std::nullopt}, {ResultCode::DidNotFinish, 400.0},
        {ResultCode::DidNotStart, std::nullopt},  {ResultCode::Disqualified, 400.0},
        {ResultCode::FalseStart, std::nullopt},   {ResultCode::Scratched, std::nullopt},
    };
    for (const auto& c : cases) {
        Restart();
        AddTeam(u"G", {1, 2, 3, 4});
        AddTeam(u"H", {5, 6, 7, 8, 9});
        Add(u"G", std::nullopt, -1, c.code, 0, c.split);
        EXPECT_EQ(Standings(), "H:1:35:5:5 | G:-1:10:4:4") << static_cast<int>(c.code);
        EXPECT_EQ(Standings(true), "H:1:15:5:5 | G:-1:0:0:4") << static_cast<int>(c.code);
    }
}

TEST_F(TeamScoringTest, NonScoringListIsExactAndFollowsDeletes) {
    AddTeam(u"una", {1, 2, 3, 4, 5});  // lower case is not UNA: a team
    AddTeam(u"Guests", {6, 7, 8, 9, 10});
    AddTeam(u"A", {11, 12, 13, 14, 15});
    scorer.nonScoring.Add(u"Guests");
    scorer.nonScoring.Insert(u"Guests");
    EXPECT_EQ(Standings(), "una:1:15:5:5 | A:2:65:5:5");
    EXPECT_TRUE(scorer.nonScoring.Delete(3));
    EXPECT_EQ(Standings(), "una:1:15:5:5 | Guests:2:40:5:5 | A:3:65:5:5");
}

TEST_F(TeamScoringTest, SettingsAreReadAtEveryCalculation) {
    AddTeam(u"A", {1, 2, 3, 4});
    EXPECT_EQ(Standings(), "A:-1:10:4:4");
    rules.minRunners = 4;
    EXPECT_EQ(Standings(), "A:1:10:4:4");
    rules.numScorers = 2;
    rules.maxDisplacers = 0;
    EXPECT_EQ(Standings(), "A:1:3:2:4");
}

TEST_F(TeamScoringTest, ActivityLogShowsEachPassWhenEnabled) {
    KTempFolder dir;
    KLog log(dir.Path());
    bool enabled = true;
    scorer.scoring.SetActivityLog(&log, [&enabled] { return enabled; });
    EXPECT_EQ(Standings(), "");  // no results: no teams, but the header is still logged
    AddTeam(u"A", {1, 2, 3, 4, 5});
    AddTeam(u"D", {6});
    enabled = false;
    Standings(false);
    enabled = true;
    Standings(false);
    Standings(true);

    std::vector<std::string> texts;
    for (const KString& line : FileLines(dir / KLog::kFileName)) {
        const std::string text = ToUtf8(line);
        EXPECT_EQ(text.rfind("M: ", 0), 0u) << text;
        texts.push_back(text.substr(text.rfind(": ") + 2));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Calculating Unofficial Team Standings",
                         "(Place,Affil,Points,Scorers,NumTeamMembers)",
                         "End Calculating Unofficial Team Standings",
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
    scorer.scoring.SetProgress(&progress);
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
    scorer.scoring.CalculateStandings(event, true);
    watcher.reader.join();
    event.Standings().RemoveObserver(&watcher);
    EXPECT_FALSE(watcher.gotDuringRun);
    EXPECT_TRUE(watcher.got);
}
