#include "scoring/ResultList.h"

#include <algorithm>
#include <optional>

#include "foundation/KBinaryData.h"
#include "foundation/KError.h"

ResultList::ResultList(bool standings, TickCount precision, KString name)
    : m_name(std::move(name)),
      m_flags(kFlagUnofficial | (standings ? kFlagStandings : 0)),
      m_precision(ValidPrecision(precision.Value())) {}

ResultList::~ResultList() = default;

TickCount ResultList::ValidPrecision(long long precision) {
    if (precision < 1 || precision > kTicksSecond.Value()) return kTicksHundredth;
    return TickCount::FromInt64(precision);
}

void ResultList::SetRules(const ScoringRules& rules) {
    if (m_rules == rules) return;
    m_rules = rules;
    m_needsSort = true;
}

void ResultList::SetOfficial(bool official) {
    const uint32_t flags = official ? (m_flags & ~kFlagUnofficial) : (m_flags | kFlagUnofficial);
    if (flags == m_flags) return;
    NotifyBefore(nullptr);
    m_flags = flags;
    Touch();
    Notify([&](auto& observer) { observer.AfterFlagsChanged(*this); });
}

void ResultList::SetStandings(bool standings) {
    const uint32_t flags = standings ? (m_flags | kFlagStandings) : (m_flags & ~kFlagStandings);
    if (flags == m_flags) return;
    NotifyBefore(nullptr);
    m_flags = flags;
    m_needsSort = true;
    Touch();
    Notify([&](auto& observer) { observer.AfterFlagsChanged(*this); });
}

void ResultList::NotifyBefore(ResultRecord* record) {
    Notify([&](auto& observer) { observer.BeforeChange(*this, record); });
}

void ResultList::Clear() {
    NotifyBefore(nullptr);
    m_records.clear();
    for (TextIndex& index : m_index) {
        if (!index.built) continue;
        for (IndexSlot& slot : index.slots) slot = IndexSlot{};
        index.used = 0;
    }
    for (auto& group : m_groups) group = ResultGroup{};
    m_needsSort = false;
    m_flags |= kFlagUnofficial;
    Touch();
    Notify([&](auto& observer) { observer.AfterAddRemove(*this); });
}

ResultRecord* ResultList::Append(uint32_t sequence) {
    m_records.push_back(std::unique_ptr<ResultRecord>(new ResultRecord(this, sequence)));
    ResultRecord* record = m_records.back().get();
    record->m_position = m_records.size() - 1;
    for (int field = 0; field < kTextFieldCount; ++field) {
        if (m_index[field].built) IndexInsert(field, record);
    }
    return record;
}

ResultRecord* ResultList::Add() {
    NotifyBefore(nullptr);
    ResultRecord* record = Append(m_nextSequence++);
    m_needsSort = true;
    m_flags |= kFlagUnofficial;
    Touch();
    Notify([&](auto& observer) { observer.AfterAddRemove(*this); });
    return record;
}

ResultRecord* ResultList::AddCopy(const ResultRecord& source) {
    NotifyBefore(nullptr);
    ResultRecord* record = Append(source.Sequence());
    m_nextSequence = std::max(m_nextSequence, source.Sequence() + 1);
    // Copied before the observers hear of the record, so they see it whole.
    auto observers = std::move(m_observers);
    record->CopyFieldsFrom(source);
    m_observers = std::move(observers);
    m_needsSort = true;
    m_flags |= kFlagUnofficial;
    Touch();
    Notify([&](auto& observer) { observer.AfterAddRemove(*this); });
    return record;
}

void ResultList::Remove(ResultRecord* record) {
    if (!record || record->m_list != this) return;
    const size_t position = record->m_position;
    if (position >= m_records.size() || m_records[position].get() != record) return;
    NotifyBefore(nullptr);
    for (int field = 0; field < kTextFieldCount; ++field) {
        if (m_index[field].built) IndexErase(field, record, record->m_texts[field]);
    }
    m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(position));
    ReindexPositions(position);
    m_needsSort = true;
    m_flags |= kFlagUnofficial;
    Touch();
    Notify([&](auto& observer) { observer.AfterAddRemove(*this); });
}

