#include "sources/TInputUpdate.h"

#include <gtest/gtest.h>

#include <thread>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/SourcesTestSupport.h"
#include "support/KTempFolder.h"

constexpr char kRace[] =
    "EventName=Boys 5K|Place=1|Id=11|Name=Ann Lee|Affiliation=AAA|Time=17:01.2|Laps=0|"
    "Place=2|Id=12|Name= Bo |Affiliation=BBB|Time=17:05.31|Laps=";

TEST(InputUpdate, UpdatesDiscardAddAndUpdateResultsAsTheEventAndItsLinesSay) {
    // Each case applies its updates in order to an event holding result 99 of "Boys 5K".
    const struct {
        const char* results;
        const char* first;
        const char* second = nullptr;
        int participants = 0;
    } cases[] = {
        // The first update empties the results, same name or not; names split at blanks.
        {"11 Ann/Lee AAA 17:01.2 0 1; 12 /Bo BBB 17:05.31 0 2", kRace},
        // Same name: updates by Id (place, time, laps; not the name) and adds new ids. Words after
        // the first all belong to the last name.
        {"13 Cy/Van Day  16:59.5 0 1; 12 /Bo BBB 17:05.31 0 2; 11 Ann/Lee AAA 17:09 1 2", kRace,
         "EventName=Boys 5K|Place=2|Id=11|Name=X Y|Time=17:09|Laps=1|Place=1|Id=13|Name=Cy  Van Day "
         "|Time=16:59.5|Laps=0"},
        // A changed name empties the results before any line, even one ahead of the name.
        {"21 /Di  19:00 0 1; 99 /  20:00 0 1", kRace,
         "Place=1|Id=99|Time=20:00|Laps=0|EventName=Girls 5K|Place=1|Id=21|Name=Di|Time=19:00|Laps=0"},
        // A line without a time takes the previous line's time; one without Laps is never applied.
        {"1 /  5:00 0 1; 2 /  5:00 0 2", "Place=1|Id=1|Time=5:00|Laps=0|Place=2|Id=2|Laps=0|Place=3|Id=3"},
        // Participants 0 empties the results; empty, they are 65535.
        {"", kRace, "EventName=Boys 5K|NumberOfParticipants=0"},
        {"", "NumberOfParticipants=", nullptr, 65535},
        // A code text as place sets the code; unknown names are skipped.
        {"7 /   2 DNF", "Place=DNF|Id=7|Colour=red|Laps=2"},
    };
    for (const auto& c : cases) {
        EventRecord event;
        event.SetName(u"Boys 5K");
        event.Results().Add()->SetId(u"99");
        for (const char* update : {c.first, c.second})
            if (update) ApplyInputUpdate(event, Fields(update), {});
        EXPECT_EQ(Describe(event), c.results) << c.first;
        EXPECT_EQ(event.NumParticipants(), c.participants) << c.first;
    }
}

TEST(InputUpdate, LogsItselfAndTheUnofficialStandingsWhenTheLogIsOnAndHoldsTheEventLockThroughout) {
    // Tries from another thread to take the event lock at every notice, from begin to end.
    struct Watcher : EventObserver {
        int lockedByOther = 0, probes = 0;
        void Probe(EventRecord& event) {
            ++probes;
            std::thread([&] { lockedByOther += event.TryLock() ? (event.Unlock(), 1) : 0; }).join();
        }
        void UpdateBegins(EventRecord& event) override { Probe(event); }
        void AfterEventChange(EventRecord& event) override { Probe(event); }
        void UpdateEnded(EventRecord& event) override { Probe(event); }
    } watcher;
    KTempFolder folder;
    KLog log(folder.Path());
    StandaloneScorer scorer;
    scorer.scoring.SetActivityLog(&log);
    EventRecord event;
    event.Standings().SetOfficial(true);
    event.AddObserver(&watcher);
    ApplyInputUpdate(event, Fields(kRace), {.log = &log, .logEnabled = {}, .scoring = &scorer.scoring});
    EXPECT_GE(watcher.probes, 3);
    EXPECT_EQ(watcher.lockedByOther, 0);
    std::vector<KString> texts;
    for (const KString& line : FileLines(log.Path())) texts.push_back(line.substr(line.find(u": ", 3) + 2));
    EXPECT_EQ(texts,
              (std::vector<KString>{
                  u"Start Input Update", u"End Input Update", u"Input Data:", u"NumParticipants=0,",
                  u"(Place,Id,Affil,Time,Cum.Time)", u"1,11,AAA,17:01.2,,", u"2,12,BBB,17:05.31,,",
                  u"Calculating Unofficial Team Standings", u"(Place,Affil,Points,Scorers,NumTeamMembers)",
                  u"-1,AAA,1,1,1", u"-1,BBB,2,1,1", u"End Calculating Unofficial Team Standings"}));
    EXPECT_FALSE(event.Standings().IsOfficial());

    ApplyInputUpdate(event, Fields(kRace),
                     {.log = &log, .logEnabled = [] { return false; }, .scoring = nullptr});
    EXPECT_EQ(FileLines(log.Path()).size(), texts.size());
}
