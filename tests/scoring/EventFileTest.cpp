#include "scoring/EventFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/EventRecord.h"

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-event-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

TimeValue T(int64_t ticks, TickCount precision = kTicksHundredth, int32_t tag = -1) {
    return TimeValue(TickCount::FromInt64(ticks), precision, tag);
}

void FillEvent(EventRecord& event) {
    event.SetName(u"Girls 5K \u00C9lite");
    event.SetEventNumber(u"12");
    event.SetRoundNumber(u"1");
    event.SetHeatNumber(u"2");
    event.SetWind(u"+0.3");
    event.SetStartType(u"Mass");
    event.SetOfficial(u"Unofficial");
    event.SetNumParticipants(180);
    event.SetFirstUpdate(false);
    ResultRecord* r = event.Results().Add();
    r->SetPlaceFromText(u"1");
    r->SetLastName(u"Lee");
    r->SetFirstName(u"Ann");
    r->SetAffiliation(u"Ames");
    r->SetLane(u"3");
    r->SetId(u"101");
    r->SetLicense(u"L-9");
    r->SetDisplayPrecision(kTicksTenth);
    r->SetTime(T(80000LL * 1000 + 800, kTicksHundredth, 5), true);
    r->SetReacTime(T(11760, kTicksThousandth));
    r->SetDeltaTime(T(-800));
    r->SetCumSplitTime(T(80000LL * 600));
    r->SetLastSplitTime(T(80000LL * 300));
    r->SetLapsToGo(0);
    r->SetSpeed(T(123));
    r->SetPace(T(456));
    r->SetBestSplitTime(T(789, kTicksUnit));
    ResultRecord* dnf = event.Results().Add();
    dnf->SetPlaceFromText(u"DNF");
    dnf->SetId(u"102");
    dnf->SetLapsToGo(-3);
    ResultRecord* team = event.Standings().Add();
    team->SetAffiliation(u"Ames");
    team->SetPoints(15);
    event.SummaryColumns().groups[0] = {0, 10, 20, 30, 40, 50};
    event.SummaryColumns().value = 7;
}

void ExpectSameRecord(const ResultRecord& a, const ResultRecord& b) {
    EXPECT_EQ(a.Sequence(), b.Sequence());
    EXPECT_EQ(a.Flags(), b.Flags());
    for (int i = 0; i < kTextFieldCount; ++i) EXPECT_EQ(a.Text(TextField(i)), b.Text(TextField(i)));
    EXPECT_EQ(a.Place(), b.Place());
    EXPECT_EQ(a.DisplayPrecision(), b.DisplayPrecision());
    EXPECT_TRUE(a.Time().IsIdentical(b.Time()));
    EXPECT_EQ(a.Code(), b.Code());
    EXPECT_TRUE(a.ReacTime().IsIdentical(b.ReacTime()));
    EXPECT_TRUE(a.DeltaTime().IsIdentical(b.DeltaTime()));
    EXPECT_TRUE(a.CumSplitTime().IsIdentical(b.CumSplitTime()));
    EXPECT_TRUE(a.LastSplitTime().IsIdentical(b.LastSplitTime()));
    EXPECT_EQ(a.LapsToGo(), b.LapsToGo());
    EXPECT_TRUE(a.Speed().IsIdentical(b.Speed()));
    EXPECT_TRUE(a.Pace().IsIdentical(b.Pace()));
    EXPECT_TRUE(a.BestSplitTime().IsIdentical(b.BestSplitTime()));
}

void ExpectEmpty(EventRecord& event) {
    EXPECT_EQ(event.Name(), u"");
    EXPECT_EQ(event.NumParticipants(), 0);
    EXPECT_EQ(event.Results().Size(), 0u);
    EXPECT_EQ(event.Standings().Size(), 0u);
}

int LoadError(EventRecord& event, std::span<const uint8_t> bytes) {
    KBinaryReader in(bytes);
    try {
        event.Load(in);
    } catch (const KError& e) {
        return e.Code();
    }
    return 0;
}

std::vector<uint8_t> Stored(const EventRecord& event) {
    KBinaryWriter out;
    event.Store(out);
    return out.Bytes();
}

