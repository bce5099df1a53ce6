#include "sources/TInputUpdate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/SourcesTestSupport.h"
#include "support/KTempFolder.h"

namespace {

using Update = std::vector<std::pair<std::string, std::string>>;

/// Each result in list order: "id first/last affiliation time laps place".
std::vector<std::string> Describe(EventRecord& event) {
    std::vector<std::string> lines;
    EventRecord::ScopedLock lock(event);
    for (ResultRecord& r : event.Results().Sorted()) {
        lines.push_back(ToUtf8(r.Id() + u" " + r.FirstName() + u"/" + r.LastName() + u" " + r.Affiliation() +
                               u" " + r.FormatTimeField(r.Time()) + u" " + ToKString(r.LapsToGo()) + u" " +
                               ToKString(r.Place())));
    }
    return lines;
}

const Update kRace = {{"EventName", "Boys 5K"},
                      {"Place", "1"},
                      {"Id", "11"},
                      {"Name", "Ann Lee"},
                      {"Affiliation", "AAA"},
                      {"Time", "17:01.2"},
                      {"Laps", "0"},
                      {"Place", "2"},
                      {"Id", "12"},
                      {"Name", "Bo"},
                      {"Affiliation", "BBB"},
                      {"Time", "17:05.31"},
                      {"Laps", ""}};

}  // namespace

TEST(InputUpdate, UpdatesDiscardAddAndUpdateResultsAsTheEventAndItsLinesSay) {
    struct Case {
        const char* name;
        std::vector<Update> updates;  // applied in order to a fresh event
        std::vector<std::string> results;
        int participants = -1;  // -1: not looked at
    };
    const Case cases[] = {
        {"names split at blanks: two words first and last, one word the last name",
         {kRace},
         {"11 Ann/Lee AAA 17:01.2 0 1", "12 /Bo BBB 17:05.31 0 2"}},
        {"same event name: the second updates by Id (place, time, laps; not the name) and adds new ids",
         {kRace,
          {{"EventName", "Boys 5K"},
           {"Place", "2"},
           {"Id", "11"},
           {"Name", "X Y"},
           {"Time", "17:09"},
           {"Laps", "1"},
           {"Place", "1"},
           {"Id", "13"},
           {"Name", "Cy Day"},
           {"Affiliation", "CCC"},
           {"Time", "16:59.5"},
           {"Laps", "0"}}},
         {"13 Cy/Day CCC 16:59.5 0 1", "12 /Bo BBB 17:05.31 0 2", "11 Ann/Lee AAA 17:09 1 2"}},
        {"a changed event name drops the old results before the new lines",
         {kRace,
          {{"Place", "1"},
           {"Id", "99"},
           {"Time", "20:00"},
           {"Laps", "0"},
           {"EventName", "Girls 5K"},
           {"Place", "1"},
           {"Id", "21"},
           {"Name", "Di"},
           {"Time", "19:00"},
           {"Laps", "0"}}},
         {"21 /Di  19:00 0 1", "99 /  20:00 0 1"}},
        {"a line without a time takes the previous line's time; a line without Laps is never applied",
         {{{"Place", "1"},
           {"Id", "1"},
           {"Time", "5:00"},
           {"Laps", "0"},
           {"Place", "2"},
           {"Id", "2"},
           {"Laps", "0"},
           {"Place", "3"},
           {"Id", "3"}}},
         {"1 /  5:00 0 1", "2 /  5:00 0 2"}},
        {"participants 0 empties the results",
         {kRace, {{"EventName", "Boys 5K"}, {"NumberOfParticipants", "0"}}},
         {},
         0},
        {"participants empty or unreadable stores 65535; C-like prefixes read",
         {kRace, {{"EventName", "Boys 5K"}, {"NumberOfParticipants", "0x10"}, {"NumberOfParticipants", "x"}}},
         {"11 Ann/Lee AAA 17:01.2 0 1", "12 /Bo BBB 17:05.31 0 2"},
         65535},
        {"a code text as place sets the code; unknown names are skipped",
         {{{"Place", "DNF"}, {"Id", "7"}, {"Colour", "red"}, {"Laps", "2"}}},
         {"7 /   2 -1"}},
    };
    for (const Case& c : cases) {
        EventRecord event;
        for (const Update& update : c.updates) ApplyInputUpdate(event, Fields(update), {});
        EXPECT_EQ(Describe(event), c.results) << c.name;
        if (c.participants >= 0) {
            EXPECT_EQ(event.NumParticipants(), c.participants) << c.name;
        }
    }
}

