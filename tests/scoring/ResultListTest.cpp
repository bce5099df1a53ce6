#include "scoring/ResultList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TimeValue Secs(int64_t hundredths) {
    return TimeValue(TickCount::FromInt64(hundredths * 800), kTicksHundredth);
}

ResultRecord* AddRunner(ResultList& list, KStringView id, std::optional<int64_t> hundredths = std::nullopt) {
    ResultRecord* r = list.Add();
    r->SetId(id);
    if (hundredths) r->SetTime(Secs(*hundredths));
    return r;
}

std::string Order(ResultList& list) {
    std::string ids;
    for (ResultRecord& r : list.Sorted()) ids += (ids.empty() ? "" : " ") + ToUtf8(r.Id());
    return ids;
}

std::string Places(ResultList& list) {
    std::string places;
    for (ResultRecord& r : list.Sorted()) places += (places.empty() ? "" : " ") + std::to_string(r.Place());
    return places;
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
    std::vector<std::string> log;
};

class OddIdsOnly : public ResultFilter {
public:
    bool Relevant(const ResultRecord& r) const override {
        return !r.Id().empty() && (r.Id().back() - u'0') % 2 == 1;
    }
    uint32_t Sequence() const override { return sequence; }
    uint32_t sequence = 1;
};

}  // namespace

TEST(ResultRecord, PlaceFromText) {
    ResultList list;
    ResultRecord* r = list.Add();
    EXPECT_EQ(r->Place(), -1);
    r->SetPlaceFromText(u"DQ");
    EXPECT_EQ(r->Code(), ResultCode::Disqualified);
    EXPECT_EQ(r->Place(), -1);
    r->SetPlaceFromText(u"7");
    EXPECT_EQ(r->Code(), ResultCode::None);
    EXPECT_EQ(r->Place(), 7);
    r->SetPlaceFromText(u"DNF");
    r->SetPlaceFromText(u"");
    EXPECT_EQ(r->Code(), ResultCode::DidNotFinish);  // an empty text only clears the place
    EXPECT_EQ(r->Place(), -1);
    r->SetPlaceFromText(u"first");
    EXPECT_EQ(r->Code(), ResultCode::None);
    EXPECT_EQ(r->Place(), -1);

    const struct {
        KStringView text;
        int32_t place;
    } numbers[] = {{u"08", 8}, {u" 3", 3}, {u"3T", 3}, {u"99999999999", -1}, {u"-", -1}};
    for (const auto& n : numbers) {
        r->SetPlaceFromText(n.text);
        EXPECT_EQ(r->Place(), n.place) << ToUtf8(n.text);
    }

    ResultCodeTexts german;
    german.texts[4] = u"DIS";
    r->SetPlaceFromText(u"DQ", german);
    EXPECT_EQ(r->Code(), ResultCode::None);
    r->SetPlaceFromText(u"DIS", german);
    EXPECT_EQ(r->Code(), ResultCode::Disqualified);
}

TEST(ResultRecord, DerivedPredicates) {
    ResultList list;
    ResultRecord* r = list.Add();
    r->SetPlace(3);
    EXPECT_TRUE(r->IsOnCourse());
    EXPECT_FALSE(r->HasSplit());
    r->SetCumSplitTime(Secs(100));
    EXPECT_TRUE(r->HasSplit());
    r->SetTime(Secs(200));
    EXPECT_TRUE(r->IsFinished());
    EXPECT_FALSE(r->IsOnCourse());
    EXPECT_EQ(r->EffectivePlace(), 3);
    r->SetCode(ResultCode::Advanced);
    EXPECT_TRUE(r->IsValid());
    EXPECT_TRUE(r->IsFinished());
    EXPECT_EQ(r->EffectivePlace(), 0);
    r->SetCode(ResultCode::Scratched);
    EXPECT_TRUE(r->IsCoded());
    EXPECT_FALSE(r->IsFinished());
    EXPECT_FALSE(r->HasSplit());
    EXPECT_EQ(r->EffectivePlace(), 0);
}

