// A rehearsal from end to end: kestrun-sim plays a race into a source that reads it with the shipped
// Gatemark script, and the event then holds what kestrun-score makes of the same race file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "ResultsCsv.h"
#include "ScoreCommand.h"
#include "SimCommand.h"
#include "SimRace.h"
#include "ports/KNetwork.h"
#include "ports/KSerialPortList.h"
#include "ports/KTCPSocket.h"
#include "scoring/EventRecord.h"
#include "scoring/StandaloneScorer.h"
#include "sources/TSources.h"
#include "support/KTempFolder.h"

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

/// The input half of the program: the default table's source 1 on `portSpec` (COM7 `comDevice`) with
/// the shipped script, and team scoring by kestrun-score's default rules.
class Receiver {
public:
    explicit Receiver(const std::string& portSpec, const std::string& comDevice) {
        std::filesystem::copy_file(KESTRUN_SOURCE_DIR "/data/Gatemark.kss", m_folder / "Gatemark.kss");
        m_serialPorts.Add(7, comDevice);
        m_scorer.settings.FindString(u"\\Sources\\1\\SerialPort")->SetValue(FromUtf8(portSpec));
        if (!m_network.Start()) m_network.Start("localhost");
        TSources::StartSources(m_scorer.settings, m_folder.Path(), true, m_prototypes, m_serialPorts,
                               m_network);
        const ScoreOptions defaults;
        m_scorer.SetRules({defaults.minRunners, defaults.scorers, defaults.displacers, defaults.resetScores,
                           defaults.lapsCountUp, defaults.nonScoringDisplace});
        sources = std::make_unique<TSources>(m_scorer.settings, m_folder.Path(), m_prototypes);
        sources->SetTeamScoring(&m_scorer.scoring);
    }

    /// Polls as the main loop does, `eachPass` first, until `done` and 100 ms without input.
    void PollUntil(const std::function<bool()>& done, const std::function<void()>& eachPass) {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        auto quietSince = Clock::now();
        for (unsigned long long seen = 0; Clock::now() < deadline;) {
            eachPass();
            sources->PollSources();
            if (sources->CharsRead() != seen) seen = sources->CharsRead(), quietSince = Clock::now();
            if (done() && Clock::now() - quietSince > std::chrono::milliseconds(100)) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ADD_FAILURE() << "the race did not end within 60 s";
    }

private:
    KTempFolder m_folder;
    StandaloneScorer m_scorer;
    KNetwork m_network;
    KSerialPortList m_serialPorts;
    KStreamPrototypes m_prototypes;

public:
    std::unique_ptr<TSources> sources;  // destroyed first
};

std::string ResultsText(EventRecord& event) {
    EventRecord::ScopedLock lock(event);
    std::string text;
    for (ResultRecord& r : event.Results().Sorted()) {
        text += ToUtf8(r.PlaceText() + u'|' + r.Id() + u'|' + r.FirstName() + u'|' + r.LastName() + u'|' +
                       r.Affiliation() + u'|' + FormatTime(r.Time(), kTicksUnit)) +
                "|" + std::to_string(r.LapsToGo()) + "\n";
    }
    return text;
}

void ExpectWhatKestrunScoreMakesOf(EventRecord& event, const KTempFolder& files) {
    EventRecord expected;
    std::ifstream in(files / "race.csv");
    ASSERT_GT(LoadResultsCsv(in, expected, CurrentResultCodeTexts()), 0u);
    EXPECT_EQ(ResultsText(event), ResultsText(expected));
    const std::string command = std::string(KESTRUN_SCORE_PROGRAM) + " --format csv " +
                                (files / "race.csv").string() + " > " + (files / "score.csv").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ostringstream standings;
    EventRecord::ScopedLock lock(event);
    PrintStandingsCsv(event, standings);
    EXPECT_EQ(standings.str(), ReadBytes(files / "score.csv"));
}

/// Two pseudo-terminals joined at their masters, as `socat pty pty` joins them: what is written to
/// the first tty arrives at the second.
class PtyCable {
public:
    PtyCable() {
        for (End& end : m_ends) {
            char name[128];
            if (::openpty(&end.master, &end.slave, name, nullptr, nullptr) != 0) std::abort();
            ::fcntl(end.master, F_SETFL, ::fcntl(end.master, F_GETFL) | O_NONBLOCK);
            end.path = name;
        }
    }
    ~PtyCable() {
        for (End& end : m_ends) ::close(end.master), ::close(end.slave);
    }
    const std::string& Path(size_t end) const { return m_ends[end].path; }
    /// Moves what has arrived from the first tty on to the second, as far as it takes it.
    void Carry() {
        char chunk[4096];
        for (ssize_t n;
             m_pending.size() < (1u << 20) && (n = ::read(m_ends[0].master, chunk, sizeof chunk)) > 0;)
            m_pending.append(chunk, static_cast<size_t>(n));
        for (ssize_t n;
             !m_pending.empty() && (n = ::write(m_ends[1].master, m_pending.data(), m_pending.size())) > 0;)
            m_pending.erase(0, static_cast<size_t>(n));
    }

private:
    struct End {
        int master = -1;
        int slave = -1;
        std::string path;
    };
    End m_ends[2];
    std::string m_pending;
};

}  // namespace

TEST(SimEndToEnd, RaceSentOverTcpWithNoiseOrASerialLineGivesTheEventAndStandingsKestrunScoreGives) {
    for (const bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial line" : "TCP with noise");
        KTempFolder files;
        WriteRace(files / "race.csv", serial ? 40 : 80, serial ? 5 : 6, serial ? 8 : 3);
        PtyCable cable;
        // Over TCP the source listens on a port the system hands out.
        Receiver receiver(serial ? "7,9600,8,N,1.0" : "-2,127.0.0.1,0", cable.Path(1));
        const auto* tcp = dynamic_cast<const KTCPSocket*>(receiver.sources->LiveStream(0));
        ASSERT_TRUE(serial || (tcp != nullptr && tcp->ListenPort() != 0));
        const std::string port =
            serial ? cable.Path(0) + ",9600,8,N,1.0" : "-1,127.0.0.1," + std::to_string(tcp->ListenPort());
        const std::vector<std::string> options = serial ? std::vector<std::string>{"--event", "Girls 5K"}
                                                        : std::vector<std::string>{"--noise", "0.3"};

        // A rehearsal first: the race's start clears what it left, under the same event name too.
        for (const std::string& race : {std::string("--runners=30"), (files / "race.csv").string()}) {
            std::atomic<int> status = -1;
            std::ostringstream out, err;
            std::thread sim([&] {
                std::vector<std::string> args = {"--speed", "20000", "--seed", "4", race, port};
                args.insert(args.begin(), options.begin(), options.end());
                status = RunSim(args, out, err);
            });
            receiver.PollUntil([&] { return status != -1; }, [&] { cable.Carry(); });
            sim.join();
            ASSERT_EQ(status, kSimOk) << err.str();
        }
        ExpectWhatKestrunScoreMakesOf(receiver.sources->Event(), files);
        EXPECT_EQ(receiver.sources->Event().Name(), serial ? u"Girls 5K" : u"race");
    }
}