// An event as an older build wrote it: version 0x20004 and records in the 0x20006 layout.
std::vector<uint8_t> OldEventBytes(uint32_t recordVersion = 0x20006, uint32_t textCount = 6) {
    KBinaryWriter out;
    out.WriteWord(0x20004);
    out.WriteWord(4);
    for (KStringView text : {u"Boys 8K", u"3", u"", u"1"}) out.WriteText(text);
    out.WriteWord(95);
    out.WriteText(u"Results");  // results list
    out.WriteWord(ResultList::kFlagUnofficial);
    out.WriteTicks(800);
    out.WriteWord(1);
    out.WriteWord(recordVersion);
    out.WriteWord(4);  // sequence
    out.WriteWord(0);  // flags
    out.WriteWord(textCount);
    for (uint32_t i = 0; i < textCount; ++i) out.WriteText(i == 4 ? KStringView(u"77") : KStringView(u"x"));
    out.WriteInt(2);  // place
    out.WriteTicks(0);
    T(80000LL * 1500, kTicksTenth).Store(out);
    out.WriteInt(0);  // code
    for (int i = 0; i < 6; ++i) out.WriteWord(0xDEADBEEF);
    for (int i = 0; i < 3; ++i) TimeValue{}.Store(out);
    out.WriteInt(0);  // laps
    for (int i = 0; i < 3; ++i) TimeValue{}.Store(out);
    out.WriteWord(0);  // no field set
    out.WriteText(u"Standings");
    out.WriteWord(ResultList::kFlagUnofficial | ResultList::kFlagStandings);
    out.WriteTicks(800);
    out.WriteWord(0);
    out.WriteWord(0);
    return out.Bytes();
}

class WordFieldSet : public ResultFieldSet {
public:
    bool Relevant(const ResultRecord&) const override { return true; }
    uint32_t Sequence() const override { return 1; }
    void Store(KBinaryWriter& out) const override {
        out.WriteWord(0x2000f);
        out.WriteInt(value);
    }
    void Load(KBinaryReader& in) override {
        if (in.ReadWord() != 0x2000f) throw KError(KErrorCode::kFileVersion);
        value = in.ReadInt();
    }
    int32_t value = 0;
};

}  // namespace

TEST(EventFile, PathIsBelowTheDocumentsFolder) {
    EXPECT_EQ(EventFile::PathIn("/home/ann/Documents"), "/home/ann/Documents/Velmar/Kestrun/Kestrun.dat");
}

TEST(EventFile, StoreAndLoadRoundTrip) {
    TempFolder folder;
    const auto path = EventFile::PathIn(folder.Path());
    EventRecord event;
    FillEvent(event);
    EventFile::Store(event, path);  // creates Velmar/Kestrun
    ASSERT_TRUE(std::filesystem::exists(path));

    EventRecord loaded;
    ASSERT_TRUE(EventFile::Load(loaded, path));
    EXPECT_EQ(loaded.Name(), event.Name());
    EXPECT_EQ(loaded.EventNumber(), u"12");
    EXPECT_EQ(loaded.RoundNumber(), u"1");
    EXPECT_EQ(loaded.HeatNumber(), u"2");
    EXPECT_EQ(loaded.Wind(), u"+0.3");
    EXPECT_EQ(loaded.StartType(), u"Mass");
    EXPECT_EQ(loaded.Official(), u"Unofficial");
    EXPECT_EQ(loaded.NumParticipants(), 180);
    EXPECT_TRUE(loaded.IsFirstUpdate());  // the first update after start still empties the results
    EXPECT_EQ(loaded.SummaryColumns(), event.SummaryColumns());
    ASSERT_EQ(loaded.Results().Size(), 2u);
    for (size_t i = 0; i < 2; ++i) ExpectSameRecord(*loaded.Results().At(i), *event.Results().At(i));
    ASSERT_EQ(loaded.Standings().Size(), 1u);
    EXPECT_EQ(loaded.Standings().At(0)->Affiliation(), u"Ames");
    EXPECT_TRUE(loaded.Standings().IsStandings());
    EXPECT_EQ(loaded.Standings().At(0)->Points(), 0);  // team fields are recomputed, not stored
    // Found by Id after loading, and new records number after the loaded ones.
    EXPECT_EQ(loaded.Results().Find(TextField::Id, u"102")->Code(), ResultCode::DidNotFinish);
    EXPECT_GT(loaded.Results().Add()->Sequence(), 1u);

    // Storing again over the file replaces it whole.
    loaded.SetName(u"Second");
    EventFile::Store(loaded, path);
    EventRecord again;
    ASSERT_TRUE(EventFile::Load(again, path));
    EXPECT_EQ(again.Name(), u"Second");
    EXPECT_EQ(again.Results().Size(), 3u);
}