TEST(InputUpdate, FirstUpdateEmptiesResultsEvenWithTheStoredEventName) {
    EventRecord event;
    event.SetName(u"Boys 5K");
    ResultRecord* stored = event.Results().Add();
    stored->SetId(u"99");
    ASSERT_TRUE(event.IsFirstUpdate());
    ApplyInputUpdate(event, Fields(kRace), {});
    EXPECT_FALSE(event.IsFirstUpdate());
    EXPECT_EQ(Describe(event).size(), 2u);
    EXPECT_EQ(event.Results().Find(TextField::Id, u"99"), nullptr);
}

TEST(InputUpdate, LogsTheUpdateAndTheRecalculatedUnofficialStandings) {
    KTempFolder folder;
    KLog log(folder.Path());
    StandaloneScorer scorer;
    scorer.scoring.SetActivityLog(&log);
    EventRecord event;
    event.Standings().SetOfficial(true);
    ApplyInputUpdate(event, Fields(kRace), {.log = &log, .logEnabled = {}, .scoring = &scorer.scoring});

    std::vector<KString> texts;
    for (const KString& line : FileLines(log.Path())) texts.push_back(LogText(line));
    const std::vector<KString> expected = {u"Start Input Update",
                                           u"End Input Update",
                                           u"Input Data:",
                                           u"NumParticipants=0,",
                                           u"(Place,Id,Affil,Time,Cum.Time)",
                                           u"1,11,AAA,17:01.2,,",
                                           u"2,12,BBB,17:05.31,,",
                                           u"Calculating Unofficial Team Standings",
                                           u"(Place,Affil,Points,Scorers,NumTeamMembers)",
                                           u"-1,AAA,1,1,1",
                                           u"-1,BBB,2,1,1",
                                           u"End Calculating Unofficial Team Standings"};
    EXPECT_EQ(texts, expected);
    EXPECT_FALSE(event.Standings().IsOfficial());

    // Switched off, nothing is written.
    ApplyInputUpdate(event, Fields(kRace),
                     {.log = &log, .logEnabled = [] { return false; }, .scoring = nullptr});
    EXPECT_EQ(FileLines(log.Path()).size(), expected.size());
}

TEST(InputUpdate, ScoreboardThreadCannotTakeTheEventLockWhileAnUpdateIsUnderWay) {
    struct Watcher : EventObserver {
        std::vector<bool> othersCouldLock;
        void Probe(EventRecord& event) {
            std::atomic<bool> locked = false;
            std::thread other([&] {
                if (event.TryLock()) {
                    locked = true;
                    event.Unlock();
                }
            });
            other.join();
            othersCouldLock.push_back(locked);
        }
        void UpdateBegins(EventRecord& event) override { Probe(event); }
        void AfterEventChange(EventRecord& event) override { Probe(event); }
        void UpdateEnded(EventRecord& event) override { Probe(event); }
    } watcher;
    EventRecord event;
    event.AddObserver(&watcher);
    ApplyInputUpdate(event, Fields(kRace), {});
    event.RemoveObserver(&watcher);
    ASSERT_GE(watcher.othersCouldLock.size(), 3u);
    for (const bool locked : watcher.othersCouldLock) EXPECT_FALSE(locked);
    EXPECT_TRUE(event.TryLock());
    event.Unlock();
}
