#include "scoring/ResultList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

TimeValue Secs(int64_t hundredths) {
    return TimeValue(TickCount::FromInt64(hundredths * 800), kTicksHundredth);
}

/// A finisher with `hundredths`, or a runner on course with `laps` to go and a `split` (0: none).
ResultRecord* AddRunner(ResultList& list, KStringView id, std::optional<int64_t> hundredths = std::nullopt,
                        int laps = 0, int64_t split = 0) {
    ResultRecord* r = list.Add();
    r->SetId(id);
    if (hundredths) r->SetTime(Secs(*hundredths));
    if (laps) r->SetLapsToGo(laps);
    if (split) r->SetCumSplitTime(Secs(split));
    return r;
}

/// Ids (or, with `places`, places) in sorted order.
std::string Order(ResultList& list, bool places = false) {
    std::string out;
    for (ResultRecord& r : list.Sorted())
        out += (out.empty() ? "" : " ") + (places ? std::to_string(r.Place()) : ToUtf8(r.Id()));
    return out;
}

class Recorder : public ResultListObserver {
public:
    void BeforeChange(ResultList&, ResultRecord* record) override {
        log.push_back(record ? "before" : "before-list");
    }
    void AfterChange(ResultList&, ResultRecord&, bool moved) override {
        log.push_back(moved ? "after-moved" : "after");
    }
    void AfterResort(ResultList&) override { log.push_back("resort"); }
    void AfterStandingsRecalculated(ResultList&) override { log.push_back("standings"); }
    void AfterAddRemove(ResultList&) override { log.push_back("add-remove"); }
    void AfterFinalization(ResultList&) override { log.push_back("finalized"); }
    void AfterFlagsChanged(ResultList&) override { log.push_back("flags"); }
    long Resorts() const { return std::count(log.begin(), log.end(), "resort"); }
    std::vector<std::string> log;
};

}  // namespace

TEST(ResultRecord, PlaceFromTextSetsACodeOrANumber) {
    const std::tuple<KStringView, ResultCode, int32_t> steps[] = {
        {u"DQ", ResultCode::Disqualified, -1},  {u"7", ResultCode::None, 7},
        {u"DNF", ResultCode::DidNotFinish, -1}, {u"", ResultCode::DidNotFinish, -1},  // only clears the place
        {u"first", ResultCode::None, -1},       {u"08", ResultCode::None, 8},
        {u" 3", ResultCode::None, 3},           {u"3T", ResultCode::None, 3},
        {u"99999999999", ResultCode::None, -1}, {u"-", ResultCode::None, -1},
    };
    ResultList list;
    ResultRecord* r = list.Add();
    EXPECT_EQ(r->Place(), -1);
    for (const auto& [text, code, place] : steps) {
        r->SetPlaceFromText(text);
        EXPECT_EQ(r->Code(), code) << ToUtf8(text);
        EXPECT_EQ(r->Place(), place) << ToUtf8(text);
    }
    ResultCodeTexts german;
    german.texts[4] = u"DIS";
    r->SetPlaceFromText(u"DIS", german);
    EXPECT_EQ(r->Code(), ResultCode::Disqualified);
}

TEST(ResultRecord, ForcedTimeFlagAndPlaceTexts) {
    ResultList list;
    ResultRecord* r = AddRunner(list, u"1");
    r->SetPlace(3);
    r->SetTime(Secs(6543), true);
    EXPECT_NE(r->Flags() & ResultRecord::kFlagForcedTime, 0u);
    r->SetTime(Secs(6543));  // unchanged: nothing happens
    EXPECT_NE(r->Flags() & ResultRecord::kFlagForcedTime, 0u);
    r->SetCode(ResultCode::Scratched);
    EXPECT_EQ(r->PlaceText(), u"SCR");
    r->SetCode(ResultCode::None);
    r->SetTime(Secs(6544));
    EXPECT_EQ(r->Flags() & ResultRecord::kFlagForcedTime, 0u);

    ResultRecord* onCourse = AddRunner(list, u"2", {}, 0, 3000);
    EXPECT_EQ(r->PlaceText(), u"3");
    EXPECT_EQ(onCourse->PlaceText(), u"");  // there is a finisher, so a split shows no place
    list.Remove(r);
    EXPECT_EQ(onCourse->PlaceText(), u"1");  // no finisher left: the split decides
    EXPECT_EQ(ResultList::ValidPrecision(80001), kTicksHundredth);
    EXPECT_EQ(ResultList::ValidPrecision(80000), kTicksSecond);
}