TEST(ResultRecord, TimeForceFlag) {
    ResultList list;
    ResultRecord* r = list.Add();
    r->SetTime(Secs(100), true);
    EXPECT_EQ(r->Flags() & ResultRecord::kFlagForcedTime, ResultRecord::kFlagForcedTime);
    r->SetTime(Secs(100));  // unchanged: nothing happens
    EXPECT_EQ(r->Flags() & ResultRecord::kFlagForcedTime, ResultRecord::kFlagForcedTime);
    r->SetTime(Secs(101));
    EXPECT_EQ(r->Flags() & ResultRecord::kFlagForcedTime, 0u);
}

TEST(ResultRecord, PlaceListReadsMinusOneBeyondItsEnd) {
    ResultList list(true);
    ResultRecord* team = list.Add();
    team->AppendPlace(4);
    team->AppendPlace(0);
    EXPECT_EQ(team->PlaceListEntry(0), 4);
    EXPECT_EQ(team->PlaceListEntry(1), 0);
    EXPECT_EQ(team->PlaceListEntry(2), -1);
    team->ClearPlaceList();
    EXPECT_EQ(team->PlaceListEntry(0), -1);
}

TEST(ResultRecord, DisplayTexts) {
    ResultList list;
    ResultRecord* finisher = AddRunner(list, u"1", 6543);
    ResultRecord* onCourse = AddRunner(list, u"2");
    onCourse->SetCumSplitTime(Secs(3000));
    ResultRecord* dnf = AddRunner(list, u"3");
    dnf->SetPlaceFromText(u"DNF");
    EXPECT_EQ(finisher->PlaceText(), u"1");
    EXPECT_EQ(onCourse->PlaceText(), u"");  // there is a finisher, so a split shows no place
    EXPECT_EQ(dnf->PlaceText(), u"DNF");
    EXPECT_EQ(finisher->FormatTimeField(finisher->Time()), u"1:05.43");
    finisher->SetDisplayPrecision(kTicksTenth);
    EXPECT_EQ(finisher->FormatTimeField(finisher->Time()), u"1:05.5");

    list.Remove(finisher);
    EXPECT_EQ(onCourse->PlaceText(), u"1");  // no finisher left: the split decides
    EXPECT_EQ(list.Find(TextField::Id, u"1"), nullptr);

    ResultList standings(true);
    ResultRecord* team = standings.Add();
    EXPECT_EQ(team->PointsText(), u"");
    team->SetPoints(15);
    EXPECT_EQ(team->PointsText(), u"15");
}

TEST(ResultList, PrecisionOutsideTheRangeBecomesHundredths) {
    EXPECT_EQ(ResultList::ValidPrecision(0), kTicksHundredth);
    EXPECT_EQ(ResultList::ValidPrecision(80001), kTicksHundredth);
    EXPECT_EQ(ResultList::ValidPrecision(80000), kTicksSecond);
    EXPECT_EQ(ResultList(false, kTicksUnit).Precision(), kTicksUnit);
}

TEST(ResultList, OrdersFinishedThenOnCourseThenCoded) {
    ResultList list;
    AddRunner(list, u"dq", 900)->SetCode(ResultCode::Disqualified);
    AddRunner(list, u"slow", 1200);
    ResultRecord* lap2 = AddRunner(list, u"lap2");
    lap2->SetLapsToGo(2);
    ResultRecord* lap1NoSplit = AddRunner(list, u"lap1nosplit");
    lap1NoSplit->SetLapsToGo(1);
    ResultRecord* lap1Late = AddRunner(list, u"lap1late");
    lap1Late->SetLapsToGo(1);
    lap1Late->SetCumSplitTime(Secs(800));
    ResultRecord* lap1Early = AddRunner(list, u"lap1early");
    lap1Early->SetLapsToGo(1);
    lap1Early->SetCumSplitTime(Secs(700));
    AddRunner(list, u"fast", 1100);
    AddRunner(list, u"dns")->SetCode(ResultCode::DidNotStart);
    AddRunner(list, u"adv", 1150)->SetCode(ResultCode::Advanced);
    EXPECT_EQ(Order(list), "fast adv slow lap1early lap1late lap1nosplit lap2 dns dq");

    ScoringRules countsUp;
    countsUp.lapsCountUp = true;
    list.SetRules(countsUp);
    EXPECT_EQ(Order(list), "fast adv slow lap2 lap1early lap1late lap1nosplit dns dq");
}