TEST(EventFile, MissingFileIsNotAnError) {
    TempFolder folder;
    EventRecord event;
    event.SetName(u"Kept");
    EXPECT_FALSE(EventFile::Load(event, EventFile::PathIn(folder.Path())));
    EXPECT_EQ(event.Name(), u"Kept");
}

TEST(EventFile, LoadsOlderVersions) {
    EventRecord event;
    const auto bytes = OldEventBytes();
    ASSERT_EQ(LoadError(event, bytes), 0);
    EXPECT_EQ(event.Name(), u"Boys 8K");
    EXPECT_EQ(event.EventNumber(), u"3");
    EXPECT_EQ(event.HeatNumber(), u"1");
    EXPECT_EQ(event.Wind(), u"");
    EXPECT_EQ(event.NumParticipants(), 95);
    ASSERT_EQ(event.Results().Size(), 1u);
    const ResultRecord& r = *event.Results().At(0);
    EXPECT_EQ(r.Id(), u"77");
    EXPECT_EQ(r.Sequence(), 4u);
    EXPECT_EQ(r.Place(), 2);
    EXPECT_FALSE(r.ReacTime().IsValid());
    EXPECT_EQ(r.Time().GetTicks().Value(), 80000LL * 1500);
    EXPECT_EQ(r.Time().GetPrecision(), kTicksTenth);
    EXPECT_TRUE(event.SummaryColumns().groups[0].empty());

    // The same record written at 0x20007 reads back the same.
    EventRecord current;
    current.Results().AddCopy(r);
    EventRecord reloaded;
    ASSERT_EQ(LoadError(reloaded, Stored(current)), 0);
    ExpectSameRecord(*reloaded.Results().At(0), r);
}

TEST(EventFile, RefusesUnknownVersionsAndTooManyTexts) {
    struct Case {
        std::vector<uint8_t> bytes;
        int error;
    };
    std::vector<uint8_t> eventVersion = OldEventBytes();
    eventVersion[0] = 0x03;  // 0x20003
    std::vector<uint8_t> newerEvent = OldEventBytes();
    newerEvent[0] = 0x08;  // 0x20008
    const Case cases[] = {
        {eventVersion, 3009},
        {newerEvent, 3009},
        {OldEventBytes(0x20005), 3009},
        {OldEventBytes(0x20008), 3009},
        {OldEventBytes(0x20006, 7), 3009},
    };
    for (const Case& c : cases) {
        EventRecord event;
        FillEvent(event);
        EXPECT_EQ(LoadError(event, c.bytes), c.error);
        ExpectEmpty(event);
    }
}

TEST(EventFile, TruncatedDataIsRefusedAndLeavesTheEventEmpty) {
    EventRecord source;
    FillEvent(source);
    const auto bytes = Stored(source);
    for (size_t length = 0; length < bytes.size(); ++length) {
        EventRecord event;
        FillEvent(event);
        const int error = LoadError(event, std::span(bytes).first(length));
        EXPECT_EQ(error, 3010) << "length " << length;
        ExpectEmpty(event);
    }
}

TEST(EventFile, StoredCountsLargerThanTheFileAreRefused) {
    // A record count no file of this size can hold, and a text longer than the data.
    std::vector<uint8_t> hugeCount = OldEventBytes();
    KBinaryWriter prefix;
    prefix.WriteWord(0x20004);
    prefix.WriteWord(4);
    for (KStringView text : {u"Boys 8K", u"3", u"", u"1"}) prefix.WriteText(text);
    prefix.WriteWord(95);
    prefix.WriteText(u"Results");
    const size_t countAt = prefix.Size() + 4 + 6;
    for (size_t i = 0; i < 4; ++i) hugeCount[countAt + i] = 0xFF;
    std::vector<uint8_t> hugeText = OldEventBytes();
    for (size_t i = 0; i < 4; ++i) hugeText[8 + i] = 0xFF;  // the first text's length
    std::vector<uint8_t> manyEventTexts = OldEventBytes();
    manyEventTexts[4] = 200;
    for (const auto& bytes : {hugeCount, hugeText}) {
        EventRecord event;
        EXPECT_EQ(LoadError(event, bytes), 3010);
        ExpectEmpty(event);
    }
    EventRecord event;
    EXPECT_EQ(LoadError(event, manyEventTexts), 3010);
}

