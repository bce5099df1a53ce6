#include "scoring/EventFile.h"

#include <gtest/gtest.h>

#include "foundation/KBinaryData.h"
#include "scoring/EventRecord.h"
#include "support/KTempFolder.h"

namespace {

TimeValue T(int64_t ticks, TickCount precision = kTicksHundredth, int32_t tag = -1) {
    return TimeValue(TickCount::FromInt64(ticks), precision, tag);
}

void FillEvent(EventRecord& event) {
    event.SetName(u"Girls 5K \u00C9lite");
    int n = 0;
    for (auto set : {&EventRecord::SetEventNumber, &EventRecord::SetRoundNumber, &EventRecord::SetHeatNumber,
                     &EventRecord::SetWind, &EventRecord::SetStartType, &EventRecord::SetOfficial})
        (event.*set)(u"i" + ToKString(n++));
    event.SetNumParticipants(180);
    event.SetFirstUpdate(false);
    ResultRecord* r = event.Results().Add();
    r->SetPlaceFromText(u"1");
    for (int i = 0; i < kTextFieldCount; ++i) r->SetText(TextField(i), u"t" + ToKString(i));
    r->SetDisplayPrecision(kTicksTenth);
    r->SetTime(T(80000LL * 1000 + 800, kTicksHundredth, 5), true);
    r->SetReacTime(T(11760, kTicksThousandth));
    int64_t ticks = -800;
    for (auto set : {&ResultRecord::SetDeltaTime, &ResultRecord::SetCumSplitTime,
                     &ResultRecord::SetLastSplitTime, &ResultRecord::SetSpeed, &ResultRecord::SetPace})
        (r->*set)(T(ticks += 80000));
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

void ExpectEmpty(EventRecord& event) {
    EXPECT_EQ(event.Name(), u"");
    EXPECT_EQ(event.NumParticipants(), 0);
    EXPECT_EQ(event.Results().Size(), 0u);
    EXPECT_EQ(event.Standings().Size(), 0u);
}

int LoadError(EventRecord& event, std::span<const uint8_t> bytes) {
    KBinaryReader in(bytes);
    return CaughtError([&] { event.Load(in); }).first;
}

std::vector<uint8_t> Stored(const EventRecord& event) {
    KBinaryWriter out;
    event.Store(out);
    return out.Bytes();
}

// An event as an older build wrote it: version 0x20004 and records in the 0x20006 layout.
std::vector<uint8_t> OldEventBytes(uint32_t recordVersion = 0x20006, uint32_t textCount = 6,
                                   uint32_t recordCount = 1) {
    KBinaryWriter out;
    for (uint32_t word : {0x20004u, 4u}) out.WriteWord(word);  // version, text count
    for (KStringView text : {u"Boys 8K", u"3", u"", u"1"}) out.WriteText(text);
    out.WriteWord(95);
    out.WriteText(u"Results");  // results list
    out.WriteWord(ResultList::kFlagUnofficial);
    out.WriteTicks(800);
    out.WriteWord(recordCount);
    for (uint32_t word : {recordVersion, 4u, 0u, textCount}) out.WriteWord(word);  // sequence 4, no flags
    for (uint32_t i = 0; i < textCount; ++i) out.WriteText(i == 4 ? KStringView(u"77") : KStringView(u"x"));
    out.WriteInt(2);  // place
    out.WriteTicks(0);
    T(80000LL * 1500, kTicksTenth).Store(out);
    out.WriteInt(0);  // code
    for (int i = 0; i < 6; ++i) out.WriteWord(0xDEADBEEF);
    // Delta, cumulative split and last split times, the laps, speed, pace and best split time.
    for (int i = 0; i < 3; ++i) T(1000 + i, kTicksUnit).Store(out);
    out.WriteInt(3);
    for (int i = 3; i < 6; ++i) T(1000 + i, kTicksUnit).Store(out);
    out.WriteWord(0);  // no field set
    out.WriteText(u"Standings");
    out.WriteWord(ResultList::kFlagUnofficial | ResultList::kFlagStandings);
    out.WriteTicks(800);
    for (int i = 0; i < 2; ++i) out.WriteWord(0);  // no records, no field set
    return out.Bytes();
}

}  // namespace

TEST(EventFile, StoreAndLoadRoundTripBelowTheDocumentsFolder) {
    EXPECT_EQ(EventFile::PathIn("/home/ann/Documents"), "/home/ann/Documents/Velmar/Kestrun/Kestrun.dat");
    KTempFolder folder;
    const auto path = EventFile::PathIn(folder.Path());
    EventRecord event;
    FillEvent(event);
    EXPECT_FALSE(EventFile::Load(event, path));  // no file yet: not an error, the event stays
    EXPECT_EQ(event.Name(), u"Girls 5K \u00C9lite");
    EventFile::Store(event, path);  // creates Velmar/Kestrun

    EventRecord loaded;  // without field sets, which renumber when loaded, it keeps their blocks as stored
    loaded.Results().SetFieldSet(nullptr);
    loaded.Standings().SetFieldSet(nullptr);
    ASSERT_TRUE(EventFile::Load(loaded, path));
    // Stored again, it gives the same bytes; what older layouts lack (and so what a reader that skips it
    // with a writer that omits it would lose unnoticed) is compared on its own.
    EXPECT_EQ(Stored(loaded), Stored(event));
    EXPECT_EQ(loaded.SummaryColumns(), event.SummaryColumns());
    EXPECT_TRUE(loaded.Results().At(0)->ReacTime().IsIdentical(event.Results().At(0)->ReacTime()));
    EXPECT_TRUE(loaded.IsFirstUpdate());  // the first update after start still empties the results
    EXPECT_EQ(loaded.Standings().At(0)->Points(), 0);  // team fields are recomputed, not stored
    // Found by Id after loading, and new records number after the loaded ones.
    EXPECT_EQ(loaded.Results().Find(TextField::Id, u"102")->Code(), ResultCode::DidNotFinish);
    EXPECT_GT(loaded.Results().Add()->Sequence(), 1u);

    // The lists keep the name and precision the current settings and language gave them.
    EventRecord translated;
    translated.Results().SetName(u"Ergebnisse");
    translated.Results().SetPrecision(kTicksThousandth);
    ASSERT_TRUE(EventFile::Load(translated, path));
    EXPECT_EQ(translated.Results().Name(), u"Ergebnisse");
    EXPECT_EQ(translated.Results().Precision(), kTicksThousandth);
}

TEST(EventFile, LoadsOlderVersions) {
    EventRecord event;
    ASSERT_EQ(LoadError(event, OldEventBytes()), 0);
    EXPECT_EQ(event.Name(), u"Boys 8K");
    EXPECT_EQ(event.HeatNumber(), u"1");
    EXPECT_EQ(event.Wind(), u"");
    EXPECT_EQ(event.NumParticipants(), 95);
    ASSERT_EQ(event.Results().Size(), 1u);
    const ResultRecord& r = *event.Results().At(0);
    EXPECT_EQ(r.Id(), u"77");
    EXPECT_EQ(r.Sequence(), 4u);
    EXPECT_EQ(r.Place(), 2);
    EXPECT_FALSE(r.ReacTime().IsValid());
    EXPECT_TRUE(r.Time().IsIdentical(T(80000LL * 1500, kTicksTenth)));
    int64_t ticks = 1000;
    for (auto time : {&ResultRecord::DeltaTime, &ResultRecord::CumSplitTime, &ResultRecord::LastSplitTime,
                      &ResultRecord::Speed, &ResultRecord::Pace, &ResultRecord::BestSplitTime}) {
        EXPECT_TRUE((r.*time)().IsIdentical(T(ticks++, kTicksUnit)));
    }
    EXPECT_EQ(r.LapsToGo(), 3);
    EXPECT_TRUE(event.SummaryColumns().groups[0].empty());
}

TEST(EventFile, RefusesUnknownVersionsAndImpossibleCountsLeavingTheEventEmpty) {
    const auto patched = [](size_t at, std::vector<uint8_t> values) {
        std::vector<uint8_t> bytes = OldEventBytes();
        std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    const std::pair<std::vector<uint8_t>, int> cases[] = {
        {patched(0, {0x03}), 3009},  // 0x20003
        {patched(0, {0x08}), 3009},  // 0x20008
        {OldEventBytes(0x20005), 3009},
        {OldEventBytes(0x20006, 7), 3009},
        {OldEventBytes(0x20006, 6, 0xFFFFFFFF), 3010},  // more records than the data can hold
        {patched(8, {0xFF, 0xFF, 0xFF, 0xFF}), 3010},   // the first text's length
        {patched(4, {200}), 3010},                      // the count of event texts
    };
    for (const auto& [bytes, error] : cases) {
        EventRecord event;
        FillEvent(event);
        EXPECT_EQ(LoadError(event, bytes), error);
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
        EXPECT_EQ(LoadError(event, std::span(bytes).first(length)), 3010) << "length " << length;
        ExpectEmpty(event);
    }
}

TEST(EventRecord, SettersNotifyRulesReachBothListsAndClearEmptiesEverything) {
    struct Recorder : EventObserver {
        void BeforeEventChange(EventRecord&) override { log += "<"; }
        void AfterEventChange(EventRecord&) override { log += ">"; }
        void UpdateBegins(EventRecord&) override { log += "["; }
        void UpdateEnded(EventRecord&) override { log += "]"; }
        std::string log;
    } recorder;
    EventRecord event;
    event.AddObserver(&recorder);
    const uint32_t changes = event.ChangeCount();
    event.BeginUpdate();
    event.SetName(u"Race");
    event.SetName(u"Race");
    event.SetNumParticipants(65535);
    event.EndUpdate();
    EXPECT_EQ(recorder.log, "[<><>]");
    EXPECT_GT(event.ChangeCount(), changes);

    event.SetRules({.minRunners = 4});
    EXPECT_EQ(event.Results().Rules().minRunners, 4);
    EXPECT_EQ(event.Standings().Rules().minRunners, 4);
    event.Results().Add();
    event.Clear();
    ExpectEmpty(event);
    event.RemoveObserver(&recorder);
    EventRecord::ScopedLock lock(event);
    EventRecord::ScopedLock again(event);  // the same thread may take the lock again
}