void ResultList::ReindexPositions(size_t from) {
    for (size_t i = from; i < m_records.size(); ++i) m_records[i]->m_position = i;
}

// --- Text index ---------------------------------------------------------------------------------------

namespace {

size_t TextHash(KStringView text) { return std::hash<KStringView>{}(text); }

}  // namespace

size_t ResultList::FindSlot(int field, KStringView text, size_t hash) const {
    const std::vector<IndexSlot>& slots = m_index[field].slots;
    if (slots.empty()) return KString::npos;
    const size_t mask = slots.size() - 1;
    for (size_t i = hash & mask; slots[i].first != nullptr; i = (i + 1) & mask) {
        if (slots[i].hash == hash && slots[i].first->m_texts[field] == text) return i;
    }
    return KString::npos;
}

void ResultList::IndexInsert(int field, ResultRecord* record) {
    TextIndex& index = m_index[field];
    const KString& text = record->m_texts[field];
    const size_t hash = TextHash(text);
    if (const size_t found = FindSlot(field, text, hash); found != KString::npos) {
        auto& others = index.slots[found].others;
        if (!others) others = std::make_unique<std::vector<ResultRecord*>>();
        record->m_indexSlot[field] = 1 + others->size();
        others->push_back(record);
        return;
    }
    if ((index.used + 1) * 4 > index.slots.size() * 3) GrowIndex(index);
    const size_t mask = index.slots.size() - 1;
    size_t i = hash & mask;
    while (index.slots[i].first != nullptr) i = (i + 1) & mask;
    index.slots[i].hash = hash;
    index.slots[i].first = record;
    record->m_indexSlot[field] = 0;
    ++index.used;
}

void ResultList::IndexErase(int field, ResultRecord* record, const KString& text) {
    TextIndex& index = m_index[field];
    const size_t found = FindSlot(field, text, TextHash(text));
    if (found == KString::npos) return;
    IndexSlot& slot = index.slots[found];
    const size_t at = record->m_indexSlot[field];
    if (at == 0 ? slot.first != record
                : !slot.Shared() || at > slot.others->size() || (*slot.others)[at - 1] != record)
        return;
    // The last of the others takes the place left, so removal stays constant time however many
    // records share the text.
    if (!slot.Shared()) {
        EraseSlot(index, found);
        return;
    }
    std::vector<ResultRecord*>& others = *slot.others;
    ResultRecord* moved = others.back();
    others.pop_back();
    if (at == 0) {
        slot.first = moved;
    } else if (at - 1 < others.size()) {
        others[at - 1] = moved;
    }
    if (moved != record) moved->m_indexSlot[field] = at;
}

void ResultList::EraseSlot(TextIndex& index, size_t slot) {
    // Backward-shift deletion: later slots of the same probe run move up, so no lookup stops early.
    std::vector<IndexSlot>& slots = index.slots;
    const size_t mask = slots.size() - 1;
    for (size_t next = (slot + 1) & mask; slots[next].first != nullptr; next = (next + 1) & mask) {
        const size_t home = slots[next].hash & mask;
        const bool staysBehind = slot <= next ? (slot < home && home <= next) : (slot < home || home <= next);
        if (staysBehind) continue;
        slots[slot] = std::move(slots[next]);
        slot = next;
    }
    slots[slot] = IndexSlot{};
    --index.used;
}

void ResultList::GrowIndex(TextIndex& index) {
    std::vector<IndexSlot> old = std::move(index.slots);
    index.slots = std::vector<IndexSlot>(std::max<size_t>(16, old.size() * 2));
    const size_t mask = index.slots.size() - 1;
    for (IndexSlot& slot : old) {
        if (slot.first == nullptr) continue;
        size_t i = slot.hash & mask;
        while (index.slots[i].first != nullptr) i = (i + 1) & mask;
        index.slots[i] = std::move(slot);
    }
}

void ResultList::BuildIndex(int field) {
    TextIndex& index = m_index[field];
    index = TextIndex{};
    size_t size = 16;
    while (size * 3 < m_records.size() * 4) size *= 2;
    index.slots.resize(size);
    for (auto& record : m_records) IndexInsert(field, record.get());
    index.built = true;
}

