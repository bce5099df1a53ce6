// The two script languages at work: 1 MB of result messages fed character by character through the
// shipped Gatemark definition, and one team-standings page rendered through the shipped video script.
// Both scripts are read from beside the program, where the build copies data/.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

#include "scoring/EventRecord.h"
#include "script/TSourceScript.h"
#include "script/VScoreboardScript.h"

namespace {

std::filesystem::path BesideProgram(const char* name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

// Result messages in the Gatemark protocol's form, 20 result lines each, repeated to about 1 MB.
KString ResultMessages() {
    KString one = u"\x02GMRUnofficial\tGirls 5K\t\t12\t1\t2\tMass\t20\r\n";
    for (int i = 1; i <= 20; ++i) {
        const KString n = ToKString(i);
        one += n + u"\t\t" + ToKString(1000 + i) + u"\tAnn Lee" + n + u"\tNorthfield\t17:0" +
               ToKString(i % 10) + u".4" + n + u"\t\t\t\t0\r\n";
    }
    one += u'\x03';
    KString all;
    while (all.size() < (1u << 20)) all += one;
    return all;
}

void BM_FeedResultMessages(benchmark::State& state) {
    VRegisters registers{};
    size_t delivered = 0;
    TSourceScript script(registers, 32768, [&delivered](const TMessageDefinition&) { ++delivered; });
    if (!script.Load(BesideProgram("Gatemark.kss"))) {
        state.SkipWithError("Gatemark.kss is not beside the benchmark");
        return;
    }
    const KString input = ResultMessages();
    for (auto _ : state) {
        for (const KChar c : input) script.Feed(c);
        benchmark::DoNotOptimize(delivered);
    }
    if (delivered == 0) state.SkipWithError("no message was delivered");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));  // characters
    state.counters["chars/s"] =
        benchmark::Counter(static_cast<double>(input.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FeedResultMessages)->Unit(benchmark::kMillisecond);

class NullHost : public VScriptHost {
public:
    const VScriptSettings& ScriptSettings() override { return settings; }
    uint32_t Tick() override { return 0; }
    void Output(KStringView line) override { characters += line.size(); }
    VScriptSettings settings;
    size_t characters = 0;
};

// A standings page as the output engine renders it: header, three team lines, trailer.
void BM_RenderStandingsPage(benchmark::State& state) {
    VScoreboardScript script;
    if (!script.Load(BesideProgram("Telerank_Video_TeamScores_3lines.vss"))) {
        state.SkipWithError("the video script is not beside the benchmark");
        return;
    }
    EventRecord event;
    for (int i = 1; i <= 30; ++i) {
        ResultRecord& team = *event.Standings().Add();
        team.SetAffiliation(u"Northfield Academy " + ToKString(i));
        team.SetPlace(i);
        team.SetPoints(20 + 7 * i);
        team.SetNumMembers(7);
    }
    VEventSnapshot snapshot;
    snapshot.name = u"Girls 5K Championship";
    NullHost host;
    host.settings.filter = 1;
    VUpdateRecord record;
    record.event = &event;
    record.list = &event.Standings();
    record.snapshot = &snapshot;
    const VScoreboardScript::VSSPage& page = *script.FirstPage(VScoreboardScript::kResults);
    const VScoreboardScript::VSSPage& header =
        *script.PageOrFirst(VScoreboardScript::kResultsHeader, page.Number());
    const VScoreboardScript::VSSPage& trailer =
        *script.PageOrFirst(VScoreboardScript::kResultsTrailer, page.Number());
    size_t offset = 0;
    for (auto _ : state) {
        script.Run(header, record, host);
        for (size_t line = 0; line < 3; ++line) {
            script.Registers()[0] = static_cast<int32_t>(line);
            record.record = event.Standings().At((offset + line) % 30);
            script.Run(page, record, host);
        }
        script.Run(trailer, record, host);
        offset = (offset + 3) % 30;
    }
    benchmark::DoNotOptimize(host.characters);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));  // pages
}
BENCHMARK(BM_RenderStandingsPage)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
