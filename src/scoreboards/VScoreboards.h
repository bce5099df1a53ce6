#pragma once

// The scoreboard manager: owns every configured scoreboard and runs them from one periodic worker.
// Each period it refreshes its copy of the event information when the event's change counter
// moved, works out the time of day, and lets each scoreboard render and write its update.
//
// Threads: RunPeriod runs on the worker (or a test's thread); every other operation is called by
// the user-interface thread. Ports never wait, so no lock is held longer than one period's rendering.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/KPeriodicTask.h"
#include "foundation/KString.h"
#include "scoreboards/VScoreboard.h"

class EventRecord;
class KRegistry;
class KStreamPrototypes;

class VScoreboards : public KPeriodicTask {
public:
    /// Milliseconds since local midnight.
    using TimeOfDaySource = std::function<int64_t()>;
    static int64_t LocalTimeOfDay();

    enum class Status { NotLoaded, NotRunning, Running };

    /// Creates a scoreboard from every numbered group that loads (the others are skipped) and
    /// applies ResultsReleased. The worker is not started. `settings` and `prototypes` must outlive
    /// the manager; `now` is the tick the scoreboards count their first write from.
    VScoreboards(KRegistry& settings, std::filesystem::path programFolder,
                 const KStreamPrototypes& prototypes, TimeOfDaySource timeOfDay = LocalTimeOfDay,
                 uint32_t now = 0);
    /// Stops the worker before the scoreboards go.
    ~VScoreboards() override;

    /// Starts the worker at Scoreboards\Period, above normal priority.
    bool StartWorker();
    /// One period: what Tick does at `now` (a tick of KGetTickCount's clock).
    void RunPeriod(uint32_t now);

    void RequestInitialize();
    void Refresh();
    void SetShowTimeOfDay(bool show);
    bool ShowTimeOfDay() const;
    /// Writes Scoreboards\TOD24Hour.
    void SetUse24Hour(bool on);
    bool Use24Hour() const;
    void SendMessage();
    /// Every line followed by CR LF.
    KString GetMessageText() const;
    /// CR, LF, CR LF and LF CR each end a line; a break at the very end adds no empty line.
    void SetMessageText(KStringView text);
    bool ResultsReleased() const;
    void SetResultsReleased(bool released);

    /// A different event replaces the current one; every list position starts again.
    void AttachEvent(EventRecord* event);
    void DetachEvent(EventRecord* event);
    EventRecord* Event() const;

    size_t Count() const { return m_boards.size(); }
    VScoreboard& Board(size_t index) const { return *m_boards[index]; }
    /// Of the scoreboard configured in `group`: not loaded, or whether its port is open.
    Status StatusOf(const KRGroup& group) const;

    /// The lines of a message text (see SetMessageText).
    static std::vector<KString> SplitMessageText(KStringView text);

protected:
    void Tick(uint32_t now) override { RunPeriod(now); }

private:
    void RefreshSnapshot();
    void ApplyResultsReleased();
    TimeValue TimeOfDay() const;

    KRegistry& m_settings;
    const TimeOfDaySource m_timeOfDay;
    KRInt* m_optimize = nullptr;
    KRInt* m_tod24Hour = nullptr;
    // Created and destroyed with the manager; their settings, scripts and ports guard themselves.
    std::vector<std::unique_ptr<VScoreboard>> m_boards;

    // Lock order, everywhere: this manager lock, then the event's lock (EventRecord::Lock), then a
    // scoreboard's lock (VScoreboard::m_mutex); never the other way round. Guards everything below
    // and is held for a whole period.
    mutable std::mutex m_mutex;
    EventRecord* m_event = nullptr;
    const EventRecord* m_snapshotEvent = nullptr;
    uint32_t m_snapshotCounter = 0;
    VEventSnapshot m_snapshot;
    bool m_initializeRequest = false;
    bool m_messageRequest = false;
    bool m_showTimeOfDay = false;
    bool m_resultsReleased = true;
    std::vector<KString> m_messageLines;
};
