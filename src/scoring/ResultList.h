#pragma once

// An ordered list of result records: the individual results or the team standings of an event.
//
// Threads: a list is not synchronised. Everything that touches a list shared through an EventRecord -
// including plain reads, because any read in sorted order may run the lazy sort - holds the event's
// lock (EventRecord::ScopedLock). Observers are called on the thread that makes the change, with the
// lock held.

#include <atomic>
#include <cstdint>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <vector>

#include "foundation/KString.h"
#include "scoring/ObserverList.h"
#include "scoring/ResultRecord.h"
#include "scoring/ScoringRules.h"
#include "scoring/TickCount.h"

class KBinaryReader;
class KBinaryWriter;
class ResultList;

/// Decides which records a table treats as relevant (a table's field set implements it).
class ResultFilter {
public:
    virtual ~ResultFilter() = default;
    virtual bool Relevant(const ResultRecord& record) const = 0;
    /// Changes whenever the verdicts may change; a list re-sorts when it differs from the last sort's.
    virtual uint32_t Sequence() const = 0;
};

/// A table's field set, stored inside the event beside its list.
class ResultFieldSet : public ResultFilter {
public:
    virtual void Store(KBinaryWriter& out) const = 0;
    /// Throws KError on bad data; it reads only the bytes stored for it.
    virtual void Load(KBinaryReader& in) = 0;
};

/// Told of every change; the notices carry no data beyond what changed. Default bodies do nothing.
class ResultListObserver {
public:
    virtual ~ResultListObserver() = default;
    /// `record` is null for a change of the list as a whole (sort, add, remove, clear, flags).
    virtual void BeforeChange(ResultList& /*list*/, ResultRecord* /*record*/) {}
    virtual void AfterChange(ResultList& /*list*/, ResultRecord& /*record*/, bool /*mayHaveMoved*/) {}
    virtual void AfterResort(ResultList& /*list*/) {}
    virtual void AfterStandingsRecalculated(ResultList& /*list*/) {}
    virtual void AfterAddRemove(ResultList& /*list*/) {}
    virtual void AfterFinalization(ResultList& /*list*/) {}
    virtual void AfterFlagsChanged(ResultList& /*list*/) {}
};

enum class ResultGroupKind { Finished = 0, Split = 1, OnCourse = 2, Coded = 3, Relevant = 4 };

/// A run of records formed by the last sort.
struct ResultGroup {
    ResultRecord* first = nullptr;
    ResultRecord* last = nullptr;
    size_t count = 0;
};

class ResultList {
public:
    static constexpr uint32_t kFlagUnofficial = 2;
    static constexpr uint32_t kFlagStandings = 4;

    /// `precision` is checked as ValidPrecision does. A list starts unofficial.
    explicit ResultList(bool standings = false, TickCount precision = kTicksHundredth, KString name = {});
    ~ResultList();
    ResultList(const ResultList&) = delete;
    ResultList& operator=(const ResultList&) = delete;

    /// A precision below 1 or above a second becomes hundredths.
    static TickCount ValidPrecision(long long precision);

    const KString& Name() const { return m_name; }
    void SetName(KStringView name) { m_name = KString(name); }
    uint32_t Flags() const { return m_flags; }
    TickCount Precision() const { return m_precision; }
    void SetPrecision(TickCount precision) { m_precision = ValidPrecision(precision.Value()); }

    /// The rules the orderings read; changing them marks the list for re-sorting.
    const ScoringRules& Rules() const { return m_rules; }
    void SetRules(const ScoringRules& rules);

    bool IsOfficial() const { return (m_flags & kFlagUnofficial) == 0; }
    void SetOfficial(bool official);
    bool IsStandings() const { return (m_flags & kFlagStandings) != 0; }
    void SetStandings(bool standings);

    /// Destroys every record.
    void Clear();
    /// A new record (Place -1, next sequence number) at the end; the list re-sorts at its next access.
    ResultRecord* Add();
    /// A new record with every field of `source`, its sequence number included (so ties keep the
    /// source's order); later Adds number after it.
    ResultRecord* AddCopy(const ResultRecord& source);
    /// Destroys `record`, which must belong to this list.
    void Remove(ResultRecord* record);

    /// The first record in sorted order whose text field equals `text` exactly, or null. Constant time
    /// when at most one record has the text: the list keeps an index and sorts only to break a tie.
    ResultRecord* Find(TextField field, KStringView text);

    /// All records, relevant or not (no sort).
    size_t Size() const { return m_records.size(); }
    /// The record at `index` in sorted order.
    ResultRecord* At(size_t index);
    /// Every record in sorted order, as ResultRecord& (valid until the list next changes).
    class SortedRange;
    SortedRange Sorted();

    /// Iterate the relevant records in sorted order against `filter` (null: every record is relevant).
    ResultRecord* First(const ResultFilter* filter);
    ResultRecord* Next(const ResultRecord* record, const ResultFilter* filter);
    ResultRecord* Previous(const ResultRecord* record, const ResultFilter* filter);
    size_t Count(const ResultFilter* filter);
    /// Groups formed by the last sort (sorting first when needed).
    const ResultGroup& Group(ResultGroupKind kind);
    /// The record after `record` in the same group, or null at the group's end.
    ResultRecord* NextInGroup(const ResultRecord* record, ResultGroupKind kind);

    /// Sorts against `filter` when it differs from the last sort's (by sequence) or something moved.
    void Sort(const ResultFilter* filter);
    /// Sorts with the current filter now.
    void Resort();
    const ResultFilter* CurrentFilter() const { return m_filter; }