TEST(EventFile, CorruptFileOnDiskIsRefused) {
    TempFolder folder;
    const auto path = EventFile::PathIn(folder.Path());
    EventRecord source;
    FillEvent(source);
    EventFile::Store(source, path);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
    EventRecord event;
    FillEvent(event);
    try {
        EventFile::Load(event, path);
        FAIL();
    } catch (const KError& e) {
        EXPECT_EQ(e.Code(), 3010);
    }
    ExpectEmpty(event);
}

TEST(EventFile, FieldSetsTravelWithTheirLists) {
    EventRecord source;
    auto fieldSet = std::make_unique<WordFieldSet>();
    fieldSet->value = 1234;
    source.Results().SetFieldSet(std::move(fieldSet));
    const auto bytes = Stored(source);

    // A list without a field set keeps the stored block and writes it back unchanged.
    EventRecord blind;
    ASSERT_EQ(LoadError(blind, bytes), 0);
    EXPECT_EQ(Stored(blind), bytes);

    EventRecord seeing;
    seeing.Results().SetFieldSet(std::make_unique<WordFieldSet>());
    ASSERT_EQ(LoadError(seeing, bytes), 0);
    EXPECT_EQ(static_cast<WordFieldSet*>(seeing.Results().FieldSet())->value, 1234);
}

TEST(EventFile, SummaryColumnsIgnoreAGroupOfTheWrongSize) {
    KBinaryWriter out;
    out.WriteWord(EventSummaryColumns::kStoreVersion);
    out.WriteInt(1);
    out.WriteInt(2);
    out.WriteInt(3);
    out.WriteWord(3);  // a third group is not read
    out.WriteWord(4);  // first group: 4 boundaries where 6 belong
    for (int32_t b : {0, 1, 2, 3}) out.WriteInt(b);
    out.WriteWord(5);
    for (int32_t b : {0, 10, 20, 30, 40}) out.WriteInt(b);
    KBinaryReader in(out.Bytes());
    EventSummaryColumns columns;
    columns.groups[0] = {9, 9, 9, 9, 9, 9};
    columns.Load(in);
    EXPECT_EQ(columns.value, 1);
    EXPECT_EQ(columns.layout[1], 3);
    EXPECT_TRUE(columns.groups[0].empty());
    EXPECT_EQ(columns.groups[1], (std::vector<int32_t>{0, 10, 20, 30, 40}));
}

TEST(EventRecord, InformationSettersNotifyAndClearEmptiesEverything) {
    struct Counter : EventObserver {
        void BeforeEventChange(EventRecord&) override { ++before; }
        void AfterEventChange(EventRecord&) override { ++after; }
        void UpdateBegins(EventRecord&) override { ++begins; }
        void UpdateEnded(EventRecord&) override { ++ended; }
        int before = 0, after = 0, begins = 0, ended = 0;
    } counter;
    EventRecord event;
    event.AddObserver(&counter);
    EXPECT_TRUE(event.IsFirstUpdate());
    const uint32_t changes = event.ChangeCount();
    event.BeginUpdate();
    event.SetName(u"Race");
    event.SetName(u"Race");
    event.SetNumParticipants(65535);
    event.EndUpdate();
    EXPECT_EQ(counter.before, 2);
    EXPECT_EQ(counter.after, 2);
    EXPECT_EQ(counter.begins, 1);
    EXPECT_EQ(counter.ended, 1);
    EXPECT_GT(event.ChangeCount(), changes);
    event.Results().Add();
    event.Clear();
    ExpectEmpty(event);
    event.RemoveObserver(&counter);
}

TEST(EventRecord, RulesReachBothLists) {
    EventRecord event;
    ScoringRules rules;
    rules.minRunners = 4;
    event.SetRules(rules);
    EXPECT_EQ(event.Results().Rules().minRunners, 4);
    EXPECT_EQ(event.Standings().Rules().minRunners, 4);
    EventRecord::ScopedLock lock(event);
    EventRecord::ScopedLock again(event);  // the lock may be taken again on the same thread
}
