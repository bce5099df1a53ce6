#include "scoring/FieldSet.h"

#include <gtest/gtest.h>

#include "foundation/KBinaryData.h"
#include "scoring/EventRecord.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"
#include "support/KTempFolder.h"

namespace {

constexpr int32_t kCharWidth = 7;

TimeValue T(int64_t ticks, TickCount precision) { return TimeValue(TickCount::FromInt64(ticks), precision); }

using Cols = std::vector<FieldSet::Column>;

FieldSet::Filter Range(TextField field, KStringView lower, KStringView upper) {
    FieldSet::Filter filter;
    filter.lower[static_cast<size_t>(field)] = KString(lower);
    filter.upper[static_cast<size_t>(field)] = KString(upper);
    return filter;
}

class FieldSetTest : public ::testing::Test {
protected:
    void SetUp() override { LoadDefaults(settings); }

    FieldSet& ResultsSet() { return *static_cast<FieldSet*>(event.Results().FieldSet()); }
    FieldSet& StandingsSet() { return *static_cast<FieldSet*>(event.Standings().FieldSet()); }
    KRInt* Key(FieldTable table, KStringView key) {
        return settings.FindInt(KString(DefaultsGroupPath(table)) + KString(key));
    }

    KRegistry settings;
    EventRecord event;
};

TEST_F(FieldSetTest, CellsShowEachFieldWithItsAlignment) {
    ResultRecord* r = event.Results().Add();
    r->SetPlaceFromText(u"3");
    r->SetId(u"150");
    r->SetDisplayPrecision(kTicksTenth);
    r->SetTime(T(80000LL * 65 + 344 * 80, kTicksThousandth));  // 1:05.344
    r->SetDeltaTime(T(80000 + 2400, kTicksHundredth));         // 1.03 at tenths, rounded up
    r->SetReacTime(T(80 * 123 + 8, kTicksTenThousandth));      // 0.1231 at thousandths
    r->SetLapsToGo(0);
    ResultRecord* team = event.Standings().Add();
    team->SetNumScorers(7);
    team->SetNumMembers(9);

    const std::tuple<FieldTable, int, KStringView, FieldAlignment> cases[] = {
        {FieldTable::Results, 0, u"3", FieldAlignment::Right},
        {FieldTable::Results, 7, u"1:05.344", FieldAlignment::Decimal},  // its own precision
        {FieldTable::Results, 8, u"1.1", FieldAlignment::Decimal},       // the record's precision
        {FieldTable::Results, 9, u"0.124", FieldAlignment::Decimal},
        {FieldTable::Results, 10, u"", FieldAlignment::Decimal},  // no split time
        {FieldTable::Results, 13, u"0", FieldAlignment::Right},
        {FieldTable::Standings, 0, u"", FieldAlignment::Right},     // no place
        {FieldTable::Standings, 2, u"-", FieldAlignment::Decimal},  // no points
        {FieldTable::Standings, 3, u"7", FieldAlignment::Right},
        {FieldTable::Standings, 4, u"9", FieldAlignment::Right},
        {FieldTable::Standings, -1, u"", FieldAlignment::None},  // no such field
    };
    for (const auto& [table, field, text, alignment] : cases) {
        const FieldCell cell = CellText(table, field, table == FieldTable::Results ? *r : *team);
        EXPECT_EQ(cell.text, text) << "field " << field;
        EXPECT_EQ(cell.alignment, alignment) << "field " << field;
    }
}

TEST_F(FieldSetTest, LabelsComeFromTheLanguageWithTheDefaultsBehind) {
    settings.Define(u"Strings\\Event\\Results\\Print\\Fields\\Time:String=Zeit");
    KRegistry empty;
    EXPECT_EQ(FieldLabel(settings, FieldTable::Results, 10), u"Cum. Split Time");
    EXPECT_EQ(FieldLabel(settings, FieldTable::Results, 7, true), u"Zeit");
    EXPECT_EQ(FieldLabel(settings, FieldTable::Results, 8, false, true), u"Lengths");
    EXPECT_EQ(FieldLabel(settings, FieldTable::Standings, 3), u"Num Scorers + Displacers");
    EXPECT_EQ(FieldLabel(empty, FieldTable::Results, 13), u"Laps");
    EXPECT_EQ(FieldLabel(settings, FieldTable::Standings, 5), u"");
}

TEST_F(FieldSetTest, StartUpDefaultsGiveTheColumnsAndNothingShownGivesPlaceAlone) {
    struct Counter : FieldSetObserver {
        void AfterFieldsChanged(FieldSet&) override { ++count; }
        int count = 0;
    } counter;
    ResultsSet().AddObserver(&counter);
    settings.Define(u"Event\\Standings\\Fields\\Defaults\\:=");  // the user's own group is kept
    settings.Define(u"Event\\Standings\\Fields\\Defaults\\1E:Int=1");
    EnsureDefaultFields(settings, kCharWidth);
    Key(FieldTable::Results, u"1W")->SetValue(33);
    ApplyDefaultFields(settings, event);
    EXPECT_EQ(ResultsSet().Columns(),
              (Cols{{0, 42}, {1, 33}, {4, 140}, {5, 140}, {7, 70}, {10, 42}, {13, 42}}));
    EXPECT_EQ(StandingsSet().Columns(), (Cols{{1, 0}}));  // 1W was missing: created as 0
    EXPECT_EQ(Key(FieldTable::Standings, u"1W")->Value(), 0);
    EXPECT_EQ(counter.count, 1);

    Key(FieldTable::Standings, u"1E")->SetValue(0);
    ApplyDefaultFields(settings, StandingsSet());
    EXPECT_EQ(StandingsSet().Columns(), (Cols{{0, 50}}));

    // A tree without the parent groups gets them too.
    KRegistry bare;
    EnsureDefaultFields(bare, kCharWidth);
    ApplyDefaultFields(bare, StandingsSet());
    EXPECT_EQ(StandingsSet().Columns(), (Cols{{0, 35}, {1, 70}, {2, 35}, {3, 84}, {4, 84}}));
    ResultsSet().RemoveObserver(&counter);
}

TEST_F(FieldSetTest, FiltersCompareTextsPaddedAndWithoutCase) {
    FieldSet::Filter filter = Range(TextField::Id, u"100", u"199");
    filter.lower[static_cast<size_t>(TextField::LastName)] = u"a";
    filter.upper[static_cast<size_t>(TextField::LastName)] = u"m";
    ResultRecord* r = event.Results().Add();
    // " 99" sorts before "100"; "K" lies between "a" and "m" only when case is ignored.
    const std::tuple<KStringView, KStringView, bool> cases[] = {
        {u"150", u"K", true},   {u"99", u"K", false},  {u"199", u"K", true},
        {u"1000", u"K", false}, {u"150", u"N", false},
    };
    for (const auto& [id, lastName, accepted] : cases) {
        r->SetId(id);
        r->SetLastName(lastName);
        EXPECT_EQ(filter.Accepts(*r), accepted) << ToUtf8(id) << " " << ToUtf8(lastName);
    }
    r->SetId(u"5");
    EXPECT_TRUE(Range(TextField::Id, u"100", u"").Accepts(*r));  // one side only: no limit
}

TEST_F(FieldSetTest, ListsSortedAgainstTheirFieldSetPutRecordsNoFilterAcceptsLast) {
    const std::pair<KStringView, int> runners[] = {{u"250", 100}, {u"120", 110}, {u"99", 90}, {u"300", 80}};
    for (auto [id, seconds] : runners) {
        ResultRecord* r = event.Results().Add();
        r->SetId(id);
        r->SetTime(T(80000LL * seconds, kTicksHundredth));
    }
    ResultList& list = event.Results();
    FieldSet& set = ResultsSet();
    EXPECT_EQ(list.Count(&set), 4u);  // the new set's one filter accepts everything

    set.SetFilters({Range(TextField::Id, u"100", u"199"), Range(TextField::Id, u"200", u"299")});
    EXPECT_EQ(list.Count(&set), 2u);
    std::string relevant;
    for (ResultRecord* r = list.First(&set); r; r = list.Next(r, &set)) relevant += ToUtf8(r->Id()) + " ";
    EXPECT_EQ(relevant, "250 120 ");
    std::string order;
    for (ResultRecord& r : list.Sorted()) order += ToUtf8(r.Id()) + " ";
    EXPECT_EQ(order, "250 120 99 300 ");  // the others by creation, not by time
    EXPECT_EQ(list.Group(ResultGroupKind::Finished).count, 2u);
    set.SetFilters({});
    EXPECT_EQ(list.First(&set), nullptr);  // no filter: nothing is relevant

    // Replacing the set the list last sorted against leaves no filter behind.
    list.SetFieldSet(std::make_unique<FieldSet>(FieldTable::Results));
    EXPECT_EQ(list.CurrentFilter(), nullptr);
    EXPECT_EQ(list.Count(nullptr), 4u);
}

TEST_F(FieldSetTest, FieldSetsTravelInTheEventAndOlderEventsKeepTheCurrentOnes) {
    FieldSet::Filter filter = Range(TextField::Id, u"100", u"199");
    filter.name = u"Varsity";
    filter.flags = 1;
    ResultsSet().SetFilters({filter, Range(TextField::LastName, u"A", u"K")});
    ResultsSet().SetColumns(Cols{{13, 40}, {0, 55}, {7, 90}});
    ResultsSet().SetSettingValues({1, 2, 3, 0xFFFFFFFF});
    StandingsSet().SetColumns(Cols{{2, 30}, {1, 100}});
    const auto storeAndLoad = [](const EventRecord& source, EventRecord& target) {
        KBinaryWriter out;
        source.Store(out);
        KBinaryReader in(out.Bytes());
        target.Load(in);
    };
    EventRecord loaded;
    storeAndLoad(event, loaded);
    const auto& set = *static_cast<FieldSet*>(loaded.Results().FieldSet());
    EXPECT_EQ(set.Filters(), ResultsSet().Filters());
    EXPECT_EQ(set.Columns(), ResultsSet().Columns());
    EXPECT_EQ(set.SettingValues(), ResultsSet().SettingValues());
    EXPECT_EQ(static_cast<FieldSet*>(loaded.Standings().FieldSet())->Columns(), StandingsSet().Columns());

    EventRecord older;  // as written before field sets were stored
    older.Results().SetFieldSet(nullptr);
    storeAndLoad(older, event);
    EXPECT_EQ(ResultsSet().Columns(), set.Columns());
}

TEST_F(FieldSetTest, StoredBlocksThatDoNotFitAreRefusedOrPassedOver) {
    const auto block = [](uint32_t version, uint32_t slots, std::vector<int32_t> fields) {
        KBinaryWriter out;
        out.WriteWord(version);
        out.WriteWord(5);
        out.WriteText(u"Results");
        for (int i = 0; i < 2 + 4 + 5; ++i) out.WriteWord(0);
        out.WriteWord(0);  // no filters
        out.WriteWord(slots);
        const uint32_t written = std::min(slots, 17u);  // a corrupt count need not be backed by data
        for (uint32_t i = 0; i < written; ++i) out.WriteInt(11);
        out.WriteWord(static_cast<uint32_t>(fields.size()));
        for (uint32_t i = 0; i < written; ++i) out.WriteInt(i < fields.size() ? fields[i] : 16);
        return out.Bytes();
    };
    const auto load = [](FieldSet& set, const std::vector<uint8_t>& bytes) {
        KBinaryReader in(bytes);
        return CaughtError([&] { set.Load(in); }).first;
    };
    FieldSet set(FieldTable::Results);
    const auto before = set.Columns();
    EXPECT_EQ(load(set, block(0x2000e, 17, {1})), 3009);
    EXPECT_EQ(set.Columns(), before);
    EXPECT_EQ(load(set, block(0x2000f, 6, {1})), 0);  // standings columns: read, not taken
    EXPECT_EQ(set.Columns(), before);
    EXPECT_TRUE(set.Filters().empty());
    EXPECT_EQ(load(set, block(0x2000f, 17, {4, 99, -1, 7})), 0);
    EXPECT_EQ(set.Columns(), (Cols{{4, 11}, {7, 11}}));
    EXPECT_EQ(load(set, block(0x2000f, 0x40000000, {})), 3010);
}

}  // namespace