TEST(ResultList, EqualKeysKeepCreationOrder) {
    ResultList list;
    AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 900);
    AddRunner(list, u"c", 1000);
    AddRunner(list, u"d", 1000);
    EXPECT_EQ(Order(list), "b a c d");
}

TEST(ResultList, SharedPlacesForEqualTimes) {
    ResultList list;
    AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1050);
    AddRunner(list, u"c", 1050);
    AddRunner(list, u"d", 1100);
    AddRunner(list, u"e");  // on course: no place while there are finishers
    EXPECT_EQ(Places(list), "1 2 2 4 -1");
}

TEST(ResultList, SourcePlacesAreKept) {
    ResultList list;
    AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1050)->SetPlace(5);
    AddRunner(list, u"c", 1100);
    EXPECT_EQ(Places(list), "1 5 3");
}

TEST(ResultList, ComputedPlacesFollowLaterFinishers) {
    ResultList list;
    AddRunner(list, u"a", 1000);
    EXPECT_EQ(Places(list), "1");
    AddRunner(list, u"b", 900);
    EXPECT_EQ(Order(list), "b a");
    EXPECT_EQ(Places(list), "1 2");
    list.Find(TextField::Id, u"b")->SetPlaceFromText(u"DNF");
    EXPECT_EQ(Places(list), "1 -1");
}

TEST(ResultList, WithoutFinishersSplitsGivePlaces) {
    ResultList list;
    const struct {
        KStringView id;
        int laps;
        int64_t split;
    } runners[] = {{u"a", 2, 500}, {u"b", 1, 900}, {u"c", 1, 800}, {u"d", 1, 800}, {u"e", 2, 500}};
    for (const auto& runner : runners) {
        ResultRecord* r = AddRunner(list, runner.id);
        r->SetLapsToGo(runner.laps);
        r->SetCumSplitTime(Secs(runner.split));
    }
    AddRunner(list, u"nosplit")->SetLapsToGo(1);
    EXPECT_EQ(Order(list), "c d b nosplit a e");
    EXPECT_EQ(Places(list), "1 1 3 -1 -1 -1");  // the split run ends at the first runner without a split
    EXPECT_EQ(list.Group(ResultGroupKind::Split).count, 3u);
    EXPECT_EQ(list.Group(ResultGroupKind::OnCourse).count, 6u);
    EXPECT_EQ(list.Group(ResultGroupKind::Finished).count, 0u);
}

TEST(ResultList, GroupsAndIteration) {
    ResultList list;
    AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1100);
    AddRunner(list, u"c");
    AddRunner(list, u"d")->SetCode(ResultCode::DidNotFinish);
    EXPECT_EQ(list.Group(ResultGroupKind::Finished).count, 2u);
    EXPECT_EQ(list.Group(ResultGroupKind::Split).count, 0u);
    EXPECT_EQ(list.Group(ResultGroupKind::OnCourse).first->Id(), u"c");
    EXPECT_EQ(list.Group(ResultGroupKind::Coded).last->Id(), u"d");
    const ResultRecord* first = list.Group(ResultGroupKind::Finished).first;
    EXPECT_EQ(list.NextInGroup(first, ResultGroupKind::Finished)->Id(), u"b");
    EXPECT_EQ(list.NextInGroup(list.Group(ResultGroupKind::Finished).last, ResultGroupKind::Finished),
              nullptr);

    std::string forward;
    for (ResultRecord* r = list.First(nullptr); r; r = list.Next(r, nullptr)) forward += ToUtf8(r->Id());
    EXPECT_EQ(forward, "abcd");
    EXPECT_EQ(list.Previous(list.First(nullptr), nullptr), nullptr);
    EXPECT_EQ(list.Count(nullptr), 4u);
}

TEST(ResultList, FilterPutsIrrelevantRecordsLast) {
    ResultList list;
    AddRunner(list, u"1", 1200);
    AddRunner(list, u"2", 1000);
    AddRunner(list, u"3", 1100);
    AddRunner(list, u"5");
    OddIdsOnly filter;
    std::string relevant;
    for (ResultRecord* r = list.First(&filter); r; r = list.Next(r, &filter)) relevant += ToUtf8(r->Id());
    EXPECT_EQ(relevant, "315");
    EXPECT_EQ(list.Count(&filter), 3u);
    EXPECT_EQ(Order(list), "3 1 5 2");
    EXPECT_EQ(list.Group(ResultGroupKind::Finished).count, 2u);
}

