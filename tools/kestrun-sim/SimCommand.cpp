#include "SimCommand.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <ostream>
#include <random>
#include <thread>

#include "ResultsCsv.h"
#include "SimPort.h"
#include "SimRace.h"
#include "scoring/TimeValue.h"

namespace {

using Clock = SimPort::Clock;

constexpr int kMaxRunners = 20000;
constexpr int kMaxTeams = 1000;
constexpr int kMaxInterval = 3600000;
constexpr double kMaxSpeed = 1e6;
constexpr size_t kMaxNoiseBytes = 64;
constexpr uint16_t kMaxParticipants = 65534;  // 65535 reads as "unknown"
// While waiting for the next finisher the progress line is refreshed this often.
constexpr auto kProgressPeriod = std::chrono::milliseconds(250);

template <typename Number>
Number ParseNumber(const std::string& option, const std::string& value, Number low, Number high,
                   const char* what) {
    Number number{};
    const char* end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (value.empty() || error != std::errc() || stop != end || !(number >= low && number <= high)) {
        throw SimUsageError(option + " needs " + what + ", not '" + value + "'");
    }
    return number;
}

class Player {
public:
    Player(SimPort& port, const SimRace& race, const SimOptions& options, const SimEnvironment& environment,
           std::ostream& err)
        : m_port(port),
          m_race(race),
          m_options(options),
          m_environment(environment),
          m_err(err),
          m_random(options.seed.value_or(0)) {
        GatemarkEvent event{
            .official = u"Unofficial",
            .name = FromUtf8(EventName()),
            .wind = {},
            .eventNumber = u"1",
            .roundNumber = u"1",
            .heatNumber = u"1",
            .startType = u"Mass",
            .participants = static_cast<uint16_t>(std::min<size_t>(race.RunnerCount(), kMaxParticipants))};
        m_event = EncodeGatemarkEvent(event);
        event.participants = 0;
        m_startEvent = EncodeGatemarkEvent(event);
        for (const GatemarkLine& line : race.finishers) m_lines.push_back(EncodeGatemarkLine(line));
        for (const GatemarkLine& line : race.others) m_lines.push_back(EncodeGatemarkLine(line));
    }

    /// Plays the race from its start: the event line, then the results after each finisher, then
    /// everyone. Throws SimPortError.
    void Play() {
        m_startTime = Clock::now();
        // The start: no participants yet, which clears the results of an earlier race, such as
        // the last rehearsal under the same event name.
        for (const std::string& message : AssembleGatemarkMessages(m_startEvent, {})) Send(message);
        ++m_messages;
        SendResults(0);
        const size_t count = m_race.finishers.size();
        for (size_t reported = 0; reported < count;) {
            auto due = m_startTime + WallTime(m_race.finishTimes[reported]);
            if (m_options.intervalMs > 0)
                due = std::max(due, m_lastSend + std::chrono::milliseconds(m_options.intervalMs));
            WaitUntil(due);
            // Everyone who finished meanwhile goes out in this message.
            size_t finished = reported + 1;
            while (finished < count && m_startTime + WallTime(m_race.finishTimes[finished]) <= Clock::now())
                ++finished;
            SendResults(finished);
            reported = finished;
        }
        if (!m_race.others.empty()) SendResults(m_lines.size());
        if (m_environment.terminal) m_err << "\n";
    }

    size_t Messages() const { return m_messages; }
    size_t Bytes() const { return m_bytes; }

    std::string EventName() const {
        if (m_options.event) return *m_options.event;
        return m_options.race ? m_options.race->stem().string() : "Simulated race";
    }

private:
    Clock::duration WallTime(const TimeValue& raceTime) const {
        const double seconds = static_cast<double>(raceTime.GetTicks().Value()) / kTicksSecond.Value();
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(std::max(seconds, 0.0) / m_options.speed));
    }

    void WaitUntil(Clock::time_point due) {
        for (auto now = Clock::now(); now < due; now = Clock::now()) {
            ShowProgress();
            std::this_thread::sleep_for(std::min<Clock::duration>(due - now, kProgressPeriod));
        }
    }

    void SendResults(size_t lines) {
        if (m_options.noise > 0 && Uniform() < m_options.noise) {
            std::string noise(1 + m_random() % kMaxNoiseBytes, '\0');
            for (char& c : noise) c = static_cast<char>(m_random() & 0xFF);
            Send(noise);
        }
        for (const std::string& message :
             AssembleGatemarkMessages(m_event, std::span(m_lines).first(lines))) {
            Send(message);
            ++m_messages;
        }
        m_finished = std::min(lines, m_race.finishers.size());
        m_lastSend = Clock::now();
        ShowProgress();
    }

