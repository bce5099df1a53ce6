#include "scoring/EventRecord.h"

#include <algorithm>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"
#include "scoring/FieldSet.h"

// --- Summary columns ----------------------------------------------------------------------------------

void EventSummaryColumns::Store(KBinaryWriter& out) const {
    out.WriteWord(kStoreVersion);
    out.WriteInt(value);
    out.WriteInt(layout[0]);
    out.WriteInt(layout[1]);
    out.WriteWord(kGroupCount);
    for (const auto& group : groups) {
        out.WriteWord(static_cast<uint32_t>(group.size()));
        for (int32_t boundary : group) out.WriteInt(boundary);
    }
}

void EventSummaryColumns::Load(KBinaryReader& in) {
    if (in.ReadWord() != kStoreVersion) throw KError(KErrorCode::kFileVersion);
    EventSummaryColumns loaded;
    loaded.value = in.ReadInt();
    loaded.layout[0] = in.ReadInt();
    loaded.layout[1] = in.ReadInt();
    const uint32_t groupCount = in.ReadWord();
    for (uint32_t g = 0; g < std::min<uint32_t>(groupCount, kGroupCount); ++g) {
        const uint32_t count = in.ReadWord();
        if (count > in.Remaining() / 4) in.Skip(static_cast<size_t>(count) * 4);  // throws: truncated
        std::vector<int32_t> boundaries(count);
        for (auto& boundary : boundaries) boundary = in.ReadInt();
        if (count == kBoundaryCounts[g]) loaded.groups[g] = std::move(boundaries);
    }
    *this = std::move(loaded);
}

// --- Event --------------------------------------------------------------------------------------------

EventRecord::EventRecord(TickCount precision, KString resultsName, KString standingsName, KString filterName)
    : m_results(false, precision, std::move(resultsName)),
      m_standings(true, precision, std::move(standingsName)) {
    m_results.SetFieldSet(std::make_unique<FieldSet>(FieldTable::Results, m_results.Name(), filterName));
    m_standings.SetFieldSet(
        std::make_unique<FieldSet>(FieldTable::Standings, m_standings.Name(), filterName));
}

void EventRecord::NotifyBefore() {
    Notify([&](auto& observer) { observer.BeforeEventChange(*this); });
}

void EventRecord::NotifyAfter() {
    m_changeCount.fetch_add(1, std::memory_order_relaxed);
    Notify([&](auto& observer) { observer.AfterEventChange(*this); });
}

void EventRecord::SetInfo(KString& field, KStringView text) {
    if (field == text) return;
    NotifyBefore();
    field = KString(text);
    NotifyAfter();
}

void EventRecord::SetNumParticipants(uint16_t count) {
    if (m_numParticipants == count) return;
    NotifyBefore();
    m_numParticipants = count;
    NotifyAfter();
}

void EventRecord::Clear() {
    NotifyBefore();
    for (KString* text :
         {&m_name, &m_eventNumber, &m_roundNumber, &m_heatNumber, &m_wind, &m_startType, &m_official}) {
        text->clear();
    }
    m_numParticipants = 0;
    m_results.Clear();
    m_standings.Clear();
    NotifyAfter();
}

void EventRecord::SetRules(const ScoringRules& rules) {
    m_results.SetRules(rules);
    m_standings.SetRules(rules);
}

void EventRecord::BeginUpdate() {
    Notify([&](auto& observer) { observer.UpdateBegins(*this); });
}

void EventRecord::EndUpdate() {
    m_changeCount.fetch_add(1, std::memory_order_relaxed);
    Notify([&](auto& observer) { observer.UpdateEnded(*this); });
}

void EventRecord::AddObserver(EventObserver* observer) { m_observers.Add(observer); }

void EventRecord::RemoveObserver(EventObserver* observer) { m_observers.Remove(observer); }

uint32_t EventRecord::ChangeCount() const {
    return m_changeCount.load(std::memory_order_relaxed) + m_results.ChangeCount() +
           m_standings.ChangeCount();
}

// The event as stored (all words little-endian, see KBinaryData.h):
//   version (0x20004 .. 0x20007)
//   text count, then the texts: name, event number, round number, heat number, wind, start type,
//     official state (a count above 16 is refused as corrupt; missing texts stay empty)
//   number of participants
//   the results list, then the standings list (ResultList::Store)
//   from 0x20005: the summary columns (version 0x2000d)
// 0x20006 and 0x20007 name the record layouts of the same numbers; the event's own layout is that of
// 0x20005. The first-update flag is not stored: the first update after start always empties the results.
namespace {
constexpr uint32_t kSummaryColumnsSince = 0x20005;
constexpr uint32_t kMaxEventTexts = 16;
}  // namespace

void EventRecord::Store(KBinaryWriter& out) const {
    out.WriteWord(kStoreVersion);
    const KString* texts[] = {&m_name, &m_eventNumber, &m_roundNumber, &m_heatNumber,
                              &m_wind, &m_startType,   &m_official};
    out.WriteWord(static_cast<uint32_t>(std::size(texts)));
    for (const KString* text : texts) out.WriteText(*text);
    out.WriteWord(m_numParticipants);
    m_results.Store(out);
    m_standings.Store(out);
    m_summaryColumns.Store(out);
}

void EventRecord::Load(KBinaryReader& in) {
    try {
        const uint32_t version = in.ReadWord();
        if (version < kOldestStoreVersion || version > kStoreVersion) throw KError(KErrorCode::kFileVersion);
        const uint32_t textCount = in.ReadWord();
        if (textCount > kMaxEventTexts) throw KError(KErrorCode::kFileContents);
        KString texts[kMaxEventTexts];
        for (uint32_t i = 0; i < textCount; ++i) texts[i] = in.ReadText();
        const uint32_t participants = in.ReadWord();
        m_results.Load(in);
        m_standings.Load(in);
        EventSummaryColumns columns;
        if (version >= kSummaryColumnsSince) columns.Load(in);

        NotifyBefore();
        KString* fields[] = {&m_name, &m_eventNumber, &m_roundNumber, &m_heatNumber,
                             &m_wind, &m_startType,   &m_official};
        for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = std::move(texts[i]);
        m_numParticipants = static_cast<uint16_t>(participants);
        m_summaryColumns = std::move(columns);
        NotifyAfter();
    } catch (...) {
        Clear();
        throw;
    }
}