TEST(ResultList, OrdersFinishedThenOnCourseThenCoded) {
    ResultList list;
    AddRunner(list, u"dq", 900)->SetCode(ResultCode::Disqualified);
    AddRunner(list, u"tie", 1100);
    AddRunner(list, u"slow", 1200);
    AddRunner(list, u"lap2", {}, 2);
    AddRunner(list, u"lap1nosplit", {}, 1);
    AddRunner(list, u"lap1late", {}, 1, 800);
    AddRunner(list, u"lap1early", {}, 1, 700);
    AddRunner(list, u"fast", 1100);  // equal time: creation order decides
    AddRunner(list, u"dns")->SetCode(ResultCode::DidNotStart);
    AddRunner(list, u"adv", 1150)->SetCode(ResultCode::Advanced);
    EXPECT_EQ(Order(list), "tie fast adv slow lap1early lap1late lap1nosplit lap2 dns dq");

    ScoringRules countsUp;
    countsUp.lapsCountUp = true;
    list.SetRules(countsUp);
    EXPECT_EQ(Order(list), "tie fast adv slow lap2 lap1early lap1late lap1nosplit dns dq");
}

TEST(ResultList, FinishersShareTiedPlacesAndKeepSourcePlaces) {
    ResultList list;
    AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1050);
    AddRunner(list, u"c", 1050);
    AddRunner(list, u"d", 1100);
    AddRunner(list, u"e");  // on course: no place while there are finishers
    EXPECT_EQ(Order(list, true), "1 2 2 4 -1");
    list.Find(TextField::Id, u"d")->SetPlace(9);  // from the source
    AddRunner(list, u"f", 900);
    EXPECT_EQ(Order(list), "f a b c d e");
    EXPECT_EQ(Order(list, true), "1 2 3 3 9 -1");
    list.Find(TextField::Id, u"f")->SetPlaceFromText(u"DNF");
    EXPECT_EQ(Order(list, true), "1 2 2 9 -1 -1");
}

TEST(ResultList, WithoutFinishersSplitsGivePlaces) {
    ResultList list;
    const std::tuple<KStringView, int, int64_t> runners[] = {
        {u"a", 2, 900}, {u"b", 1, 900}, {u"c", 1, 800},    {u"d", 1, 800},
        {u"e", 2, 950}, {u"f", 4, 500}, {u"nosplit", 3, 0}};
    for (const auto& [id, laps, split] : runners) AddRunner(list, id, {}, laps, split);
    EXPECT_EQ(Order(list), "c d b a e nosplit f");
    // Ties need equal laps too; the split run ends at the first runner without a split.
    EXPECT_EQ(Order(list, true), "1 1 3 4 5 -1 -1");
    EXPECT_EQ(list.Group(ResultGroupKind::Split).count, 5u);
    EXPECT_EQ(list.Group(ResultGroupKind::OnCourse).count, 7u);
    EXPECT_EQ(list.Group(ResultGroupKind::Finished).count, 0u);
}

TEST(ResultList, GroupsAndIteration) {
    ResultList list;
    AddRunner(list, u"1", 1200);
    AddRunner(list, u"2", 1000);
    AddRunner(list, u"3", 1100);
    AddRunner(list, u"5");
    AddRunner(list, u"7")->SetCode(ResultCode::DidNotFinish);
    EXPECT_EQ(list.Group(ResultGroupKind::Finished).count, 3u);
    EXPECT_EQ(list.Group(ResultGroupKind::OnCourse).first->Id(), u"5");
    EXPECT_EQ(list.Group(ResultGroupKind::Coded).last->Id(), u"7");
    const ResultRecord* first = list.Group(ResultGroupKind::Finished).first;
    EXPECT_EQ(list.NextInGroup(first, ResultGroupKind::Finished)->Id(), u"3");
    EXPECT_EQ(list.NextInGroup(list.Group(ResultGroupKind::Finished).last, ResultGroupKind::Finished),
              nullptr);
    EXPECT_EQ(list.Previous(list.First(nullptr), nullptr), nullptr);
}

TEST(ResultList, StandingsOrderAndTeamPlaces) {
    ResultList list(true);
    const auto team = [&](KStringView name, int points, int members, std::vector<int32_t> places) {
        ResultRecord* t = list.Add();
        t->SetId(name);
        t->SetPoints(points);
        t->SetNumMembers(members);
        for (int32_t p : places) t->AppendPlace(p);
    };
    team(u"zero", 0, 7, {});
    team(u"small4", 20, 4, {});
    team(u"tieNo6th", 40, 5, {1, 2, 3, 4, 30});
    team(u"best", 15, 5, {1, 2, 3, 4, 5});
    team(u"tieNo6thB", 40, 5, {1, 2, 3, 4, 30});
    team(u"tie7th", 45, 7, {1, 2, 3, 4, 5, 20, 25});
    team(u"tieNo7th", 45, 7, {1, 2, 3, 4, 5, 20});
    for (const int32_t displacers : {2, INT32_MAX}) {  // compares only the entries there are
        list.SetRules({.maxDisplacers = displacers});
        EXPECT_EQ(Order(list), "best tieNo6th tieNo6thB tie7th tieNo7th small4 zero");
        EXPECT_EQ(Order(list, true), "1 2 2 4 5 -1 6");
    }
}