    /// Team places over the sorted standings (done by every sort of a standings list): teams below
    /// MinRunners get no place (and 0 points when `zeroIncompletePoints`); equal points with equal
    /// displacer places share a place; places run 1, 2, 2, 4.
    void AssignTeamPlaces(bool zeroIncompletePoints = false);

    /// For the team calculation, which rebuilds this list.
    void NotifyStandingsRecalculated();
    void NotifyFinalized();

    void AddObserver(ResultListObserver* observer);
    void RemoveObserver(ResultListObserver* observer);

    /// Grows with every change; safe to read without the lock, to see whether to refresh.
    uint32_t ChangeCount() const { return m_changeCount.load(std::memory_order_relaxed); }

    /// The table's field set, kept and stored with the list; may be null. A list without one keeps a
    /// stored field set as it was read; a list with one keeps it as it is when the file stored none.
    ResultFieldSet* FieldSet() const { return m_fieldSet.get(); }
    void SetFieldSet(std::unique_ptr<ResultFieldSet> fieldSet);

    /// The list as the event file holds it: name, flags, precision, record count, records, field set.
    void Store(KBinaryWriter& out) const;
    /// Replaces this list's records with the stored ones. On any error the list is left empty and the
    /// KError propagates (3009 bad version, 3010 truncated or inconsistent).
    void Load(KBinaryReader& in);

private:
    friend class ResultRecord;

    void EnsureSorted();
    void DoSort(const ResultFilter* filter);
    bool Before(const ResultRecord& a, const ResultRecord& b) const;
    bool BeforeStanding(const ResultRecord& a, const ResultRecord& b) const;
    /// Negative when a's displacers place it ahead of b, positive when behind, 0 when equal.
    int CompareDisplacers(const ResultRecord& a, const ResultRecord& b) const;
    bool BeforeResult(const ResultRecord& a, const ResultRecord& b) const;
    void FormGroupsAndPlaces();
    void ReindexPositions(size_t from);
    ResultRecord* Append(uint32_t sequence);

    // Text index, per field, built at the field's first Find: an open-addressing table (linear
    // probing) with one slot per distinct text, holding the records with that text. A lookup in a long
    // list touches one slot and the record it compares against, not a chain of scattered nodes. A slot
    // is compared by the text of its first record, so every filed record's text is the one it is filed
    // under (the setters unfile before a text changes and file after).
    struct IndexSlot {
        size_t hash = 0;
        ResultRecord* first = nullptr;  // null: an empty slot
        // The rest with the same text (m_indexSlot is 1 + their index); apart, so slots stay small.
        std::unique_ptr<std::vector<ResultRecord*>> others;
        bool Shared() const { return others && !others->empty(); }
    };
    struct TextIndex {
        std::vector<IndexSlot> slots;  // a power of two in size, at most three quarters of it in use
        size_t used = 0;
        bool built = false;
    };
    size_t FindSlot(int field, KStringView text, size_t hash) const;
    void IndexInsert(int field, ResultRecord* record);
    void IndexErase(int field, ResultRecord* record, const KString& text);
    void EraseSlot(TextIndex& index, size_t slot);
    void GrowIndex(TextIndex& index);
    void BuildIndex(int field);

    // Called by the records' setters.
    void RecordBeforeChange(ResultRecord& record);
    void RecordAfterChange(ResultRecord& record, bool mayHaveMoved);
    void RecordTextChanging(ResultRecord& record, int field, const KString& oldText);
    void RecordTextChanged(ResultRecord& record, int field);

    void NotifyBefore(ResultRecord* record);
    template <class Call>
    void Notify(Call&& call) {
        m_observers.Notify(call);
    }
    void Touch() { m_changeCount.fetch_add(1, std::memory_order_relaxed); }

    KString m_name;
    uint32_t m_flags = kFlagUnofficial;
    TickCount m_precision;
    ScoringRules m_rules;
    std::vector<std::unique_ptr<ResultRecord>> m_records;  // in sorted order after EnsureSorted
    uint32_t m_nextSequence = 0;
    bool m_needsSort = false;
    const ResultFilter* m_filter = nullptr;
    uint32_t m_filterSequence = 0;
    ResultGroup m_groups[5];
    TextIndex m_index[kTextFieldCount];
    ObserverList<ResultListObserver> m_observers;
    std::atomic<uint32_t> m_changeCount{0};
    std::unique_ptr<ResultFieldSet> m_fieldSet;
    std::vector<uint8_t> m_fieldSetBytes;  // a stored field set nobody has claimed, written back as read
};

class ResultList::SortedRange {
public:
    using Records = std::vector<std::unique_ptr<ResultRecord>>;

    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = ResultRecord;
        using difference_type = std::ptrdiff_t;
        using pointer = ResultRecord*;
        using reference = ResultRecord&;

        Iterator() = default;
        explicit Iterator(Records::const_iterator it) : m_it(it) {}
        ResultRecord& operator*() const { return **m_it; }
        ResultRecord* operator->() const { return m_it->get(); }
        Iterator& operator++() {
            ++m_it;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++m_it;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.m_it == b.m_it; }

    private:
        Records::const_iterator m_it;
    };

    explicit SortedRange(const Records& records) : m_records(&records) {}
    Iterator begin() const { return Iterator(m_records->begin()); }
    Iterator end() const { return Iterator(m_records->end()); }
    size_t size() const { return m_records->size(); }

private:
    const Records* m_records;
};

inline ResultList::SortedRange ResultList::Sorted() {
    EnsureSorted();
    return SortedRange(m_records);
}
