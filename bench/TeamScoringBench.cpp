// Team scoring of a large meet: time per runner must not grow with the field.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"

namespace {

/// A meet of `runners` finishers spread over `teams` affiliations, with a few
/// unattached runners and a tenth of the teams too small to score.
struct Meet {
    Meet(int runners, int teams) {
        uint32_t seed = 20261206;
        for (int i = 0; i < runners; ++i) {
            seed = seed * 1103515245u + 12345u;
            int team = static_cast<int>((seed >> 8) % static_cast<uint32_t>(teams));
            if (team % 10 == 9 && (seed >> 4) % 4 != 0) team = (team + 1) % teams;  // small teams
            ResultRecord* runner = event.Results().Add();
            runner->SetId(ToKString(i + 1));
            runner->SetAffiliation(i % 97 == 0 ? KString(u"UNA") : u"School " + ToKString(team));
            runner->SetTime(
                TimeValue(TickCount::FromInt64(int64_t{900} * 80000 + int64_t{i} * 2400), kTicksHundredth));
        }
    }

    StandaloneScorer scorer;
    EventRecord event;
};

void Standings(benchmark::State& state, bool finalize) {
    Meet meet(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        meet.scorer.scoring.CalculateStandings(meet.event, finalize);
        benchmark::DoNotOptimize(meet.event.Standings().Size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    // Seconds per runner, the figure that must stay flat as the field grows.
    state.counters["per_runner"] =
        benchmark::Counter(static_cast<double>(state.range(0)) * state.iterations(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_UnofficialStandings(benchmark::State& state) { Standings(state, false); }
void BM_FinalizedStandings(benchmark::State& state) { Standings(state, true); }

// The machine may be shared: the fastest of several runs is the figure least
// disturbed by other work.
double Fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }

/// 500 runners of 25 teams and 5,000 of 250, each the fastest of seven runs.
void Meets(benchmark::internal::Benchmark* bench) {
    bench->Args({500, 25})
        ->Args({5000, 250})
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(7)
        ->ComputeStatistics("min", Fastest)
        ->ReportAggregatesOnly(true);
}

}  // namespace

BENCHMARK(BM_UnofficialStandings)->Apply(Meets);
BENCHMARK(BM_FinalizedStandings)->Apply(Meets);

BENCHMARK_MAIN();
