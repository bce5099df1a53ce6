// A rehearsal from end to end: kestrun-sim plays a race into a source that reads it with the shipped
// Gatemark script, and the event then holds what kestrun-score makes of the same race file.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "ResultsCsv.h"
#include "ScoreCommand.h"
#include "SimCommand.h"
#include "SimRace.h"
#include "ports/KPty.h"
#include "ports/KSerialPortList.h"
#include "ports/KSocketTestSupport.h"
#include "ports/KTCPSocket.h"
#include "scoring/StandaloneScorer.h"
#include "sources/SourcesTestSupport.h"
#include "sources/TSources.h"

namespace {

using Clock = std::chrono::steady_clock;

/// A generated race as a results file (place, bib, name, team, time; DNF in the place column).
void WriteRace(const std::filesystem::path& path, int runners, int teams, uint64_t seed) {
    const SimRace race = GenerateRace(runners, teams, seed);
    std::ofstream out(path);
    out << "Place,Bib,Name,Team,Time\n";
    for (const auto* lines : {&race.finishers, &race.others})
        for (const GatemarkLine& l : *lines)
            out << ToUtf8(l.place + u',' + l.id + u',' + l.name + u',' + l.affiliation + u',' + l.time)
                << "\n";
}

}  // namespace

TEST(SimEndToEnd, RaceSentOverTcpWithNoiseOrASerialLineGivesTheEventAndStandingsKestrunScoreGives) {
    using namespace std::chrono_literals;
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial line" : "TCP with noise");
        KTempFolder files;
        const std::string raceFile = (files / "race.csv").string();
        WriteRace(raceFile, serial ? 40 : 80, serial ? 5 : 6, serial ? 8 : 3);
        // kestrun-sim writes to the first tty; what it sends is carried to the second, COM7.
        KPty simEnd, sourceEnd;
        // The input half of the program: the default table's source 1 on COM7 or listening on a port
        // the system hands out, with the shipped script and the default table's scoring (kestrun-score's).
        std::filesystem::copy_file(KESTRUN_SOURCE_DIR "/data/Gatemark.kss", files / "Gatemark.kss");
        StandaloneScorer scorer;
        KLoopbackNetwork network;
        KSerialPortList serialPorts;
        serialPorts.Add(7, sourceEnd.Path());
        KStreamPrototypes prototypes;
        scorer.settings.FindString(u"\\Sources\\1\\SerialPort")
            ->SetValue(serial ? u"7,9600,8,N,1.0" : u"-2,127.0.0.1,0");
        TSources::StartSources(scorer.settings, files.Path(), true, prototypes, serialPorts, network);
        TSources sources(scorer.settings, files.Path(), prototypes);
        sources.SetTeamScoring(&scorer.scoring);
        const auto* tcp = dynamic_cast<const KTCPSocket*>(sources.LiveStream(0));
        ASSERT_TRUE(serial || tcp != nullptr);
        const std::string port =
            serial ? simEnd.Path() + ",9600,8,N,1.0" : "-1,127.0.0.1," + std::to_string(tcp->ListenPort());

        // A rehearsal first: the race's start clears what it left, under the same event name too.
        for (const std::string& race : {std::string("--runners=30"), raceFile}) {
            std::atomic<int> status = -1;
            std::ostringstream out, err;
            std::thread sim([&] {
                status = RunSim({serial ? "--event" : "--noise", serial ? "Girls 5K" : "0.3", "--speed",
                                 "20000", "--seed", "4", race, port},
                                out, err);
            });
            // Polls as the main loop does until the race is over and 100 ms passed without input.
            for (auto quiet = Clock::now(), deadline = quiet + 60s;
                 Clock::now() < deadline && (status == -1 || Clock::now() - quiet < 100ms);) {
                const unsigned long long before = sources.CharsRead();
                sourceEnd.Send(simEnd.Drain(0));
                sources.PollSources();
                if (sources.CharsRead() != before) quiet = Clock::now();
                std::this_thread::sleep_for(1ms);
            }
            sim.join();
            ASSERT_EQ(status, kSimOk) << err.str();
        }
        EXPECT_EQ(sources.Event().Name(), serial ? u"Girls 5K" : u"race");
        EventRecord expected;
        std::ifstream in(raceFile);
        ASSERT_GT(LoadResultsCsv(in, expected, CurrentResultCodeTexts()), 0u);
        EXPECT_EQ(Describe(sources.Event()), Describe(expected));
        std::ostringstream score, err, standings;
        ASSERT_EQ(RunScore({"--format", "csv", raceFile}, score, err), kScoreOk) << err.str();
        EventRecord::ScopedLock lock(sources.Event());
        PrintStandingsCsv(sources.Event(), standings);
        EXPECT_EQ(standings.str(), score.str());
    }
}