void ResultList::RecordTextChanging(ResultRecord& record, int field, const KString& oldText) {
    if (m_index[field].built) IndexErase(field, &record, oldText);
}

void ResultList::RecordTextChanged(ResultRecord& record, int field) {
    if (m_index[field].built) IndexInsert(field, &record);
}

ResultRecord* ResultList::Find(TextField field, KStringView text) {
    const int index = static_cast<int>(field);
    if (index < 0 || index >= kTextFieldCount) return nullptr;
    if (!m_index[index].built) BuildIndex(index);
    const size_t found = FindSlot(index, text, TextHash(text));
    if (found == KString::npos) return nullptr;
    const IndexSlot& slot = m_index[index].slots[found];
    if (!slot.Shared()) return slot.first;
    // Several share the text: the first in sorted order wins, so the order must be current.
    EnsureSorted();
    ResultRecord* best = slot.first;
    for (ResultRecord* other : *slot.others)
        if (other->m_position < best->m_position) best = other;
    return best;
}

// --- Record notifications -----------------------------------------------------------------------------

void ResultList::RecordBeforeChange(ResultRecord& record) { NotifyBefore(&record); }

void ResultList::RecordAfterChange(ResultRecord& record, bool mayHaveMoved) {
    if (mayHaveMoved) m_needsSort = true;
    m_flags |= kFlagUnofficial;
    Touch();
    Notify([&](auto& observer) { observer.AfterChange(*this, record, mayHaveMoved); });
}

void ResultList::NotifyStandingsRecalculated() {
    Touch();
    Notify([&](auto& observer) { observer.AfterStandingsRecalculated(*this); });
}

void ResultList::NotifyFinalized() {
    Touch();
    Notify([&](auto& observer) { observer.AfterFinalization(*this); });
}

void ResultList::AddObserver(ResultListObserver* observer) { m_observers.Add(observer); }

void ResultList::RemoveObserver(ResultListObserver* observer) { m_observers.Remove(observer); }

void ResultList::SetFieldSet(std::unique_ptr<ResultFieldSet> fieldSet) {
    // The set going away may be the filter of the last sort; the list must not keep pointing at it.
    if (m_fieldSet && m_filter == m_fieldSet.get()) {
        m_filter = nullptr;
        m_filterSequence = 0;
        m_needsSort = true;
    }
    m_fieldSet = std::move(fieldSet);
    m_fieldSetBytes.clear();
}

// --- Sorted access ------------------------------------------------------------------------------------

ResultRecord* ResultList::At(size_t index) {
    EnsureSorted();
    return index < m_records.size() ? m_records[index].get() : nullptr;
}

ResultRecord* ResultList::First(const ResultFilter* filter) {
    Sort(filter);
    return !m_records.empty() && m_records.front()->m_relevant ? m_records.front().get() : nullptr;
}

ResultRecord* ResultList::Next(const ResultRecord* record, const ResultFilter* filter) {
    if (!record || record->m_list != this) return nullptr;
    Sort(filter);
    const size_t next = record->m_position + 1;
    return next < m_records.size() && m_records[next]->m_relevant ? m_records[next].get() : nullptr;
}

ResultRecord* ResultList::Previous(const ResultRecord* record, const ResultFilter* filter) {
    if (!record || record->m_list != this) return nullptr;
    Sort(filter);
    const size_t position = record->m_position;
    return position > 0 && m_records[position - 1]->m_relevant ? m_records[position - 1].get() : nullptr;
}

size_t ResultList::Count(const ResultFilter* filter) {
    Sort(filter);
    return m_groups[static_cast<int>(ResultGroupKind::Relevant)].count;
}

const ResultGroup& ResultList::Group(ResultGroupKind kind) {
    EnsureSorted();
    return m_groups[static_cast<int>(kind)];
}

ResultRecord* ResultList::NextInGroup(const ResultRecord* record, ResultGroupKind kind) {
    if (!record || record->m_list != this) return nullptr;
    EnsureSorted();
    const ResultGroup& group = m_groups[static_cast<int>(kind)];
    if (!group.first || record == group.last) return nullptr;
    if (record->m_position < group.first->m_position || record->m_position > group.last->m_position) {
        return nullptr;
    }
    return m_records[record->m_position + 1].get();
}

