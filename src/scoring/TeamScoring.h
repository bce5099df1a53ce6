#pragma once

// Team standings from an event's individual results, by cross-country rules:
// runners take points equal to their position among the runners that count,
// the first NumScorers of each team add them to its total, up to MaxDisplacers
// more take positions without scoring, and the lowest total wins.

#include <functional>
#include <memory>

#include "foundation/KString.h"
#include "scoring/ScoringRules.h"

class EventRecord;
class KLog;
class KRegistry;
class NonScoringAffiliations;

/// What a calculation shows while it runs; the main window implements it.
/// Called on the calculating thread with the event lock held.
class TScoringProgress {
public:
    virtual ~TScoringProgress() = default;
    virtual void SetStatusText(const KString& text) = 0;
    /// 0..100.
    virtual void SetProgress(int percent) = 0;
    /// The busy pointer, on for the duration of a finalize run.
    virtual void SetBusy(bool busy) = 0;
};

/// One calculation at a time (the callers run on the user-interface thread).
class TeamScoring {
public:
    /// Both are read at every calculation and must outlive this object.
    TeamScoring(KRegistry& settings, const NonScoringAffiliations& nonScoring);
    ~TeamScoring();
    TeamScoring(const TeamScoring&) = delete;
    TeamScoring& operator=(const TeamScoring&) = delete;

    /// Activity lines go to `log` when `enabled` says so (always when it is empty).
    void SetActivityLog(KLog* log, std::function<bool()> enabled = {});
    void SetProgress(TScoringProgress* progress) { m_progress = progress; }

    /// Rebuilds the event's standings list, holding the event lock throughout.
    /// Only runners whose result stands (no code, or Advanced) are team members,
    /// so four finishers and a DNF are a team too small to score.
    /// Unofficial mode leaves the list unofficial and the progress alone.
    /// Finalize mode shows its progress, and also drops the runners of teams too
    /// small to score: they stand behind every other runner and displace nobody,
    /// so the qualified teams score as if they had not run; their teams are
    /// listed with no place and 0 points. The list is then marked official.
    /// The event's results list keeps its records and their fields.
    void CalculateStandings(EventRecord& event, bool finalize);

private:
    bool Logging() const;
    void Log(KStringView text) const;
    void SetPercent(size_t done, size_t total);

    KRegistry& m_settings;
    const NonScoringAffiliations& m_nonScoring;
    KLog* m_log = nullptr;
    std::function<bool()> m_logEnabled;
    TScoringProgress* m_progress = nullptr;
    int m_lastPercent = -1;
    /// Working storage kept from one calculation to the next, so that scoring
    /// after every update does not allocate afresh.
    struct Workspace;
    std::unique_ptr<Workspace> m_work;
};
