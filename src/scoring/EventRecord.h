#pragma once

// The current event: its information, the individual results and the team standings.
//
// Threads: the user-interface thread changes the event (input updates, commands); the scoreboard thread
// reads it. Both hold the event lock (ScopedLock) while they touch the event or its lists, and the team
// calculation holds it for its whole run. The lock is recursive so an update may hold it from its begin
// notice to its end while the calculation inside takes it again. Lock order: scoreboard manager, then
// event, then a scoreboard. ChangeCount may be read without the lock.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "foundation/KString.h"
#include "scoring/ObserverList.h"
#include "scoring/ResultList.h"
#include "scoring/ScoringRules.h"

class KBinaryReader;
class KBinaryWriter;
class EventRecord;

/// Told of changes to the event information and of input updates. Default bodies do nothing.
class EventObserver {
public:
    virtual ~EventObserver() = default;
    virtual void BeforeEventChange(EventRecord& /*event*/) {}
    virtual void AfterEventChange(EventRecord& /*event*/) {}
    virtual void UpdateBegins(EventRecord& /*event*/) {}
    virtual void UpdateEnded(EventRecord& /*event*/) {}
};

/// The event window's summary column boundaries (cumulative pixels per group), stored with the event.
struct EventSummaryColumns {
    static constexpr uint32_t kStoreVersion = 0x2000d;
    static constexpr size_t kGroupCount = 2;
    static constexpr size_t kBoundaryCounts[kGroupCount] = {6, 5};

    int32_t value = 0;
    int32_t layout[2] = {0, 0};
    /// An empty group has not been set (the window uses its defaults).
    std::vector<int32_t> groups[kGroupCount];

    void Store(KBinaryWriter& out) const;
    /// A group whose stored count differs from its boundary count is read and ignored; groups beyond
    /// two are not read. Throws KError(3009) for another version, KError(3010) when data is missing.
    void Load(KBinaryReader& in);

    friend bool operator==(const EventSummaryColumns&, const EventSummaryColumns&) = default;
};

class EventRecord {
public:
    static constexpr uint32_t kStoreVersion = 0x20007;
    static constexpr uint32_t kOldestStoreVersion = 0x20004;

    /// `precision` is the results list's time precision (checked like ResultList::ValidPrecision). Each
    /// list owns a field set (FieldSet.h) named as the list, with the built-in default columns and one
    /// filter named `filterName` that accepts every record.
    explicit EventRecord(TickCount precision = kTicksHundredth, KString resultsName = {},
                         KString standingsName = {}, KString filterName = {});
    EventRecord(const EventRecord&) = delete;
    EventRecord& operator=(const EventRecord&) = delete;

    // Event information; every setter notifies when the value changes.
    const KString& Name() const { return m_name; }
    void SetName(KStringView text) { SetInfo(m_name, text); }
    const KString& EventNumber() const { return m_eventNumber; }
    void SetEventNumber(KStringView text) { SetInfo(m_eventNumber, text); }
    const KString& RoundNumber() const { return m_roundNumber; }
    void SetRoundNumber(KStringView text) { SetInfo(m_roundNumber, text); }
    const KString& HeatNumber() const { return m_heatNumber; }
    void SetHeatNumber(KStringView text) { SetInfo(m_heatNumber, text); }
    const KString& Wind() const { return m_wind; }
    void SetWind(KStringView text) { SetInfo(m_wind, text); }
    const KString& StartType() const { return m_startType; }
    void SetStartType(KStringView text) { SetInfo(m_startType, text); }
    const KString& Official() const { return m_official; }
    void SetOfficial(KStringView text) { SetInfo(m_official, text); }
    uint16_t NumParticipants() const { return m_numParticipants; }
    void SetNumParticipants(uint16_t count);

    /// Set when the event is created; the first input update empties the results and clears it.
    bool IsFirstUpdate() const { return m_firstUpdate; }
    void SetFirstUpdate(bool first) { m_firstUpdate = first; }

    /// Every text empty, no participants, both lists empty.
    void Clear();

    ResultList& Results() { return m_results; }
    const ResultList& Results() const { return m_results; }
    ResultList& Standings() { return m_standings; }
    const ResultList& Standings() const { return m_standings; }

    /// Hands the rules to both lists (read afresh from the settings by the owner before a calculation).
    void SetRules(const ScoringRules& rules);
    const ScoringRules& Rules() const { return m_results.Rules(); }

    EventSummaryColumns& SummaryColumns() { return m_summaryColumns; }
    const EventSummaryColumns& SummaryColumns() const { return m_summaryColumns; }

    void Lock() { m_lock.lock(); }
    /// Takes the lock only if no other thread holds it.
    bool TryLock() { return m_lock.try_lock(); }
    void Unlock() { m_lock.unlock(); }
    class ScopedLock {
    public:
        explicit ScopedLock(EventRecord& event) : m_event(event) { m_event.Lock(); }
        ~ScopedLock() { m_event.Unlock(); }
        ScopedLock(const ScopedLock&) = delete;
        ScopedLock& operator=(const ScopedLock&) = delete;

    private:
        EventRecord& m_event;
    };

    /// The begin-change and end-of-update notices around an input update.
    void BeginUpdate();
    void EndUpdate();

    void AddObserver(EventObserver* observer);
    void RemoveObserver(EventObserver* observer);

    /// Grows with every change of the event or its lists; safe to read without the lock.
    uint32_t ChangeCount() const;

    void Store(KBinaryWriter& out) const;
    /// Replaces the event with the stored one. On any error the event is left empty and the KError
    /// propagates (3009 unknown version, 3010 truncated or inconsistent data).
    void Load(KBinaryReader& in);

private:
    void SetInfo(KString& field, KStringView text);
    void NotifyBefore();
    template <class Call>
    void Notify(Call&& call) {
        m_observers.Notify(call);
    }
    void NotifyAfter();

    KString m_name;
    KString m_eventNumber;
    KString m_roundNumber;
    KString m_heatNumber;
    KString m_wind;
    KString m_startType;
    KString m_official;
    uint16_t m_numParticipants = 0;
    bool m_firstUpdate = true;
    ResultList m_results;
    ResultList m_standings;
    EventSummaryColumns m_summaryColumns;
    ObserverList<EventObserver> m_observers;
    std::atomic<uint32_t> m_changeCount{0};
    // Serialises the team calculation and the scoreboard thread's reads against changes.
    std::recursive_mutex m_lock;
};
