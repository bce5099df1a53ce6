// A rehearsal from the timing system to the scoreboard: kestrun-sim plays a race into a source read
// with the shipped Gatemark script, team scoring ranks the teams, and the shipped three-line Telerank
// script puts the standings on a board listening on loopback TCP.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "SimCommand.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPortList.h"
#include "ports/KTCPSocket.h"
#include "scoreboards/VScoreboardConfig.h"
#include "scoreboards/VScoreboards.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/TSources.h"
#include "support/KTempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Three teams of five; AAA takes places 1-5 (15 points), BBB 6-10 (40), CCC 11-15 (65).
std::string RaceFile() {
    std::string text = "Place,Bib,Name,Team,Time\n";
    const char* teams[] = {"AAA", "BBB", "CCC"};
    for (int place = 1; place <= 15; ++place) {
        text += std::to_string(place) + "," + std::to_string(100 + place) + ",Runner " +
                std::to_string(place) + "," + teams[(place - 1) / 5] + ",16:" + std::to_string(10 + place) +
                ".00\n";
    }
    return text;
}

int ListeningSocket(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::abort();
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

TEST(ScoreboardEndToEnd, SimulatedRaceEndsAsTheTeamStandingsPageOnATelerankBoard) {
    KTempFolder folder;
    WriteBytes(folder / "race.csv", RaceFile());
    for (const char* name : {"Gatemark.kss", "Telerank_Video_TeamScores_3lines.vss"})
        std::filesystem::copy_file(std::filesystem::path(KESTRUN_SOURCE_DIR "/data") / name, folder / name);
    uint16_t boardPort = 0;
    KSocketHandle listener(ListeningSocket(boardPort));

    StandaloneScorer scorer;  // the default table: source 1 and the Telerank team board 1
    KRegistry& settings = scorer.settings;
    settings.FindString(u"\\Sources\\1\\SerialPort")->SetValue(u"-2,127.0.0.1,0");
    settings.FindString(u"\\Scoreboards\\1\\SerialPort")->SetValue(u"-1,127.0.0.1," + ToKString(boardPort));
    KNetwork network;
    network.Start("localhost");
    KSerialPortList serialPorts;
    KStreamPrototypes sourcePrototypes, boardPrototypes;
    TSources::StartSources(settings, folder.Path(), true, sourcePrototypes, serialPorts, network);
    VScoreboardConfig::BuildScriptList(settings, folder.Path());
    VScoreboardConfig::RegisterPrototypes(boardPrototypes, settings, serialPorts, network);
    TSources sources(settings, folder.Path(), sourcePrototypes);
    sources.SetTeamScoring(&scorer.scoring);
    VScoreboards boards(settings, folder.Path(), boardPrototypes, [] { return int64_t{0}; });
    ASSERT_EQ(boards.Count(), 1u);
    boards.AttachEvent(&sources.Event());
    KSocketHandle board;
    std::string received;
    uint32_t now = 0;
    // A period of the scoreboard thread, driven from here, and what reached the board by then.
    const auto period = [&] {
        boards.RunPeriod(now += 100);
        if (!board.IsValid()) board.Reset(::accept4(listener.Get(), nullptr, nullptr, SOCK_NONBLOCK));
        char chunk[4096];
        for (ssize_t n; board.IsValid() && (n = ::recv(board.Get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
            received.append(chunk, static_cast<size_t>(n));
    };

    const uint16_t sourcePort = dynamic_cast<const KTCPSocket&>(*sources.LiveStream(0)).ListenPort();
    std::atomic<int> status = -1;
    std::ostringstream out, err;
    std::thread sim([&] {
        status = RunSim({"--speed", "20000", (folder / "race.csv").string(),
                         "-1,127.0.0.1," + std::to_string(sourcePort)},
                        out, err);
    });
    auto quietSince = Clock::now();
    for (const auto deadline = Clock::now() + std::chrono::seconds(30); Clock::now() < deadline;) {
        const unsigned long long before = sources.CharsRead();
        sources.PollSources();
        if (sources.CharsRead() != before) quietSince = Clock::now();
        period();
        if (status != -1 && Clock::now() - quietSince > std::chrono::milliseconds(200)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    sim.join();
    ASSERT_EQ(status, kSimOk) << err.str();
    ASSERT_EQ(sources.Event().Standings().Size(), 3u);
    for (int i = 0; i < 10; ++i) period();

    // Clear, the title (event name, the empty Unofficial text), three rows, then show.
    const std::string page =
        "\x02"
        "C\x03\x02L00race                            \x03"
        "\x02L01  1 AAA                       15\x03"
        "\x02L02  2 BBB                       40\x03"
        "\x02L03  3 CCC                       65\x03"
        "\r\n";
    ASSERT_GE(received.size(), page.size());
    EXPECT_EQ(received.substr(received.size() - page.size()), page);
    const size_t sent = received.size();
    for (int i = 0; i < 100; ++i) period();  // ten seconds of nothing new
    EXPECT_EQ(received.size(), sent);
}
