// The scoreboard thread's work: one results page rendered for a board, a full standings update of 250
// teams, and the latency from an input update applied to the event to the first byte at a board
// listening on loopback TCP while the worker runs at its period.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "../tests/sources/SourcesTestSupport.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPortList.h"
#include "ports/KStreamFactory.h"
#include "scoreboards/VScoreboardConfig.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventRecord.h"
#include "settings/KDefaultSettings.h"
#include "settings/KRegistry.h"
#include "sources/TInputUpdate.h"

namespace {

namespace fs = std::filesystem;

constexpr char kScript[] =
    ";;ResultsHeader\r\n\\13\\02%-30.30s\r\n;;Results\r\n"
    "1%3s \r\n5%-20.20s \r\n6%10s\r\n\\14\\10%4s\\0d\\0a\r\n;;ResultsTrailer\r\n0\\03\r\n";

/// Takes every byte at once, as a board on a fast link would.
class NullPort : public KStream {
public:
    bool IsMine(int code) const override { return code == 0; }
    std::unique_ptr<KStream> Clone() const override { return std::make_unique<NullPort>(); }
    bool Open(KStringView) override { return true; }
    bool IsOpen() override { return true; }
    bool IsWriteReady() override { return true; }
    void Write(const uint8_t*, size_t count) override { benchmark::DoNotOptimize(count); }
    void Flush() override {}
};

/// A manager over the default settings whose first board runs kScript on `port`.
struct Bench {
    explicit Bench(KStringView port, KRegistry& tree) : settings(tree) {
        LoadDefaults(settings);
        folder = fs::temp_directory_path() / ("kestrun-scoreboard-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        std::ofstream(folder / "bench.vss", std::ios::binary) << kScript;
        settings.Define(u"\\Scoreboards\\1\\Script:String=bench.vss");
        settings.Define(u"\\Scoreboards\\1\\SerialPort:String=" + KString(port));
        settings.Define(u"\\Scoreboards\\1\\PageMode:Int=0");
        network.Start("localhost");
        prototypes.Register(std::make_unique<NullPort>());
        VScoreboardConfig::RegisterPrototypes(prototypes, settings, serialPorts, network);
    }
    ~Bench() {
        manager.reset();
        fs::remove_all(folder);
    }
    VScoreboards& Start() {
        manager = std::make_unique<VScoreboards>(settings, folder, prototypes);
        manager->AttachEvent(&event);
        return *manager;
    }

    KRegistry& settings;
    fs::path folder;
    KNetwork network;
    KSerialPortList serialPorts;
    KStreamPrototypes prototypes;
    EventRecord event;
    std::unique_ptr<VScoreboards> manager;
};

void Fill(ResultList& list, int count, bool teams) {
    for (int i = 0; i < count; ++i) {
        ResultRecord* r = list.Add();
        r->SetPlace(i + 1);
        r->SetId(ToKString(1000 + i));
        r->SetAffiliation(u"School " + ToKString(i));
        r->SetLastName(u"Runner" + ToKString(i));
        r->SetTime(TimeValue(TickCount::FromInt64((900 + i) * kTicksSecond.Value()), kTicksHundredth));
        if (teams) {
            r->SetPoints(15 + i * 5);
            r->SetNumMembers(7);
            r->SetNumScorers(5);
        }
    }
}

// One page of a paged results board: the header, three lines of four fields and the trailer.
void BM_RenderResultsPage(benchmark::State& state) {
    KRegistry tree;
    Bench bench(u"0", tree);
    bench.settings.Define(u"\\Scoreboards\\1\\PageMode:Int=1");
    bench.settings.Define(u"\\Scoreboards\\1\\Filter:Int=0");
    Fill(bench.event.Results(), 250, false);
    VScoreboards& manager = bench.Start();
    uint32_t now = 0;
    for (auto _ : state) {
        manager.Refresh();
        manager.RunPeriod(now += 100);
    }
}
BENCHMARK(BM_RenderResultsPage)->Unit(benchmark::kMicrosecond);

// An unpaged standings board sent all 250 teams after a change.
void BM_StandingsUpdate250Teams(benchmark::State& state) {
    KRegistry tree;
    Bench bench(u"0", tree);
    Fill(bench.event.Standings(), 250, true);
    VScoreboards& manager = bench.Start();
    uint32_t now = 0;
    for (auto _ : state) {
        manager.Refresh();
        manager.RunPeriod(now += 100);
    }
}
BENCHMARK(BM_StandingsUpdate250Teams)->Unit(benchmark::kMicrosecond);

// From the end of an input update on the event to the first byte at the board, the worker running at
// the default period of 100 ms. Each update renames the event, which the header shows.
void BM_UpdateToBoardLatency(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    KRegistry tree;
    Bench bench(u"-1,127.0.0.1," + ToKString(ntohs(address.sin_port)), tree);
    Fill(bench.event.Standings(), 250, true);
    VScoreboards& manager = bench.Start();
    const int board = ::accept(listener, nullptr, nullptr);
    manager.StartWorker();
    const auto drain = [&](int waitMs) {
        char buffer[65536];
        pollfd p{board, POLLIN, 0};
        const bool readable = ::poll(&p, 1, waitMs) > 0;
        while (::recv(board, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
        return readable;
    };
    while (drain(300)) {
    }
    double worst = 0;
    int race = 0;
    for (auto _ : state) {
        ApplyInputUpdate(bench.event,
                         Fields("EventName=Race " + std::to_string(++race) + "|Id=1|Time=15:00.00"), {});
        const auto applied = std::chrono::steady_clock::now();
        if (!drain(5000)) state.SkipWithError("no byte reached the board");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - applied).count();
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000);
        drain(30);  // the rest of the update
    }
    state.counters["worst_ms"] = worst;
    manager.Stop();
    ::close(board);
    ::close(listener);
}
BENCHMARK(BM_UpdateToBoardLatency)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
