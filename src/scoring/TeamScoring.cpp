#include "scoring/TeamScoring.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "foundation/KLog.h"
#include "scoring/EventRecord.h"
#include "scoring/NonScoringAffiliations.h"
#include "settings/KRegistry.h"

namespace {

int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t IntSetting(KRegistry& settings, KStringView path, int32_t fallback) {
    const KRInt* node = settings.FindInt(path);
    return node ? node->Value() : fallback;
}

bool BoolSetting(KRegistry& settings, KStringView path, bool fallback) {
    const KRBool* node = settings.FindBool(path);
    return node ? node->Value() : fallback;
}

/// Team lines of one pass by affiliation. The keys view the team lines' own
/// texts, which stay put until the standings are emptied.
using TeamIndex = std::unordered_map<KStringView, ResultRecord*>;

/// One scoring pass over `order`, creating and extending team lines in `standings`.
class ScoringPass {
public:
    ScoringPass(const ScoringRules& rules, const NonScoringAffiliations& nonScoring, ResultList& standings)
        : m_rules(rules), m_nonScoring(nonScoring), m_standings(standings) {}

    template <typename Progress>
    void Run(const std::vector<ResultRecord*>& order, Progress&& progress) {
        m_index.reserve(order.size() / 4 + 16);
        for (size_t i = 0; i < order.size(); ++i) {
            Score(*order[i]);
            progress(i + 1, order.size());
        }
    }

    const TeamIndex& Index() const { return m_index; }

private:
    void Score(const ResultRecord& runner) {
        const int32_t place = runner.EffectivePlace();
        // Equal places share the points of the last counted runner (1, 2, 2, 4).
        const int32_t points = place == m_previousPlace ? m_lastPoints : Saturated(m_counted + 1);

        const bool nonScoring = m_nonScoring.IsNonScoring(runner.Affiliation());
        if (nonScoring && !m_rules.unatDisplaces) return;
        if (!m_haveLeader) {
            m_leaderLaps = runner.LapsToGo();
            m_haveLeader = true;
        }
        const bool timeValid = runner.Time().IsValid() || runner.CumSplitTime().IsValid();
        const bool inSplit = !m_rules.resetScores || runner.LapsToGo() == m_leaderLaps;
        // Only a runner whose result stands (no code, or Advanced) makes a team bigger.
        const bool member = place >= 0 && runner.IsValid();
        const int64_t limit = int64_t{m_rules.numScorers} + m_rules.maxDisplacers;

        bool counted = false;
        const auto found = nonScoring ? m_index.end() : m_index.find(runner.Affiliation());
        if (found == m_index.end()) {
            if (nonScoring) {
                counted = true;  // takes a position for nobody
            } else {
                ResultRecord* team = m_standings.Add();
                team->SetAffiliation(runner.Affiliation());
                team->SetLapsToGo(runner.LapsToGo());
                team->SetPlace(0);
                if (timeValid && inSplit) {
                    team->SetNumScorers(1);
                    if (place > 0) team->SetPoints(points);
                    if (runner.Time().IsValid()) team->SetTime(runner.Time());
                    team->AppendPlace(place);
                    counted = true;
                }
                if (member) team->SetNumMembers(1);
                m_index.emplace(KStringView(team->Affiliation()), team);
            }
        } else if (inSplit) {
            ResultRecord* team = found->second;
            if (team->NumScorers() < limit && timeValid) {
                if (place > 0) {
                    if (team->NumScorers() < m_rules.numScorers) {
                        team->SetPoints(Saturated(int64_t{team->Points()} + points));
                    }
                    team->SetNumScorers(team->NumScorers() + 1);
                    if (!team->Time().IsValid() && runner.Time().IsValid()) team->SetTime(runner.Time());
                    counted = true;
                }
                team->AppendPlace(place);
            }
            if (member) team->SetNumMembers(team->NumMembers() + 1);
        }

        if (counted) {
            ++m_counted;
            m_lastPoints = points;
        }
        m_previousPlace = place;
    }

    const ScoringRules& m_rules;
    const NonScoringAffiliations& m_nonScoring;
    ResultList& m_standings;
    TeamIndex m_index;
    int64_t m_counted = 0;
    int32_t m_lastPoints = 0;
    int32_t m_previousPlace = -1;
    bool m_haveLeader = false;
    int32_t m_leaderLaps = 0;
};

/// A team line of the first finalize pass that is too small to score.
struct SetAsideTeam {
    KString affiliation;
    int32_t lapsToGo;
    int32_t members;
};

}  // namespace

TeamScoring::TeamScoring(KRegistry& settings, const NonScoringAffiliations& nonScoring)
    : m_settings(settings), m_nonScoring(nonScoring) {}

void TeamScoring::SetActivityLog(KLog* log, std::function<bool()> enabled) {
    m_log = log;
    m_logEnabled = std::move(enabled);
}

ScoringRules TeamScoring::ReadScoringRules(KRegistry& settings) {
    ScoringRules rules;
    rules.minRunners = IntSetting(settings, u"Scoring\\MinRunners", rules.minRunners);
    rules.numScorers = IntSetting(settings, u"Scoring\\NumScorers", rules.numScorers);
    rules.maxDisplacers = IntSetting(settings, u"Scoring\\MaxDisplacers", rules.maxDisplacers);
    rules.resetScores = BoolSetting(settings, u"Scoring\\ResetScores", rules.resetScores);
    rules.lapsCountUp = BoolSetting(settings, u"Scoring\\LapsToGoDir", rules.lapsCountUp);
    rules.unatDisplaces = BoolSetting(settings, u"Scoring\\UnatDisplaces", rules.unatDisplaces);
    return rules;
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
    std::vector<ResultRecord*> order;
    order.reserve(results.Size());
    for (ResultRecord& runner : results.Sorted()) order.push_back(&runner);

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

    ScoringPass first(rules, m_nonScoring, standings);
    first.Run(order, noProgress);
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

        // Teams too small to score, in their first-pass order (more members first).
        std::vector<SetAsideTeam> setAside;
        for (ResultRecord& team : standings.Sorted()) {
            if (team.NumMembers() < rules.minRunners) {
                setAside.push_back({team.Affiliation(), team.LapsToGo(), team.NumMembers()});
            }
        }
        std::vector<ResultRecord*> qualified;
        qualified.reserve(order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const auto found = first.Index().find(order[i]->Affiliation());
            const bool tooSmall =
                found != first.Index().end() && found->second->NumMembers() < rules.minRunners;
            if (!tooSmall) qualified.push_back(order[i]);
            SetPercent(i + 1, order.size());
        }

        if (m_progress) m_progress->SetStatusText(text(u"Strings\\Event\\Finalizing", u"Finalizing Data..."));
        m_lastPercent = -1;
        standings.Clear();
        ScoringPass second(rules, m_nonScoring, standings);
        second.Run(qualified, [this](size_t done, size_t total) { SetPercent(done, total); });
        // The set-aside runners stand behind everyone and take no position, so
        // their teams keep only the members they had.
        for (const SetAsideTeam& team : setAside) {
            ResultRecord* line = standings.Add();
            line->SetAffiliation(team.affiliation);
            line->SetLapsToGo(team.lapsToGo);
            line->SetPlace(0);
            line->SetNumMembers(team.members);
        }
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