// --- Sorting ------------------------------------------------------------------------------------------

void ResultList::EnsureSorted() {
    if (m_needsSort) DoSort(m_filter);
}

void ResultList::Sort(const ResultFilter* filter) {
    const uint32_t sequence = filter ? filter->Sequence() : 0;
    if (!m_needsSort && filter == m_filter && sequence == m_filterSequence) return;
    DoSort(filter);
}

void ResultList::Resort() { DoSort(m_filter); }

bool ResultList::Before(const ResultRecord& a, const ResultRecord& b) const {
    return IsStandings() ? BeforeStanding(a, b) : BeforeResult(a, b);
}

namespace {
/// The real places of a team line (entries above 0: a runner with a code keeps a 0 in the
/// list), visited in order.
class RealPlaces {
public:
    explicit RealPlaces(const std::vector<int32_t>& places) : m_places(places) {}
    /// The next real place, or nothing when the team has no more.
    std::optional<int32_t> Next() {
        while (m_index < m_places.size()) {
            const int32_t place = m_places[m_index++];
            if (place > 0) return place;
        }
        return std::nullopt;
    }

private:
    const std::vector<int32_t>& m_places;
    size_t m_index = 0;
};
}  // namespace

int ResultList::CompareDisplacers(const ResultRecord& a, const ResultRecord& b) const {
    // The displacers are the real places after the first NumScorers of them. Both lacking
    // one counts as equal, and then every later one is lacking too.
    RealPlaces placesA(a.m_placeList), placesB(b.m_placeList);
    const int64_t scorers = std::max(m_rules.numScorers, 0);
    const int64_t end = scorers + std::max(m_rules.maxDisplacers, 0);
    for (int64_t i = 0; i < end; ++i) {
        const std::optional<int32_t> placeA = placesA.Next(), placeB = placesB.Next();
        if (!placeA && !placeB) return 0;
        if (i < scorers) continue;
        if (!placeA || !placeB) return placeA ? -1 : 1;
        if (*placeA != *placeB) return *placeA < *placeB ? -1 : 1;
    }
    return 0;
}

bool ResultList::BeforeStanding(const ResultRecord& a, const ResultRecord& b) const {
    const bool zeroA = a.m_points == 0, zeroB = b.m_points == 0;
    if (zeroA != zeroB) return zeroB;
    if (!zeroA) {
        const bool incompleteA = a.m_numMembers < m_rules.minRunners;
        const bool incompleteB = b.m_numMembers < m_rules.minRunners;
        if (incompleteA != incompleteB) return incompleteB;
        if (incompleteA) {
            if (a.m_numMembers != b.m_numMembers) return a.m_numMembers > b.m_numMembers;
            if (a.m_points != b.m_points) return a.m_points < b.m_points;
        } else {
            if (a.m_points != b.m_points) return a.m_points < b.m_points;
            // Equal points: the displacers' places break the tie; a team without that runner loses.
            if (const int order = CompareDisplacers(a, b)) return order < 0;
        }
    }
    return a.m_sequence < b.m_sequence;
}

namespace {
enum class Standing { Finished = 0, OnCourse = 1, Coded = 2 };
Standing StandingOf(const ResultRecord& r) {
    if (r.IsCoded()) return Standing::Coded;
    return r.Time().IsValid() ? Standing::Finished : Standing::OnCourse;
}
}  // namespace

bool ResultList::BeforeResult(const ResultRecord& a, const ResultRecord& b) const {
    if (a.m_relevant != b.m_relevant) return a.m_relevant;
    if (a.m_relevant) {
        const Standing sa = StandingOf(a), sb = StandingOf(b);
        if (sa != sb) return sa < sb;
        switch (sa) {
            case Standing::Finished:
                if (a.m_time != b.m_time) return a.m_time < b.m_time;
                break;
            case Standing::OnCourse: {
                if (a.m_lapsToGo != b.m_lapsToGo) {
                    return m_rules.lapsCountUp ? a.m_lapsToGo > b.m_lapsToGo : a.m_lapsToGo < b.m_lapsToGo;
                }
                const bool splitA = a.m_cumSplitTime.IsValid(), splitB = b.m_cumSplitTime.IsValid();
                if (splitA != splitB) return splitA;
                if (splitA && a.m_cumSplitTime != b.m_cumSplitTime)
                    return a.m_cumSplitTime < b.m_cumSplitTime;
                break;
            }
            case Standing::Coded:
                if (a.m_code != b.m_code) return a.m_code < b.m_code;
                break;
        }
    }
    return a.m_sequence < b.m_sequence;
}