TEST(ResultList, StandingsOrdering) {
    ResultList list(true);
    const auto team = [&](KStringView name, int points, int members, std::vector<int32_t> places) {
        ResultRecord* t = list.Add();
        t->SetAffiliation(name);
        t->SetPoints(points);
        t->SetNumMembers(members);
        for (int32_t p : places) t->AppendPlace(p);
        return t;
    };
    team(u"zero", 0, 7, {});
    team(u"small4", 20, 4, {});
    team(u"small3", 10, 3, {});
    team(u"small4b", 18, 4, {});
    team(u"tieNo6th", 40, 5, {1, 2, 3, 4, 30});
    team(u"tie6th12", 40, 7, {5, 6, 7, 8, 14, 12, 20});
    team(u"tie6th11", 40, 6, {5, 6, 7, 9, 13, 11});
    team(u"best", 15, 5, {1, 2, 3, 4, 5});
    team(u"tieNo6thB", 40, 5, {1, 2, 3, 4, 30});
    std::string order;
    for (ResultRecord& t : list.Sorted())
        order += ToUtf8(t.Affiliation()) + ":" + std::to_string(t.Place()) + " ";
    EXPECT_EQ(order,
              "best:1 tie6th11:2 tie6th12:3 tieNo6th:4 tieNo6thB:4 small4b:-1 small4:-1 small3:-1 zero:6 ");
}

TEST(ResultList, TeamPlacesCompareTheSeventhRunnerToo) {
    ResultList list(true);
    for (KStringView name : {u"A", u"B"}) {
        ResultRecord* t = list.Add();
        t->SetAffiliation(name);
        t->SetPoints(30);
        t->SetNumMembers(7);
        for (int32_t p : {1, 2, 3, 4, 5, 20}) t->AppendPlace(p);
    }
    list.At(1)->AppendPlace(25);  // only B has a 7th runner
    EXPECT_EQ(list.At(0)->Affiliation(), u"B");
    EXPECT_EQ(list.At(0)->Place(), 1);
    EXPECT_EQ(list.At(1)->Place(), 2);
}

TEST(ResultList, HugeDisplacerCountStillPlacesTiedTeams) {
    ResultList list(true);
    ScoringRules rules;
    rules.maxDisplacers = INT32_MAX;
    list.SetRules(rules);
    for (int i = 0; i < 2; ++i) {
        ResultRecord* t = list.Add();
        t->SetPoints(30);
        t->SetNumMembers(5);
    }
    EXPECT_EQ(list.At(0)->Place(), 1);
    EXPECT_EQ(list.At(1)->Place(), 1);
}

TEST(ResultList, AssignTeamPlacesCanZeroSmallTeams) {
    ResultList list(true);
    ResultRecord* small = list.Add();
    small->SetPoints(9);
    small->SetNumMembers(2);
    list.Resort();
    list.AssignTeamPlaces(true);
    EXPECT_EQ(small->Points(), 0);
    EXPECT_EQ(small->Place(), -1);
}

TEST(ResultList, NotifiesBeforeAndAfterChanges) {
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
    list.RemoveObserver(&recorder);
    list.Add();
    EXPECT_EQ(recorder.log.size(), 16u);
}

TEST(ResultList, AnObserverMayLeaveFromInsideANotice) {
    struct Leaver : ResultListObserver {
        void AfterChange(ResultList& list, ResultRecord&, bool) override {
            ++calls;
            list.RemoveObserver(this);
        }
        int calls = 0;
    } first, second;
    ResultList list;
    ResultRecord* r = list.Add();
    list.AddObserver(&first);
    list.AddObserver(&second);
    r->SetLane(u"1");
    r->SetLane(u"2");
    r->SetLane(u"3");
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
}

