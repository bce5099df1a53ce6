// A rehearsal from the timing system to the scoreboard: kestrun-sim plays a race into a source read
// with the shipped Gatemark script, team scoring ranks the teams, and the shipped three-line Telerank
// script puts the standings on a board listening on loopback TCP.
#include <gtest/gtest.h>

#include <sstream>

#include "SimCommand.h"
#include "ports/KSerialPortList.h"
#include "ports/KTCPSocket.h"
#include "scoreboards/ScoreboardTestSupport.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/TSources.h"

TEST(ScoreboardEndToEnd, SimulatedRaceEndsAsTheTeamStandingsPageOnATelerankBoard) {
    KTempFolder folder;
    // Three teams of five; AAA takes places 1-5 (15 points), BBB 6-10 (40), CCC 11-15 (65).
    std::string race = "Place,Bib,Name,Team,Time\n";
    for (int place = 1; place <= 15; ++place) {
        const std::string n = std::to_string(place);
        race += n + "," + std::to_string(100 + place) + ",Runner " + n + "," +
                std::string(3, "ABC"[(place - 1) / 5]) + ",16:" + std::to_string(10 + place) + ".00\n";
    }
    WriteBytes(folder / "race.csv", race);
    for (const char* name : {"Gatemark.kss", "Telerank_Video_TeamScores_3lines.vss"})
        std::filesystem::copy_file(std::filesystem::path(KESTRUN_SOURCE_DIR "/data") / name, folder / name);
    LoopbackBoard board;

    StandaloneScorer scorer;  // the default table: source 1 and the Telerank team board 1
    scorer.settings.FindString(u"\\Sources\\1\\SerialPort")->SetValue(u"-2,127.0.0.1,0");
    scorer.settings.FindString(u"\\Scoreboards\\1\\SerialPort")->SetValue(board.Spec());
    KLoopbackNetwork network;
    KSerialPortList serialPorts;
    KStreamPrototypes sourcePrototypes, boardPrototypes;
    TSources::StartSources(scorer.settings, folder.Path(), true, sourcePrototypes, serialPorts, network);
    VScoreboardConfig::RegisterPrototypes(boardPrototypes, scorer.settings, serialPorts, network);
    TSources sources(scorer.settings, folder.Path(), sourcePrototypes);
    sources.SetTeamScoring(&scorer.scoring);
    VScoreboards boards(scorer.settings, folder.Path(), boardPrototypes, [] { return int64_t{0}; });
    boards.AttachEvent(&sources.Event());
    uint32_t now = 0;

    // Clear, the title (event name, the empty Unofficial text), three rows, then show; \2 is STX, \3 ETX.
    const std::string page =
        "\2C\3\2L00race                            \3"
        "\2L01  1 AAA                       15\3"
        "\2L02  2 BBB                       40\3"
        "\2L03  3 CCC                       65\3\r\n";
    // The race is played into the source's queue at once; the source then reads it all.
    const uint16_t sourcePort = dynamic_cast<const KTCPSocket&>(*sources.LiveStream(0)).ListenPort();
    const std::vector<std::string> args = {"--speed", "20000", (folder / "race.csv").string(),
                                           "-1,127.0.0.1," + std::to_string(sourcePort)};
    std::ostringstream out, err;
    ASSERT_EQ(RunSim(args, out, err), kSimOk) << err.str();
    EXPECT_TRUE(PollUntil([&] {
        // The source's and the scoreboards' periods, driven from here.
        sources.PollSources();
        boards.RunPeriod(now += 100);
        return board.Received().ends_with(page);
    })) << board.Received();
}