void ResultList::DoSort(const ResultFilter* filter) {
    NotifyBefore(nullptr);
    m_filter = filter;
    m_filterSequence = filter ? filter->Sequence() : 0;
    // Relevance is asked once per record, not once per comparison.
    for (auto& record : m_records) record->m_relevant = !filter || filter->Relevant(*record);
    std::stable_sort(m_records.begin(), m_records.end(),
                     [this](const std::unique_ptr<ResultRecord>& a, const std::unique_ptr<ResultRecord>& b) {
                         return Before(*a, *b);
                     });
    ReindexPositions(0);
    m_needsSort = false;
    FormGroupsAndPlaces();
    if (IsStandings()) AssignTeamPlaces(false);
    Touch();
    Notify([&](auto& observer) { observer.AfterResort(*this); });
}

void ResultList::FormGroupsAndPlaces() {
    for (auto& group : m_groups) group = ResultGroup{};
    const auto take = [this](ResultGroupKind kind, size_t& pos, auto&& belongs) {
        ResultGroup& group = m_groups[static_cast<int>(kind)];
        while (pos < m_records.size() && m_records[pos]->m_relevant && belongs(*m_records[pos])) {
            if (!group.first) group.first = m_records[pos].get();
            group.last = m_records[pos].get();
            ++group.count;
            ++pos;
        }
    };
    size_t pos = 0;
    take(ResultGroupKind::Finished, pos, [](const ResultRecord& r) { return r.IsFinished(); });
    if (pos == 0) {
        size_t splitPos = pos;
        take(ResultGroupKind::Split, splitPos,
             [](const ResultRecord& r) { return r.IsOnCourse() && r.HasSplit(); });
    }
    take(ResultGroupKind::OnCourse, pos, [](const ResultRecord& r) { return r.IsOnCourse(); });
    take(ResultGroupKind::Coded, pos, [](const ResultRecord& r) { return r.IsCoded(); });
    ResultGroup& relevant = m_groups[static_cast<int>(ResultGroupKind::Relevant)];
    relevant.count = pos;
    while (relevant.count < m_records.size() && m_records[relevant.count]->m_relevant) ++relevant.count;
    if (relevant.count > 0) {
        relevant.first = m_records.front().get();
        relevant.last = m_records[relevant.count - 1].get();
    }
    if (IsStandings()) return;

    // A computed place belongs to the order it was computed in; the source's places are kept.
    for (auto& record : m_records) {
        if (record->m_flags & ResultRecord::kFlagComputedPlace) {
            record->m_place = -1;
            record->m_flags &= ~ResultRecord::kFlagComputedPlace;
        }
    }
    const bool byTime = m_groups[static_cast<int>(ResultGroupKind::Finished)].count > 0;
    const ResultGroup& placed =
        m_groups[static_cast<int>(byTime ? ResultGroupKind::Finished : ResultGroupKind::Split)];
    if (!placed.first) return;
    const auto tie = [byTime](const ResultRecord& a, const ResultRecord& b) {
        if (byTime) return a.m_time == b.m_time;
        return a.m_cumSplitTime == b.m_cumSplitTime && a.m_lapsToGo == b.m_lapsToGo;
    };
    int32_t runPlace = -1;
    for (size_t i = placed.first->m_position; i <= placed.last->m_position; ++i) {
        ResultRecord& record = *m_records[i];
        const size_t offset = i - placed.first->m_position;
        const bool sharesRun = offset > 0 && tie(*m_records[i - 1], record);
        // The counter is the record's position in the group: after a run of k equal times it has
        // advanced by k (1, 2, 2, 4).
        const int32_t counter = static_cast<int32_t>(std::min<size_t>(offset + 1, INT32_MAX));
        if (record.m_place < 1) {
            record.m_place = sharesRun ? runPlace : counter;
            record.m_flags |= ResultRecord::kFlagComputedPlace;
        }
        if (!sharesRun) runPlace = record.m_place;
    }
}

