#include "scoring/TeamScoring.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/NonScoringAffiliations.h"
#include "scoring/ScoringSettings.h"
#include "settings/KRegistry.h"

namespace {

int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

struct TextHash {
    using is_transparent = void;
    size_t operator()(KStringView text) const { return std::hash<KStringView>{}(text); }
};

/// A runner in scoring order: what the passes read of it, taken once per
/// calculation so that a second pass does not walk the records again.
struct ScoringEntry {
    const ResultRecord* runner;
    int32_t place;  ///< effective place
    int32_t laps;
    int32_t team;  ///< slot of the runner's affiliation; -1 for a non-scoring one
    bool timeValid;
    bool hasTime;
    bool valid;
};

/// A team line as a pass builds it; written into the standings once the pass
/// is over, so the list hears of each line once rather than of every runner.
struct TeamTally {
    const ResultRecord* founder = nullptr;  ///< the runner that created the line
    const ResultRecord* timeFrom = nullptr;
    int64_t points = 0;
    int32_t numScorers = 0;
    int32_t numMembers = 0;
    std::vector<int32_t> places;
};

/// One scoring pass over an order of runners.
class ScoringPass {
public:
    ScoringPass(const ScoringRules& rules, size_t teamSlots) : m_rules(rules), m_tallies(teamSlots) {}

    template <typename Progress>
    void Run(const std::vector<ScoringEntry>& order, Progress&& progress) {
        for (size_t i = 0; i < order.size(); ++i) {
            Score(order[i]);
            progress(i + 1, order.size());
        }
    }

    /// The pass's team of a slot; founder is null when the pass made none.
    const TeamTally& Tally(int32_t slot) const { return m_tallies[static_cast<size_t>(slot)]; }

    /// Adds the pass's team lines to `standings` in the order they were created. With
    /// `smallTeamsLast`, lines of teams below MinRunners follow the others in the order the
    /// standings rank such teams (more members, then fewer points), so they keep that order
    /// once their points are set to 0.
    void WriteLines(ResultList& standings, bool smallTeamsLast) const {
        std::vector<int32_t> lines = m_created;
        if (smallTeamsLast) {
            const auto small = std::stable_partition(lines.begin(), lines.end(), [this](int32_t slot) {
                return Tally(slot).numMembers >= m_rules.minRunners;
            });
            std::stable_sort(small, lines.end(), [this](int32_t a, int32_t b) {
                const TeamTally &teamA = Tally(a), &teamB = Tally(b);
                if (teamA.numMembers != teamB.numMembers) return teamA.numMembers > teamB.numMembers;
                return teamA.points < teamB.points;
            });
        }
        for (const int32_t slot : lines) {
            const TeamTally& tally = Tally(slot);
            ResultRecord* line = standings.Add();
            line->SetAffiliation(tally.founder->Affiliation());
            line->SetLapsToGo(tally.founder->LapsToGo());
            line->SetPlace(0);
            line->SetPoints(Saturated(tally.points));
            line->SetNumScorers(tally.numScorers);
            line->SetNumMembers(tally.numMembers);
            if (tally.timeFrom) line->SetTime(tally.timeFrom->Time());
            for (const int32_t place : tally.places) line->AppendPlace(place);
        }
    }

private:
    void Score(const ScoringEntry& runner) {
        const int32_t place = runner.place;
        // A runner ties only with the last counted runner (1, 2, 2, 4): one examined in
        // between that was not counted (a team's 8th runner) holds no points to share.
        const int32_t points =
            m_counted > 0 && place == m_lastCountedPlace ? m_lastPoints : Saturated(m_counted + 1);

        const bool nonScoring = runner.team < 0;
        if (nonScoring && !m_rules.unatDisplaces) return;
        if (!m_haveLeader) {
            m_leaderLaps = runner.laps;
            m_haveLeader = true;
        }
        const bool inSplit = !m_rules.resetScores || runner.laps == m_leaderLaps;
        // Only a runner whose result stands (no code, or Advanced) makes a team bigger.
        const bool member = place >= 0 && runner.valid;
        const int64_t limit = int64_t{m_rules.numScorers} + m_rules.maxDisplacers;

        bool counted = false;
        if (nonScoring) {
            counted = true;  // takes a position for nobody
        } else if (TeamTally& team = m_tallies[static_cast<size_t>(runner.team)]; !team.founder) {
            team.founder = runner.runner;
            m_created.push_back(runner.team);
            if (runner.timeValid && inSplit) {
                team.numScorers = 1;
                if (place > 0) team.points = points;
                if (runner.hasTime) team.timeFrom = runner.runner;
                team.places.push_back(place);
                counted = true;
            }
            if (member) team.numMembers = 1;
        } else if (inSplit) {
            if (team.numScorers < limit && runner.timeValid) {
                if (place > 0) {
                    if (team.numScorers < m_rules.numScorers) team.points += points;
                    ++team.numScorers;
                    if (!team.timeFrom && runner.hasTime) team.timeFrom = runner.runner;
                    counted = true;
                }
                team.places.push_back(place);
            }
            if (member) ++team.numMembers;
        }

        if (counted) {
            ++m_counted;
            m_lastPoints = points;
            m_lastCountedPlace = place;
        }
    }

    const ScoringRules& m_rules;
    std::vector<TeamTally> m_tallies;
    std::vector<int32_t> m_created;
    int64_t m_counted = 0;
    int32_t m_lastPoints = 0;
    int32_t m_lastCountedPlace = -1;
    bool m_haveLeader = false;
    int32_t m_leaderLaps = 0;
};

}  // namespace

struct TeamScoring::Workspace {
    std::unordered_map<KString, int32_t, TextHash, std::equal_to<>> slots;
    std::vector<bool> slotNonScoring;
    std::vector<ScoringEntry> order;
    std::vector<ScoringEntry> secondOrder;
    std::vector<ScoringEntry> setAside;
};