TEST(ResultList, NotifiesBeforeAndAfterChangesAndSortsLazily) {
    ResultList list;
    Recorder recorder;
    list.AddObserver(&recorder);
    ResultRecord* r = list.Add();
    r->SetLastName(u"Lee");
    r->SetLastName(u"Lee");  // unchanged: silent
    r->SetTime(Secs(100));
    r->SetReacTime(Secs(1));
    list.Resort();
    list.NotifyStandingsRecalculated();
    list.NotifyFinalized();
    list.SetOfficial(true);
    list.Remove(r);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"before-list", "add-remove", "before", "after",
                                                      "before", "after-moved", "before", "after",
                                                      "before-list", "resort", "standings", "finalized",
                                                      "before-list", "flags", "before-list", "add-remove"}));
    recorder.log.clear();

    ResultRecord* a = AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1100);
    EXPECT_EQ(recorder.Resorts(), 0);
    Order(list);
    a->SetFirstName(u"Ann");  // cannot move it
    EXPECT_EQ(Order(list), "a b");
    EXPECT_EQ(recorder.Resorts(), 1);
    list.SetOfficial(true);
    list.Resort();
    EXPECT_TRUE(list.IsOfficial());  // a sort is no change
    a->SetTime(Secs(1200));
    EXPECT_FALSE(list.IsOfficial());  // any change is
    EXPECT_EQ(Order(list), "b a");
    EXPECT_EQ(recorder.Resorts(), 3);
}

TEST(ResultList, ObserversMayLeaveFromInsideANoticeAndTheOthersStillHearIt) {
    struct Counter : ResultListObserver {
        void AfterChange(ResultList& list, ResultRecord&, bool) override {
            ++calls;
            for (ResultListObserver* observer : leaving) list.RemoveObserver(observer);
        }
        std::vector<ResultListObserver*> leaving;
        int calls = 0;
    } first, second, third;
    first.leaving = {&first, &third};  // third is removed before its turn
    ResultList list;
    ResultRecord* r = list.Add();
    for (Counter* observer : {&first, &second, &third}) list.AddObserver(observer);
    r->SetLane(u"1");
    r->SetLane(u"2");
    list.RemoveObserver(&second);  // outside a notice too
    r->SetLane(u"3");
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 2);
    EXPECT_EQ(third.calls, 0);
}

TEST(ResultList, FindAgreesWithAScanOfTheSortedListThroughManyChanges) {
    // Ids from a small pool, so that many records share one (the empty one above all), through adds,
    // removals, renames and clears, across the index's growth.
    ResultList list;
    std::vector<ResultRecord*> records;
    std::mt19937 random(7);
    const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const auto id = [&] { return pick(4) == 0 ? KString() : ToKString(static_cast<long long>(pick(300))); };
    for (int step = 0; step < 4000; ++step) {
        const size_t action = pick(20);
        if (action < 8 || records.empty()) {
            records.push_back(AddRunner(list, id(), static_cast<int64_t>(pick(100))));
        } else if (action < 12) {
            const size_t at = pick(records.size());
            list.Remove(records[at]);
            records.erase(records.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (action < 19) {
            records[pick(records.size())]->SetId(id());
        } else if (pick(10) == 0) {
            list.Clear();
            records.clear();
        }
        const KString wanted = id();
        ResultRecord* scan = nullptr;
        for (ResultRecord& r : list.Sorted())
            if (scan == nullptr && r.Id() == wanted) scan = &r;
        ASSERT_EQ(list.Find(TextField::Id, wanted), scan) << "step " << step;
    }
}

TEST(ResultList, FindingAUniqueIdDoesNotSort) {
    // An input update looks up every line by Id while its changes keep the list unsorted; sorting at
    // each look-up would make a message of N lines cost N sorts.
    ResultList list;
    Recorder recorder;
    list.AddObserver(&recorder);
    for (int i = 0; i < 50; ++i) AddRunner(list, ToKString(i), 1000 - i);
    for (int i = 0; i < 50; ++i) list.Find(TextField::Id, ToKString(i))->SetTime(Secs(2000 + i));
    EXPECT_EQ(recorder.Resorts(), 0);
    EXPECT_EQ(list.At(0)->Id(), u"0");
}