void ResultList::AssignTeamPlaces(bool zeroIncompletePoints) {
    int32_t counter = 1;
    size_t i = 0;
    while (i < m_records.size()) {
        ResultRecord& team = *m_records[i];
        if (team.m_numMembers < m_rules.minRunners) {
            team.m_place = -1;
            if (zeroIncompletePoints && team.m_points != 0) {
                team.m_points = 0;
                m_needsSort = true;  // a team without points moves to the bottom
            }
            ++i;
            continue;
        }
        team.m_place = counter;
        size_t shared = 1;
        while (i + shared < m_records.size()) {
            ResultRecord& next = *m_records[i + shared];
            if (next.m_points != team.m_points || next.m_numMembers < m_rules.minRunners ||
                CompareDisplacers(team, next) != 0) {
                break;
            }
            next.m_place = counter;
            ++shared;
        }
        counter += static_cast<int32_t>(shared);
        i += shared;
    }
    Touch();
}

// --- Storage ------------------------------------------------------------------------------------------

void ResultList::Store(KBinaryWriter& out) const {
    out.WriteText(m_name);
    out.WriteWord(m_flags);
    m_precision.Store(out);
    out.WriteWord(static_cast<uint32_t>(m_records.size()));
    for (const auto& record : m_records) record->Store(out);
    // The field set is stored as a sized block so a reader that does not know it can step over it.
    if (m_fieldSet) {
        KBinaryWriter block;
        m_fieldSet->Store(block);
        out.WriteWord(static_cast<uint32_t>(block.Size()));
        out.WriteBytes(block.Bytes());
    } else {
        out.WriteWord(static_cast<uint32_t>(m_fieldSetBytes.size()));
        out.WriteBytes(m_fieldSetBytes);
    }
}

void ResultList::Load(KBinaryReader& in) {
    Clear();
    try {
        in.ReadText();  // the stored name
        const uint32_t flags = in.ReadWord();
        TickCount::Load(in);  // the stored precision
        const uint32_t count = in.ReadWord();
        // Each stored record takes at least kMinStoredSize bytes: a count the data cannot hold is corrupt.
        if (count > in.Remaining() / ResultRecord::kMinStoredSize) {
            throw KError(KErrorCode::kFileContents,
                         static_cast<int>(std::min<size_t>(in.Remaining(), INT32_MAX)));
        }
        NotifyBefore(nullptr);
        auto observers = std::move(m_observers);
        // The records' texts are read in place, past the index: it is built again at the next Find.
        for (TextIndex& index : m_index) index = TextIndex{};
        try {
            m_records.reserve(count);
            uint32_t nextSequence = 0;
            for (uint32_t i = 0; i < count; ++i) {
                ResultRecord* record = Append(0);
                record->LoadFields(in);
                nextSequence = std::max(nextSequence, record->m_sequence + 1);
            }
            const uint32_t blockSize = in.ReadWord();
            auto block = in.ReadBytes(blockSize);
            // A file stored without a field set leaves the list's own as it is.
            if (m_fieldSet && !block.empty()) {
                KBinaryReader blockReader(block);
                m_fieldSet->Load(blockReader);
            } else if (!m_fieldSet) {
                m_fieldSetBytes.assign(block.begin(), block.end());
            }
            // The name and precision stay the ones the list took from the current settings and
            // language: a changed precision or language applies to a saved event too.
            // Whether this is a standings list is the list's role in the event, not the file's say.
            m_flags = (m_flags & kFlagStandings) | (flags & kFlagUnofficial);
            m_nextSequence = nextSequence;
        } catch (...) {
            m_observers = std::move(observers);
            throw;
        }
        m_observers = std::move(observers);
    } catch (...) {
        Clear();
        throw;
    }
    m_needsSort = true;
    Touch();
    Notify([&](auto& observer) { observer.AfterAddRemove(*this); });
}