TEST(ResultList, SortsLazilyAndOnlyWhenSomethingMoved) {
    ResultList list;
    Recorder recorder;
    list.AddObserver(&recorder);
    ResultRecord* a = AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1100);
    const auto resorts = [&] { return std::count(recorder.log.begin(), recorder.log.end(), "resort"); };
    EXPECT_EQ(resorts(), 0);
    EXPECT_EQ(Order(list), "a b");
    EXPECT_EQ(Order(list), "a b");
    EXPECT_EQ(resorts(), 1);
    a->SetFirstName(u"Ann");  // cannot move it
    EXPECT_EQ(Order(list), "a b");
    EXPECT_EQ(resorts(), 1);
    a->SetTime(Secs(1200));
    EXPECT_EQ(resorts(), 1);
    EXPECT_EQ(Order(list), "b a");
    EXPECT_EQ(resorts(), 2);
}

TEST(ResultList, AnyChangeMarksTheListUnofficial) {
    ResultList list(true);
    ResultRecord* team = list.Add();
    EXPECT_FALSE(list.IsOfficial());
    list.SetOfficial(true);
    EXPECT_TRUE(list.IsOfficial());
    list.Resort();  // a sort is no change
    EXPECT_TRUE(list.IsOfficial());
    team->SetNumScorers(3);
    EXPECT_FALSE(list.IsOfficial());
    EXPECT_TRUE(list.IsStandings());
}

TEST(ResultList, FindByTextReturnsTheFirstInSortedOrder) {
    ResultList list;
    ResultRecord* slow = AddRunner(list, u"7", 1200);
    ResultRecord* fast = AddRunner(list, u"7", 1100);
    ResultRecord* other = AddRunner(list, u"8", 1000);
    EXPECT_EQ(list.Find(TextField::Id, u"7"), fast);
    EXPECT_EQ(list.Find(TextField::Id, u"8"), other);
    EXPECT_EQ(list.Find(TextField::Id, u"9"), nullptr);
    fast->SetId(u"9");
    EXPECT_EQ(list.Find(TextField::Id, u"7"), slow);
    EXPECT_EQ(list.Find(TextField::Id, u"9"), fast);
    list.Remove(slow);
    EXPECT_EQ(list.Find(TextField::Id, u"7"), nullptr);
    EXPECT_EQ(list.Find(TextField::Lane, u""), other);  // an empty text matches an empty field
    other->SetAffiliation(u"Ames");
    EXPECT_EQ(list.Find(TextField::Affiliation, u"Ames"), other);
    list.Clear();
    EXPECT_EQ(list.Find(TextField::Id, u"9"), nullptr);
    ResultRecord* again = AddRunner(list, u"9");
    EXPECT_EQ(list.Find(TextField::Id, u"9"), again);
}

TEST(ResultList, FindingAUniqueIdDoesNotSort) {
    // An input update looks up every line by Id while its changes keep the list unsorted; sorting at
    // each look-up would make a message of N lines cost N sorts.
    ResultList list;
    Recorder recorder;
    list.AddObserver(&recorder);
    for (int i = 0; i < 50; ++i) AddRunner(list, ToKString(i), 1000 - i);
    for (int i = 0; i < 50; ++i) {
        ResultRecord* r = list.Find(TextField::Id, ToKString(i));
        ASSERT_NE(r, nullptr);
        r->SetTime(Secs(2000 + i));
    }
    EXPECT_EQ(std::count(recorder.log.begin(), recorder.log.end(), "resort"), 0);
    EXPECT_EQ(list.At(0)->Id(), u"0");
}

TEST(ResultList, AddCopyKeepsFieldsAndSequence) {
    ResultList list;
    ResultRecord* a = AddRunner(list, u"a", 1000);
    AddRunner(list, u"b", 1000);
    a->SetAffiliation(u"Ames");
    a->SetCode(ResultCode::Advanced);
    ResultList copy;
    ResultRecord* b = copy.AddCopy(*list.At(1));
    ResultRecord* c = copy.AddCopy(*a);
    EXPECT_EQ(c->Affiliation(), u"Ames");
    EXPECT_EQ(c->Code(), ResultCode::Advanced);
    EXPECT_EQ(c->Sequence(), a->Sequence());
    EXPECT_EQ(Order(copy), "a b");  // equal times: the original creation order decides
    EXPECT_GT(copy.Add()->Sequence(), b->Sequence());
    EXPECT_EQ(copy.Find(TextField::Affiliation, u"Ames"), c);
}