TeamScoring::TeamScoring(KRegistry& settings, const NonScoringAffiliations& nonScoring)
    : m_settings(settings), m_nonScoring(nonScoring), m_work(std::make_unique<Workspace>()) {}

TeamScoring::~TeamScoring() = default;

void TeamScoring::SetActivityLog(KLog* log, std::function<bool()> enabled) {
    m_log = log;
    m_logEnabled = std::move(enabled);
}

bool TeamScoring::Logging() const { return m_log && (!m_logEnabled || m_logEnabled()); }

void TeamScoring::Log(KStringView text) const {
    if (Logging()) m_log->LogMain(text);
}

void TeamScoring::SetPercent(size_t done, size_t total) {
    if (!m_progress || total == 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == m_lastPercent) return;
    m_lastPercent = percent;
    m_progress->SetProgress(percent);
}

void TeamScoring::CalculateStandings(EventRecord& event, bool finalize) {
    EventRecord::ScopedLock lock(event);
    const ScoringRules rules = ReadScoringRules(m_settings);
    event.SetRules(rules);
    Log(finalize ? u"Finalizing Team Standings" : u"Calculating Unofficial Team Standings");

    // Restores what the run showed even when it is cut short.
    struct ProgressGuard {
        explicit ProgressGuard(TScoringProgress* shown) : progress(shown) { progress->SetBusy(true); }
        ProgressGuard(const ProgressGuard&) = delete;
        ProgressGuard& operator=(const ProgressGuard&) = delete;
        TScoringProgress* progress;
        ~ProgressGuard() {
            if (!progress) return;
            progress->SetStatusText(KString());
            progress->SetProgress(0);
            progress->SetBusy(false);
        }
    };
    std::optional<ProgressGuard> guard;
    if (finalize && m_progress) guard.emplace(m_progress);

    ResultList& results = event.Results();
    ResultList& standings = event.Standings();
    standings.Clear();

    results.Sort(nullptr);  // scoring sees every runner
    // Each affiliation gets a slot, found through an index by its text, and is
    // tested against the non-scoring list once. The index keeps its own copies
    // of the texts, close together, rather than pointing into the records.
    auto& slots = m_work->slots;
    auto& slotNonScoring = m_work->slotNonScoring;
    auto& order = m_work->order;
    slots.clear();
    slotNonScoring.clear();
    order.clear();
    order.reserve(results.Size());
    for (ResultRecord& runner : results.Sorted()) {
        const KString& affiliation = runner.Affiliation();
        auto found = slots.find(KStringView(affiliation));
        if (found == slots.end()) {
            found = slots.emplace(affiliation, static_cast<int32_t>(slots.size())).first;
            slotNonScoring.push_back(m_nonScoring.IsNonScoring(affiliation));
        }
        const int32_t slot = found->second;
        order.push_back({&runner, runner.EffectivePlace(), runner.LapsToGo(),
                         slotNonScoring[static_cast<size_t>(slot)] ? -1 : slot,
                         runner.Time().IsValid() || runner.CumSplitTime().IsValid(), runner.Time().IsValid(),
                         runner.IsValid()});
    }

    const auto logStandings = [&] {
        if (!Logging()) return;
        m_log->LogMain(u"(Place,Affil,Points,Scorers,NumTeamMembers)");
        for (ResultRecord& team : standings.Sorted()) {
            m_log->LogMain(ToKString(team.Place()) + u"," + team.Affiliation() + u"," +
                           ToKString(team.Points()) + u"," + ToKString(team.NumScorers()) + u"," +
                           ToKString(team.NumMembers()));
        }
    };
    const auto noProgress = [](size_t, size_t) {};

    ScoringPass first(rules, slots.size());
    first.Run(order, noProgress);
    first.WriteLines(standings, false);
    standings.Resort();
    standings.NotifyStandingsRecalculated();
    standings.AssignTeamPlaces(false);
    logStandings();

    if (finalize) {
        const auto text = [this](KStringView path, KStringView fallback) {
            KString value = m_settings.GetText(path);
            return value.empty() ? KString(fallback) : value;
        };
        if (m_progress)
            m_progress->SetStatusText(
                text(u"Strings\\Event\\FinalizingPrep", u"Preparing to Finalize Data..."));
        m_lastPercent = -1;

        // Runners of teams too small to score stand behind everyone else, so they displace
        // nobody, and are still scored so that their team lines show what they ran.
        auto& secondOrder = m_work->secondOrder;
        auto& setAside = m_work->setAside;
        secondOrder.clear();
        setAside.clear();
        secondOrder.reserve(order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const int32_t slot = order[i].team;
            const bool tooSmall =
                slot >= 0 && first.Tally(slot).founder && first.Tally(slot).numMembers < rules.minRunners;
            (tooSmall ? setAside : secondOrder).push_back(order[i]);
            SetPercent(i + 1, order.size());
        }
        secondOrder.insert(secondOrder.end(), setAside.begin(), setAside.end());

        if (m_progress) m_progress->SetStatusText(text(u"Strings\\Event\\Finalizing", u"Finalizing Data..."));
        m_lastPercent = -1;
        standings.Clear();
        ScoringPass second(rules, slots.size());
        second.Run(secondOrder, [this](size_t done, size_t total) { SetPercent(done, total); });
        second.WriteLines(standings, true);
        standings.Resort();
        standings.NotifyStandingsRecalculated();
        standings.AssignTeamPlaces(true);
        logStandings();
        standings.SetOfficial(true);
        standings.NotifyFinalized();
    } else {
        standings.SetOfficial(false);
    }

    guard.reset();
    Log(u"End Calculating Unofficial Team Standings");
}
