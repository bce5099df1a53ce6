// Sorting and placing a results list, and looking results up by Id as an input update does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "scoring/ResultList.h"

namespace {

TimeValue Hundredths(int64_t hundredths) {
    return TimeValue(TickCount::FromInt64(hundredths * 800), kTicksHundredth);
}

/// A list of state.range(0) runners with unique Ids; times in hundredths, a share of them equal so
/// places are shared.
struct Field {
    Field(const benchmark::State& state, unsigned seed)
        : n(state.range(0)), random(seed), hundredths(90000, 90000 + n * 4) {
        for (int64_t i = 0; i < n; ++i) {
            ids.push_back(ToKString(1000 + i));
            ResultRecord* r = list.Add();
            r->SetId(ids.back());
            r->SetAffiliation(ToKString(i % 40));
            r->SetTime(Hundredths(hundredths(random)));
        }
    }

    const int64_t n;
    std::mt19937 random;
    std::uniform_int_distribution<int64_t> hundredths;
    std::vector<KString> ids;
    ResultList list;
};

void Count(benchmark::State& state) {
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SortAndPlace(benchmark::State& state) {
    Field field(state, 42);
    std::vector<ResultRecord*> records;
    for (ResultRecord& r : field.list.Sorted()) records.push_back(&r);
    for (auto _ : state) {
        state.PauseTiming();
        for (ResultRecord* r : records) r->SetTime(Hundredths(field.hundredths(field.random)));
        state.ResumeTiming();
        field.list.Resort();
        benchmark::DoNotOptimize(field.list.At(0));
    }
    Count(state);
}
BENCHMARK(BM_SortAndPlace)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oNLogN);

void BM_FindById(benchmark::State& state) {
    Field field(state, 7);
    std::vector<KString> ids = field.ids;
    std::shuffle(ids.begin(), ids.end(), field.random);
    for (auto _ : state) {
        for (const KString& id : ids) benchmark::DoNotOptimize(field.list.Find(TextField::Id, id));
    }
    Count(state);
}
BENCHMARK(BM_FindById)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oN);

// A full results message of N lines against a list that already holds them: each line is found by Id
// and its place, times and laps are set, as an input update does; then the list is read in order.
void BM_ApplyResultsMessage(benchmark::State& state) {
    Field field(state, 11);
    int64_t round = 0;
    for (auto _ : state) {
        ++round;
        for (int64_t i = 0; i < field.n; ++i) {
            ResultRecord* r = field.list.Find(TextField::Id, field.ids[static_cast<size_t>(i)]);
            r->SetPlaceFromText(u"");
            r->SetTime(Hundredths(90000 + i + round));
            r->SetCumSplitTime(Hundredths(40000 + i + round));
            r->SetLapsToGo(0);
        }
        benchmark::DoNotOptimize(field.list.At(0));
    }
    Count(state);
}
BENCHMARK(BM_ApplyResultsMessage)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oNLogN);

}  // namespace

BENCHMARK_MAIN();