    void Send(const std::string& bytes) {
        m_port.Send(bytes, m_environment.connectWait);
        m_bytes += bytes.size();
    }

    double Uniform() { return static_cast<double>(m_random() >> 11) * 0x1.0p-53; }

    void ShowProgress() {
        if (!m_environment.terminal) return;
        const auto elapsed =
            std::chrono::duration<double>(Clock::now() - m_startTime).count() * m_options.speed;
        const TimeValue raceTime(
            TickCount::FromInt64(static_cast<int64_t>(elapsed * 10) * kTicksTenth.Value()), kTicksTenth);
        m_err << "\r\x1b[Kkestrun-sim: race time " << ToUtf8(FormatTime(raceTime, kTicksTenth)) << ", "
              << m_finished << "/" << m_race.RunnerCount() << " finished, " << m_messages << " messages, "
              << m_bytes / 1024 << " KB to " << m_port.Name() << std::flush;
    }

    SimPort& m_port;
    const SimRace& m_race;
    const SimOptions& m_options;
    const SimEnvironment& m_environment;
    std::ostream& m_err;
    std::mt19937_64 m_random;
    std::string m_event;
    std::string m_startEvent;          // the event line of the race's start
    std::vector<std::string> m_lines;  // finishers, then the others
    Clock::time_point m_startTime;
    Clock::time_point m_lastSend;
    size_t m_finished = 0;
    size_t m_messages = 0;
    size_t m_bytes = 0;
};

}  // namespace

std::string SimUsage() {
    return "Usage: kestrun-sim [--runners N] [--teams N] [--speed X] [--event NAME] [--interval MS]\n"
           "                   [--noise P] [--seed S] [RACE.csv] PORTSPEC\n"
           "A timing system for rehearsals: plays a race and sends the Gatemark results message\n"
           "(docs/gatemark-protocol.md) after each finisher, with every result so far.\n"
           "\n"
           "RACE.csv   runners with affiliation and finish time, read as kestrun-score reads them\n"
           "           (place, id or bib, name, affiliation or team, time, laps, split); without\n"
           "           it a plausible 5 km race is generated.\n"
           "PORTSPEC   where to send, as Kestrun writes port specifications:\n"
           "             -1,127.0.0.1,1025     TCP connect (Kestrun's default source listens there)\n"
           "             -2,0.0.0.0,1025       TCP listen, for a source that connects\n"
           "             -3,127.0.0.1,1025     UDP\n"
           "             1,9600,8,N,1.0        COM1 (/dev/ttyS0; COM5 is /dev/ttyUSB0 ...)\n"
           "             /dev/pts/3,9600,8,N,1.0  a serial device by its path\n"
           "\n"
           "Options:\n"
           "  --runners N     runners of a generated race (default 100)\n"
           "  --teams N       teams of a generated race (default 8)\n"
           "  --speed X       play X times faster than real time (default 1; 1000 plays a\n"
           "                  16-minute race in about a second)\n"
           "  --event NAME    the event name (default: the file's name, or Simulated race)\n"
           "  --interval MS   at least MS milliseconds between messages; finishers in between\n"
           "                  go out together (default 0: a message per finisher)\n"
           "  --noise P       random bytes before a message, with probability P (0 to 1)\n"
           "  --seed S        the same seed gives the same race and noise (default: random)\n"
           "  --help          show this text\n"
           "\n"
           "The race starts with a message of no participants, which clears Kestrun's results\n"
           "of an earlier race. Runners on the course or with a code (DNF ...) are sent at the\n"
           "end. A TCP port waits up to 30 s for the other end, and again when it breaks.\n"
           "Exit status: 0 the whole race was sent, 1 unreadable race file or a port that\n"
           "could not be opened or broke off, 2 bad command line.\n";
}

