#include "scoring/TeamScoring.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <thread>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "support/KTempFolder.h"

namespace {

TimeValue Seconds(double seconds) {
    return TimeValue(TickCount::FromInt64(static_cast<int64_t>(seconds * 80000 + 0.5)), kTicksHundredth);
}

bool LockableElsewhere(EventRecord& event) {
    bool got = false;
    std::thread([&] {
        if ((got = event.TryLock())) event.Unlock();
    }).join();
    return got;
}

class RecordingProgress : public TScoringProgress {
public:
    void SetStatusText(const KString& text) override { calls.push_back("status:" + ToUtf8(text)); }
    void SetProgress(int percent) override { percents.push_back(percent); }
    void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
    std::vector<std::string> calls;
    std::vector<int> percents;
};

class TeamScoringTest : public ::testing::Test {
protected:
    /// A runner as a source delivers it, placed by the sort.
    ResultRecord* Add(const KString& team, std::optional<double> seconds, ResultCode code = ResultCode::None,
                      int32_t laps = 0, std::optional<double> split = std::nullopt) {
        ResultRecord* record = event.Results().Add();
        record->SetAffiliation(team);
        if (seconds) record->SetTime(Seconds(*seconds));
        if (code != ResultCode::None) record->SetCode(code);
        record->SetLapsToGo(laps);
        if (split) record->SetCumSplitTime(Seconds(*split));
        return record;
    }
    /// Finishers written as "A 1 2 3, UNA 4": each group a team and its runners' places, times
    /// following the places, created in the order written.
    void AddMeet(const std::string& meet) {
        std::istringstream groups(meet);
        for (std::string group; std::getline(groups, group, ',');) {
            std::istringstream words(group);
            std::string team;
            words >> team;
            for (int32_t place; words >> place;) Add(FromUtf8(team), 600.0 + place)->SetPlace(place);
        }
    }
    void Restart() {
        event.Results().Clear();
        rules = {};
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
    /// The place list of a team line, as "1 2 3".
    std::string PlaceList(const KString& team) {
        std::string out;
        if (ResultRecord* line = event.Standings().Find(TextField::Affiliation, team)) {
            for (int32_t place : line->PlaceList()) out += (out.empty() ? "" : " ") + std::to_string(place);
        }
        return out;
    }

    StandaloneScorer scorer;
    ScoringRules rules;
    EventRecord event;
};

}  // namespace

TEST_F(TeamScoringTest, ScoresFinishersByCrossCountryRules) {
    const struct {
        const char* meet;
        const char* unofficial;
        const char* finalized;      ///< the same as unofficial when null
        const char* topTeamPlaces;  ///< after finalizing
        ScoringRules rules = {};
    } cases[] = {
        // A's 6th and 7th push B down, its 8th does not: B scores 8+9+10+11+12.
        {"A 1 2 3 4 5 6 7 8, B 9 10 11 12 13", "A:1:15:7:8 | B:2:50:5:5", nullptr, "1 2 3 4 5 6 7"},
        // The runner after an unattached one gets 4 points when non-scoring runners displace, else 3.
        {"A 1 2, UNA 3, A 4 5 6", "A:1:18:5:5", nullptr, "1 2 4 5 6"},
        {"A 1 2, UNA 3, A 4 5 6", "A:1:15:5:5", nullptr, "1 2 4 5 6", {.unatDisplaces = false}},
        // Equal points: the 6th runner decides; a team without one loses; both without share the place.
        // Finalized, C is set aside and B wins outright.
        {"A 1 3 8 9 11 12, C 2, B 4 5 6 7 10 13", "A:1:32:6:6 | B:2:32:6:6 | C:-1:2:1:1",
         "B:1:27:6:6 | A:2:28:6:6 | C:-1:0:1:1", "4 5 6 7 10 13"},
        {"A 1 3 8 9 11 13, C 2, B 4 5 6 7 10 12", "B:1:32:6:6 | A:2:32:6:6 | C:-1:2:1:1",
         "B:1:27:6:6 | A:2:28:6:6 | C:-1:0:1:1", "4 5 6 7 10 12"},
        {"A 1 3 8 9 11, C 2, B 4 5 6 7 10 12", "B:1:32:6:6 | A:2:32:5:5 | C:-1:2:1:1",
         "B:1:27:6:6 | A:2:28:5:5 | C:-1:0:1:1", "4 5 6 7 10 12"},
        {"A 1 3 8 9 11, C 2, B 4 5 6 7 10", "A:1:32:5:5 | B:1:32:5:5 | C:-1:2:1:1",
         "B:1:27:5:5 | A:2:28:5:5 | C:-1:0:1:1", "4 5 6 7 10"},
        // Shared places share the points and the next place follows: A 1 + 2, B 2 + 4.
        {"A 1 2, B 2 4", "A:1:3:2:2 | B:2:6:2:2", nullptr, "1 2", {.minRunners = 2, .numScorers = 2}},
        // B's first runner shares 8th place with A's 8th, who is not counted: B takes 8 points.
        {"A 1 2 3 4 5 6 7 8, B 8 9 10 11 12", "A:1:15:7:8 | B:2:50:5:5", nullptr, "1 2 3 4 5 6 7"},
        // Too-small teams keep their points unofficially; finalized, their runners stand behind
        // everyone, so the qualified teams score as if they had not run.
        {"D 1 2 3 4, A 5 6 7 8 9, B 10 11 12 13 14, S 15",
         "A:1:35:5:5 | B:2:60:5:5 | D:-1:10:4:4 | S:-1:15:1:1",
         "A:1:15:5:5 | B:2:40:5:5 | D:-1:0:4:4 | S:-1:0:1:1", "5 6 7 8 9"},
        // Finalized, too-small teams are scored behind everyone: more members first, then
        // fewer points (T 7 + 8 = 15 before U 6 + 12 = 18), whatever order their lines were made in.
        {"A 1 2 3 4 5, U 6 20, T 7 8, W 9 10 11", "A:1:15:5:5 | W:-1:30:3:3 | T:-1:15:2:2 | U:-1:18:2:2",
         "A:1:15:5:5 | W:-1:0:3:3 | T:-1:0:2:2 | U:-1:0:2:2", "1 2 3 4 5"},
        // The settings are read at every calculation.
        {"A 1 2 3 4", "A:-1:10:4:4", "A:-1:0:4:4", "1 2 3 4"},
        {"A 1 2 3 4", "A:1:10:4:4", nullptr, "1 2 3 4", {.minRunners = 4}},
        {"A 1 2 3 4", "A:1:3:2:4", nullptr, "1 2", {.minRunners = 4, .numScorers = 2, .maxDisplacers = 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.meet);
        Restart();
        AddMeet(c.meet);
        rules = c.rules;
        EXPECT_EQ(Standings(false), c.unofficial);
        EXPECT_FALSE(event.Standings().IsOfficial());
        EXPECT_EQ(Standings(true), c.finalized ? c.finalized : c.unofficial);
        EXPECT_TRUE(event.Standings().IsOfficial());
        EXPECT_EQ(PlaceList(event.Standings().At(0)->Affiliation()), c.topTeamPlaces);
        // Finalizing leaves the results alone, and the next update is unofficial again.
        EXPECT_TRUE(event.Results().At(0)->Time() == Seconds(601));
        EXPECT_EQ(Standings(false), c.unofficial);
    }
}

TEST_F(TeamScoringTest, OnlyRunnersAtTheLeadersLapsScoreWhenScoresResetAtEachSplit) {
    const std::pair<bool, const char*> cases[] = {
        // E's only runner is a lap behind: it still makes E's line and is a member.
        {true, "A:1:15:5:5 | B:-1:21:3:3 | E:-1:0:0:1"},
        {false, "A:1:15:5:5 | B:2:40:5:5 | E:-1:11:1:1"},
    };
    for (const auto& [reset, standings] : cases) {
        Restart();
        // On course with splits: 1 lap to go, then 2 laps to go.
        for (int i = 0; i < 5; ++i) Add(u"A", std::nullopt, ResultCode::None, 1, 300.0 + i);
        for (int i = 0; i < 3; ++i) Add(u"B", std::nullopt, ResultCode::None, 1, 310.0 + i);
        for (int i = 0; i < 2; ++i) Add(u"B", std::nullopt, ResultCode::None, 2, 200.0 + i);
        Add(u"E", std::nullopt, ResultCode::None, 2, 205.0);
        rules.resetScores = reset;
        EXPECT_EQ(Standings(), standings) << reset;
    }
}

TEST_F(TeamScoringTest, CodedRunnersAreListedWithPlaceZeroButOnlyAdvancedIsAMember) {
    AddMeet("A 1 2 3 4");
    Add(u"A", 650.0, ResultCode::Advanced);
    Add(u"A", std::nullopt, ResultCode::DidNotFinish, 0, 400.0);
    Add(u"F", std::nullopt, ResultCode::DidNotFinish, 0, 410.0);  // F's only time-valid runner
    Add(u"F", std::nullopt, ResultCode::Disqualified);
    EXPECT_EQ(Standings(), "A:1:10:4:5 | F:-1:0:1:0");
    EXPECT_EQ(PlaceList(u"A"), "1 2 3 4 0 0");
    // The first runner of an affiliation counts when time-valid, even with place 0.
    EXPECT_EQ(PlaceList(u"F"), "0");
}

TEST_F(TeamScoringTest, OnlyRealPlacesBreakATie) {
    // Equal points; B's 6th runner is 10th, A's only further runner was disqualified but
    // kept a time. A has no displacer, so B wins, as it does without the disqualified runner.
    for (const bool disqualified : {false, true}) {
        Restart();
        AddMeet("A 1 4 5 7 11, B 2 3 6 8 9 10");
        if (disqualified) Add(u"A", 700.0, ResultCode::Disqualified);
        EXPECT_EQ(Standings(), "B:1:28:6:6 | A:2:28:5:5") << disqualified;
        EXPECT_EQ(PlaceList(u"A"), disqualified ? "1 4 5 7 11 0" : "1 4 5 7 11");
    }
}

TEST_F(TeamScoringTest, ActivityLogAndProgressShowEachPass) {
    KTempFolder dir;
    KLog log(dir.Path());
    bool enabled = true;
    scorer.scoring.SetActivityLog(&log, [&enabled] { return enabled; });
    RecordingProgress progress;
    scorer.scoring.SetProgress(&progress);
    EXPECT_EQ(Standings(), "");  // no results: no teams, but the header is still logged
    AddMeet("A 1 2 3 4 5, D 6");
    enabled = false;
    Standings(false);
    enabled = true;
    Standings(false);
    // Unofficial runs leave the window alone.
    EXPECT_TRUE(progress.calls.empty() && progress.percents.empty());
    Standings(true);
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"busy", "status:Preparing to Finalize Data...",
                                                        "status:Finalizing Data...", "status:", "idle"}));
    EXPECT_GT(progress.percents.size(), 2u);
    EXPECT_EQ(progress.percents.back(), 0);  // reset after the run

    std::string texts;
    for (const KString& line : FileLines(dir / KLog::kFileName)) {
        const std::string text = ToUtf8(line);
        EXPECT_EQ(text.rfind("M: ", 0), 0u) << text;
        texts += text.substr(text.rfind(": ") + 2) + "|";
    }
    const std::string unofficial = "Calculating Unofficial Team Standings|",
                      header = "(Place,Affil,Points,Scorers,NumTeamMembers)|",
                      end = "End Calculating Unofficial Team Standings|";
    EXPECT_EQ(texts, unofficial + header + end + unofficial + header + "1,A,15,5,5|-1,D,6,1,1|" + end +
                         "Finalizing Team Standings|" + header + "1,A,15,5,5|-1,D,6,1,1|" + header +
                         "1,A,15,5,5|-1,D,0,1,1|" + end);
}

TEST_F(TeamScoringTest, ReadersOfTheEventWaitUntilTheCalculationEnds) {
    // Another thread cannot take the event lock while the standings are rebuilt, and can
    // once the run is over.
    struct Watcher : ResultListObserver {
        void AfterStandingsRecalculated(ResultList&) override {
            lockable.push_back(LockableElsewhere(*event));
        }
        EventRecord* event = nullptr;
        std::vector<bool> lockable;
    } watcher;
    watcher.event = &event;
    event.Standings().AddObserver(&watcher);
    AddMeet("A 1 2 3 4 5");
    scorer.scoring.CalculateStandings(event, true);
    EXPECT_EQ(watcher.lockable, (std::vector<bool>{false, false}));
    EXPECT_TRUE(LockableElsewhere(event));
    event.Standings().RemoveObserver(&watcher);
}
