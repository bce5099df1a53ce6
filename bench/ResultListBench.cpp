// Sorting and placing a results list, and looking results up by Id as an input update does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "scoring/ResultList.h"

namespace {

KString IdOf(int64_t i) { return ToKString(1000 + i); }

// N runners with unique Ids; times in hundredths, a share of them equal so places are shared.
void Fill(ResultList& list, int64_t n, std::mt19937& random) {
    std::uniform_int_distribution<int64_t> hundredths(90000, 90000 + n * 4);
    for (int64_t i = 0; i < n; ++i) {
        ResultRecord* r = list.Add();
        r->SetId(IdOf(i));
        r->SetAffiliation(ToKString(i % 40));
        r->SetTime(TimeValue(TickCount::FromInt64(hundredths(random) * 800), kTicksHundredth));
    }
}

void BM_SortAndPlace(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::mt19937 random(42);
    ResultList list;
    Fill(list, n, random);
    std::vector<ResultRecord*> records;
    for (ResultRecord& r : list.Sorted()) records.push_back(&r);
    std::uniform_int_distribution<int64_t> hundredths(90000, 90000 + n * 4);
    for (auto _ : state) {
        state.PauseTiming();
        for (ResultRecord* r : records)
            r->SetTime(TimeValue(TickCount::FromInt64(hundredths(random) * 800), kTicksHundredth));
        state.ResumeTiming();
        list.Resort();
        benchmark::DoNotOptimize(list.At(0));
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SortAndPlace)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oNLogN);

void BM_FindById(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::mt19937 random(7);
    ResultList list;
    Fill(list, n, random);
    std::vector<KString> ids;
    for (int64_t i = 0; i < n; ++i) ids.push_back(IdOf(i));
    std::shuffle(ids.begin(), ids.end(), random);
    for (auto _ : state) {
        for (const KString& id : ids) benchmark::DoNotOptimize(list.Find(TextField::Id, id));
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FindById)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oN);

// A full results message of N lines against a list that already holds them: each line is found by Id
// and its place, times and laps are set, as an input update does; then the list is read in order.
void BM_ApplyResultsMessage(benchmark::State& state) {
    const int64_t n = state.range(0);
    std::mt19937 random(11);
    ResultList list;
    Fill(list, n, random);
    std::vector<KString> ids;
    for (int64_t i = 0; i < n; ++i) ids.push_back(IdOf(i));
    int64_t round = 0;
    for (auto _ : state) {
        ++round;
        for (int64_t i = 0; i < n; ++i) {
            ResultRecord* r = list.Find(TextField::Id, ids[static_cast<size_t>(i)]);
            r->SetPlaceFromText(u"");
            r->SetTime(TimeValue(TickCount::FromInt64((90000 + i + round) * 800), kTicksHundredth));
            r->SetCumSplitTime(TimeValue(TickCount::FromInt64((40000 + i + round) * 800), kTicksHundredth));
            r->SetLapsToGo(0);
        }
        benchmark::DoNotOptimize(list.At(0));
    }
    state.SetComplexityN(n);
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ApplyResultsMessage)->Arg(500)->Arg(5000)->Arg(50000)->Complexity(benchmark::oNLogN);

}  // namespace

BENCHMARK_MAIN();