SimOptions ParseSimArguments(const std::vector<std::string>& args) {
    SimOptions options;
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        // A port specification may start with a minus sign: only "--" starts an option.
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (arg == "--") {
                operands.insert(operands.end(), args.begin() + static_cast<ptrdiff_t>(i) + 1, args.end());
                break;
            }
            operands.push_back(arg);
            continue;
        }
        std::optional<std::string> value;
        if (const size_t equals = arg.find('='); equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        const auto needValue = [&]() -> const std::string& {
            if (!value) {
                if (i + 1 >= args.size()) throw SimUsageError(arg + " needs a value");
                value = args[++i];
            }
            return *value;
        };
        if (arg == "--runners") {
            options.runners = ParseNumber(arg, needValue(), 1, kMaxRunners, "a whole number from 1 to 20000");
        } else if (arg == "--teams") {
            options.teams = ParseNumber(arg, needValue(), 1, kMaxTeams, "a whole number from 1 to 1000");
        } else if (arg == "--speed") {
            options.speed = ParseNumber(arg, needValue(), 1e-3, kMaxSpeed, "a number from 0.001 to 1000000");
        } else if (arg == "--event") {
            options.event = needValue();
        } else if (arg == "--interval") {
            options.intervalMs =
                ParseNumber(arg, needValue(), 0, kMaxInterval, "milliseconds from 0 to 3600000");
        } else if (arg == "--noise") {
            options.noise = ParseNumber(arg, needValue(), 0.0, 1.0, "a probability from 0 to 1");
        } else if (arg == "--seed") {
            options.seed = ParseNumber(arg, needValue(), uint64_t{0}, UINT64_MAX, "a whole number");
        } else if (arg == "--help") {
            if (value) throw SimUsageError("--help takes no value");
            options.help = true;
        } else {
            throw SimUsageError("unknown option " + arg);
        }
    }
    if (options.help) return options;
    if (operands.empty()) throw SimUsageError("no PORTSPEC given (where to send, e.g. -1,127.0.0.1,1025)");
    if (operands.size() > 2) throw SimUsageError("too many operands (give at most RACE.csv and PORTSPEC)");
    options.portSpec = operands.back();
    if (operands.size() == 2) {
        options.race = operands.front();
        if (options.runners || options.teams)
            throw SimUsageError("--runners and --teams are for a generated race, not with a race file");
    }
    return options;
}

int RunSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const SimEnvironment& environment) {
    try {
        SimOptions options;
        try {
            options = ParseSimArguments(args);
        } catch (const SimUsageError& error) {
            err << "kestrun-sim: " << error.what() << "\nTry 'kestrun-sim --help'.\n";
            return kSimUsageError;
        }
        if (options.help) {
            out << SimUsage();
            return kSimOk;
        }
        if (!options.seed) options.seed = std::random_device()();

        SimRace race;
        if (options.race) {
            const std::string name = options.race->string();
            std::ifstream in(*options.race, std::ios::binary);
            if (!in || std::filesystem::is_directory(*options.race)) {
                err << "kestrun-sim: " << name
                    << ": cannot open: " << (in ? "is a folder" : std::strerror(errno)) << "\n";
                return kSimFailed;
            }
            try {
                race = ReadRace(in);
            } catch (const ResultsCsvError& error) {
                err << "kestrun-sim: " << name << ": " << error.what() << "\n";
                return kSimFailed;
            }
            if (race.RunnerCount() == 0) {
                err << "kestrun-sim: " << name << ": the race has no runners\n";
                return kSimFailed;
            }
        } else {
            race = GenerateRace(options.runners.value_or(100), options.teams.value_or(8), *options.seed);
        }

        SimPort port(options.portSpec);
        if (!port.IsConnected()) {
            if (environment.terminal) err << "kestrun-sim: waiting for " << port.Name() << " ...";
            if (!port.WaitConnected(environment.connectWait)) {
                err << (environment.terminal ? "\n" : "") << "kestrun-sim: no connection to " << port.Name()
                    << " within "
                    << std::chrono::duration_cast<std::chrono::seconds>(environment.connectWait).count()
                    << " s (is Kestrun running with a source there?)\n";
                return kSimFailed;
            }
            if (environment.terminal) err << "\n";
        }
        Player player(port, race, options, environment, err);
        player.Play();
        out << "kestrun-sim: sent the whole race, " << race.RunnerCount() << " runners of \""
            << player.EventName() << "\", in " << player.Messages() << " messages (" << player.Bytes()
            << " bytes) to " << port.Name() << " (seed " << *options.seed << ")\n";
        return out.flush() ? kSimOk : kSimFailed;
    } catch (const SimPortError& error) {
        err << (environment.terminal ? "\n" : "") << "kestrun-sim: " << error.what() << "\n";
    } catch (const std::bad_alloc&) {
        err << "kestrun-sim: out of memory\n";
    } catch (const std::exception& error) {
        err << "kestrun-sim: " << error.what() << "\n";
    }
    return kSimFailed;
}
